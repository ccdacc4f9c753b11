#pragma once

#include <string>

#include "device/device_gate.h"

namespace kb {

// The "HidDevice" gate as a named mutex of the logon session: waited for and released at once.
// A holder that ended without releasing leaves the mutex abandoned, which passes as well.
class MutexGate : public DeviceGate {
public:
    explicit MutexGate(std::wstring name = L"HidDevice");
    ~MutexGate() override;
    MutexGate(const MutexGate&) = delete;
    MutexGate& operator=(const MutexGate&) = delete;

    // Without a mutex (it could not be created) nothing is waited for.
    void Pass() override;

private:
    std::wstring name_;
    void* mutex_ = nullptr;  // HANDLE, opened on first use and kept
};

}  // namespace kb
