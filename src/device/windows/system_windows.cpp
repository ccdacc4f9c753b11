#include "device/system_hid.h"
#include "device/windows/mutex_gate.h"
#include "device/windows/setupapi_backend.h"

namespace kb {

std::unique_ptr<HidBackend> MakeSystemHidBackend() {
    return std::make_unique<SetupApiBackend>();
}

std::unique_ptr<DeviceGate> MakeSystemDeviceGate() {
    return std::make_unique<MutexGate>();
}

}  // namespace kb
