#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/hid_backend.h"
#include "sim/simulated_keyboard.h"

namespace kb {

// The system's HID interfaces as seen with only the simulated keyboard attached.
class SimulatedHidBackend : public HidBackend {
public:
    explicit SimulatedHidBackend(SimulatedKeyboard& keyboard) : keyboard_(keyboard) {}

    std::vector<HidInterfaceInfo> Enumerate() override {
        return keyboard_.IsPlugged() ? keyboard_.Interfaces() : std::vector<HidInterfaceInfo>{};
    }
    std::unique_ptr<HidHandle> Open(const std::string& path) override {
        return keyboard_.Open(path);
    }
    OpenFailure WhyOpenFailed(const std::string& /*path*/) override {
        const OpenFailure reason = keyboard_.OpenFailureReason();
        return reason == OpenFailure::None ? OpenFailure::Other : reason;
    }

private:
    SimulatedKeyboard& keyboard_;
};

}  // namespace kb
