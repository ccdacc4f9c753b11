#pragma once

#include <memory>

#include "device/device_gate.h"
#include "device/hid_backend.h"

namespace kb {

// The platform's HID back end and "HidDevice" gate, so callers need no platform header.
std::unique_ptr<HidBackend> MakeSystemHidBackend();
std::unique_ptr<DeviceGate> MakeSystemDeviceGate();

}  // namespace kb
