#include "device/linux/flock_gate.h"

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "config/runtime_folder.h"

namespace kb {
namespace {

constexpr const char* kGateName = "HidDevice";
constexpr const char* kWhat = "device gate \"HidDevice\"";
constexpr const char* kUngated = "device exchanges are not gated";

}  // namespace

// Assigned in the body: the lookup writes into problem_, which must be built first.
FlockGate::FlockGate() {
    lockPath_ = DefaultLockPath(problem_);
}

FlockGate::FlockGate(std::string lockPath) : lockPath_(std::move(lockPath)) {}

std::string FlockGate::DefaultLockPath(std::string& problem) {
    const std::string folder = PrivateRuntimeFolder(problem);
    return folder.empty() ? std::string() : folder + "/" + kGateName;
}

void FlockGate::Pass() {
    if (lockPath_.empty()) {
        ReportUnsafeLockOnce(kWhat, problem_, kUngated);
        return;
    }
    std::string problem;
    const int fd = OpenLockFile(lockPath_, problem);
    if (fd < 0) {
        ReportUnsafeLockOnce(kWhat, problem, kUngated);
        return;
    }
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

}  // namespace kb
