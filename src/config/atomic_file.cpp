#include "config/atomic_file.h"

#include <atomic>
#include <chrono>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kb {
namespace {

namespace fs = std::filesystem;

long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(getpid());
#endif
}

// Opens a file that must not exist yet, so two writers never share a temporary file.
std::FILE* CreateExclusive(const fs::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wbx");
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

std::FILE* CreateTemporaryBeside(const fs::path& target, fs::path& temporary) {
    static std::atomic<unsigned> counter{0};
    const auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix = ".tmp-" + std::to_string(ProcessId()) + "-" +
                             std::to_string(seed % 1000000) + "-" +
                             std::to_string(counter.fetch_add(1));
        temporary = target;
        temporary += suffix;
        if (std::FILE* file = CreateExclusive(temporary)) {
            return file;
        }
        std::error_code ec;
        if (!fs::exists(temporary, ec)) {
            return nullptr;  // not a name clash: the folder is missing or not writable
        }
    }
    return nullptr;
}

}  // namespace

bool WriteFileAtomically(const fs::path& target, const std::function<bool(std::FILE*)>& writer) {
    fs::path temporary;
    std::FILE* file = CreateTemporaryBeside(target, temporary);
    if (file == nullptr) {
        return false;
    }
    bool written = writer(file);
    // A full disk often shows only when the buffer is flushed, so both results count.
    written = std::fflush(file) == 0 && std::ferror(file) == 0 && written;
    written = std::fclose(file) == 0 && written;
    std::error_code ec;
    if (written) {
        fs::rename(temporary, target, ec);
        if (!ec) {
            return true;
        }
    }
    fs::remove(temporary, ec);
    return false;
}

}  // namespace kb
