#pragma once

#include <string>

#include "device/device_gate.h"

namespace kb {

// The "HidDevice" gate between processes of one user: an exclusive flock on a lock file, taken
// and released at once. The kernel drops the lock of a holder that dies.
class FlockGate : public DeviceGate {
public:
    // The lock file "HidDevice" in $XDG_RUNTIME_DIR, else /run/user/<uid>, else /tmp.
    FlockGate();
    explicit FlockGate(std::string lockPath);

    // Waits while another open file description holds the lock. When the lock file cannot be
    // opened the gate lets everything through, as there is nobody to wait for.
    void Pass() override;

    const std::string& LockPath() const { return lockPath_; }
    static std::string DefaultLockPath();

private:
    std::string lockPath_;
};

}  // namespace kb
