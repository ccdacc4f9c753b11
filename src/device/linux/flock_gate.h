#pragma once

#include <string>

#include "device/device_gate.h"

namespace kb {

// The "HidDevice" gate between processes of one user: an exclusive flock on a lock file, taken
// and released at once. The kernel drops the lock of a holder that dies.
class FlockGate : public DeviceGate {
public:
    // The lock file "HidDevice" in the user's private runtime folder.
    FlockGate();
    explicit FlockGate(std::string lockPath);

    // Waits while another open file description holds the lock. When no safe lock file can be
    // had (no private folder, a FIFO or a link in its place) the gate says so once on the
    // diagnostic output and lets everything through, never blocking on a stranger's file.
    void Pass() override;

    const std::string& LockPath() const { return lockPath_; }
    // Empty when the user has no private runtime folder; `problem` then says why.
    static std::string DefaultLockPath(std::string& problem);

private:
    std::string lockPath_;
    std::string problem_;  // why there is no lock path
};

}  // namespace kb
