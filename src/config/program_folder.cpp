#include "config/program_folder.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kb {

#ifdef _WIN32

std::string ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        // Truncated: long paths need a bigger buffer.
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
    if (path.empty()) {
        return {};
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), utf8.data(),
                            bytes, nullptr, nullptr);
    }
    return utf8;
}

#else

std::string ProgramFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    std::string folder = exe.parent_path().string();
    // The root folder keeps its only separator.
    return folder;
}

#endif

}  // namespace kb
