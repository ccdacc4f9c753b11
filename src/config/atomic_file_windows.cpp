// The atomic writer's operating-system side on Windows. Paths reach the system as wide strings.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "config/atomic_file_platform.h"

// <windows.h> names a function of its own ReplaceFile.
#undef ReplaceFile

namespace kb::atomic_file {

namespace {

// Scanners and indexers open a freshly written file for a moment; the replacement waits for
// them this many times, this long each.
constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplacePauseMs = 50;

bool HeldByAnotherProgram(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

}  // namespace

long CurrentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

bool ProcessIsRunning(long pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        // No such process; any other refusal (access denied) means it runs.
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    DWORD code = 0;
    const bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

bool ExistingFileIsWritable(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

EntryKind KindOf(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? EntryKind::Missing
                                                                              : EntryKind::Other;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return EntryKind::Link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Other : EntryKind::Regular;
}

// Windows has no shared sticky folders: a link there needs the right to create links.
bool LinkMayBeFollowed(const std::filesystem::path&) {
    return true;
}

std::FILE* CreateNewFile(const std::filesystem::path& path, const std::filesystem::path&) {
    // The new file takes the folder's inherited access rights, as the replaced one had.
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileW(path.c_str());
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        _close(fd);
        DeleteFileW(path.c_str());
    }
    return file;
}

bool SyncToDisk(std::FILE* file) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
}

bool ReplaceFile(const std::filesystem::path& source, const std::filesystem::path& target) {
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        if (attempt + 1 >= kReplaceAttempts || !HeldByAnotherProgram(GetLastError())) {
            return false;
        }
        Sleep(kReplacePauseMs);
    }
}

}  // namespace kb::atomic_file
