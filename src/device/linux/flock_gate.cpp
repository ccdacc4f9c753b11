#include "device/linux/flock_gate.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace kb {

FlockGate::FlockGate() : lockPath_(DefaultLockPath()) {}

FlockGate::FlockGate(std::string lockPath) : lockPath_(std::move(lockPath)) {}

std::string FlockGate::DefaultLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/HidDevice";
    }
    const std::string userRuntime = "/run/user/" + std::to_string(::getuid());
    struct stat info {};
    if (::stat(userRuntime.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return userRuntime + "/HidDevice";
    }
    return "/tmp/HidDevice";
}

void FlockGate::Pass() {
    // O_NOFOLLOW: in a shared folder such as /tmp the name must not lead somewhere else.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(lockPath_.c_str(), kFlags | O_CREAT, 0666);
    if (fd < 0) {
        // Another user's lock file in a sticky folder can still be opened for reading.
        fd = ::open(lockPath_.c_str(), kFlags);
    }
    if (fd < 0) {
        return;
    }
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

}  // namespace kb
