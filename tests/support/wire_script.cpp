#include "wire_script.h"

#include <cstddef>

namespace kb::wire {

const std::string kZeros = "00 00 00 00 00 00 00";

Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Lines ReadBack(const std::string& r1, const std::string& r2, const std::string& r3,
               const std::string& r4) {
    return {"wait 50",       "send 07 fb 01 00 00 00 00 00",
            "wait 10",       "wait 10",
            "read 07 " + r1, "wait 10",
            "read 07 " + r2, "wait 10",
            "read 07 " + r3, "wait 10",
            "read 07 " + r4};
}

Lines LostReadBack() {
    const std::string failedRead = "read 07 " + kZeros + " failed";
    return {"wait 50",  "send 07 fb 01 00 00 00 00 00 failed",
            "wait 10",  "wait 10",
            failedRead, "wait 10",
            failedRead, "wait 10",
            failedRead, "wait 10",
            failedRead};
}

Lines EmptyReadBack(int profile) {
    return ReadBack("0" + std::to_string(profile) + " 00 00 00 00 00 00", kZeros, kZeros, kZeros);
}

Lines SelectProfile(int profile) {
    return {"send 07 fc 0" + std::to_string(profile) + " 00 00 00 00 00", "wait 50"};
}

Lines Transfer(const Lines& reports, bool assignment) {
    Lines lines;
    for (std::size_t k = 0; k < 28; ++k) {
        lines.push_back("send " + (k < reports.size() ? reports[k] : "07 " + kZeros));
        lines.push_back("wait 8");
    }
    if (assignment) {
        lines.push_back("wait 20");
    }
    return lines;
}

}  // namespace kb::wire
