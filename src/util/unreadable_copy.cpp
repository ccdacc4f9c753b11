#include "util/unreadable_copy.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "util/save_failures.h"

namespace kb {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxCopies = 1000;

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    const auto size = fs::file_size(a, ec);
    if (ec || fs::file_size(b, ec) != size || ec) {
        return false;
    }
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    if (!first || !second) {
        return false;
    }
    return std::equal(std::istreambuf_iterator<char>(first), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(second), std::istreambuf_iterator<char>());
}

fs::path CopyName(const fs::path& file, int number) {
    fs::path copy = file;
    copy += ".unreadable";
    if (number > 0) {
        copy += "." + std::to_string(number);
    }
    return copy;
}

}  // namespace

UnreadableCopy KeepUnreadable(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        return {!ec, false, {}};  // nothing to keep
    }
    for (int number = 0; number < kMaxCopies; ++number) {
        const fs::path copy = CopyName(file, number);
        if (fs::exists(copy, ec)) {
            if (SameBytes(file, copy)) {
                return {true, false, copy};
            }
            continue;
        }
        // copy_options::none refuses to replace a copy that appeared in the meantime.
        if (fs::copy_file(file, copy, fs::copy_options::none, ec)) {
            return {true, true, copy};
        }
        if (ec != std::errc::file_exists) {
            // A copy cut short (a full disk) is no copy; it must not take the name either.
            const std::error_code failure = ec;
            fs::remove(copy, ec);
            ec = failure;
            break;
        }
    }
    ReportSave(file, SaveProblemOfError(ec.value()));
    return {};
}

bool KeepUnreadableCopy(const fs::path& file) {
    return KeepUnreadable(file).kept;
}

}  // namespace kb
