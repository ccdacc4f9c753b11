// Loaded into the programs kbemu runs. libudev accepts a device folder only when fstatfs says it
// lies on sysfs; kbemu's /sys is a tmpfs, so for tmpfs paths under /sys this library reports
// the sysfs magic number instead. Everything else passes through unchanged.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

bool UnderSys(const char* path) {
    return path != nullptr && std::strncmp(path, "/sys", 4) == 0 &&
           (path[4] == '\0' || path[4] == '/');
}

bool FdUnderSys(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    if (length <= 0) {
        return false;
    }
    target[length] = '\0';
    return UnderSys(target);
}

// The absolute, resolved form of path, for the /sys test.
bool PathUnderSys(const char* path) {
    const int fd = ::open(path, O_PATH | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool under = FdUnderSys(fd);
    ::close(fd);
    return under;
}

template <typename Stat>
void Disguise(Stat* result) {
    if (result->f_type == TMPFS_MAGIC) {
        result->f_type = SYSFS_MAGIC;
    }
}

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int fstatfs(int fd, struct statfs* result) {
    static const auto next = Next<int (*)(int, struct statfs*)>("fstatfs");
    const int status = next(fd, result);
    if (status == 0 && result->f_type == TMPFS_MAGIC && FdUnderSys(fd)) {
        Disguise(result);
    }
    return status;
}

int fstatfs64(int fd, struct statfs64* result) {
    static const auto next = Next<int (*)(int, struct statfs64*)>("fstatfs64");
    const int status = next(fd, result);
    if (status == 0 && result->f_type == TMPFS_MAGIC && FdUnderSys(fd)) {
        Disguise(result);
    }
    return status;
}

int statfs(const char* path, struct statfs* result) {
    static const auto next = Next<int (*)(const char*, struct statfs*)>("statfs");
    const int status = next(path, result);
    if (status == 0 && result->f_type == TMPFS_MAGIC && PathUnderSys(path)) {
        Disguise(result);
    }
    return status;
}

int statfs64(const char* path, struct statfs64* result) {
    static const auto next = Next<int (*)(const char*, struct statfs64*)>("statfs64");
    const int status = next(path, result);
    if (status == 0 && result->f_type == TMPFS_MAGIC && PathUnderSys(path)) {
        Disguise(result);
    }
    return status;
}

}  // extern "C"
