// The atomic writer's operating-system side on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "config/atomic_file_platform.h"

namespace kb::atomic_file {

long CurrentProcessId() {
    return static_cast<long>(::getpid());
}

bool ProcessIsRunning(long pid) {
    // EPERM: it runs, under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

bool ExistingFileIsWritable(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    // The mode bits count on their own: root may write anything, but a file nobody may write is
    // read-only for the program as well.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return false;
    }
    return ::access(path.c_str(), W_OK) == 0;
}

EntryKind KindOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? EntryKind::Missing : EntryKind::Other;
    }
    if (S_ISLNK(info.st_mode)) {
        return EntryKind::Link;
    }
    return S_ISREG(info.st_mode) ? EntryKind::Regular : EntryKind::Other;
}

bool LinkMayBeFollowed(const std::filesystem::path& link) {
    struct stat linkInfo {};
    struct stat folderInfo {};
    const std::filesystem::path folder = link.has_parent_path() ? link.parent_path() : ".";
    if (::lstat(link.c_str(), &linkInfo) != 0 || ::stat(folder.c_str(), &folderInfo) != 0) {
        return false;
    }
    const bool sharedSticky =
        (folderInfo.st_mode & S_ISVTX) != 0 && (folderInfo.st_mode & S_IWOTH) != 0;
    return !sharedSticky || linkInfo.st_uid == ::geteuid() || linkInfo.st_uid == folderInfo.st_uid;
}

std::FILE* CreateNewFile(const std::filesystem::path& path, const std::filesystem::path& like) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    if (::stat(like.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        ::fchmod(fd, info.st_mode & 0777);
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
        ::unlink(path.c_str());
    }
    return file;
}

bool SyncToDisk(std::FILE* file) {
    int result = 0;
    while ((result = ::fsync(::fileno(file))) != 0 && errno == EINTR) {
    }
    return result == 0;
}

bool ReplaceFile(const std::filesystem::path& source, const std::filesystem::path& target) {
    // The folder is not synced after the rename: the old complete file or the new one is there
    // after a crash, never a truncated one, and a second sync per save would double its cost.
    return ::rename(source.c_str(), target.c_str()) == 0;
}

}  // namespace kb::atomic_file
