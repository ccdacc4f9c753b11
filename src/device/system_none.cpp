#include "device/system_hid.h"

namespace kb {
namespace {

// Platforms without a back end yet see no devices.
class NoDevices : public HidBackend {
public:
    std::vector<HidInterfaceInfo> Enumerate() override { return {}; }
    std::unique_ptr<HidHandle> Open(const std::string&) override { return nullptr; }
};

}  // namespace

std::unique_ptr<HidBackend> MakeSystemHidBackend() {
    return std::make_unique<NoDevices>();
}

std::unique_ptr<DeviceGate> MakeSystemDeviceGate() {
    return std::make_unique<OpenGate>();
}

}  // namespace kb
