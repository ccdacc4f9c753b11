#include "device/linux/flock_gate.h"
#include "device/linux/hidapi_backend.h"
#include "device/system_hid.h"

namespace kb {

std::unique_ptr<HidBackend> MakeSystemHidBackend() {
    return std::make_unique<HidapiBackend>();
}

std::unique_ptr<DeviceGate> MakeSystemDeviceGate() {
    return std::make_unique<FlockGate>();
}

}  // namespace kb
