#include "util/unreadable_copy.h"

#include <string>
#include <system_error>

namespace kb {

namespace fs = std::filesystem;

bool KeepUnreadableCopy(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        return !ec;  // nothing to keep
    }
    for (int number = 0; number < 1000; ++number) {
        fs::path copy = file;
        copy += ".unreadable";
        if (number > 0) {
            copy += "." + std::to_string(number);
        }
        if (fs::exists(copy, ec)) {
            continue;
        }
        // copy_options::none refuses to replace a copy that appeared in the meantime.
        if (fs::copy_file(file, copy, fs::copy_options::none, ec)) {
            return true;
        }
        if (!fs::exists(copy, ec)) {
            return false;
        }
    }
    return false;
}

}  // namespace kb
