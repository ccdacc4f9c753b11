// kbconfig: the configurator on the system's HID devices.
#include <cstdio>

#include "app/configurator.h"
#include "device/system_hid.h"
#include "device/trace_sink.h"
#include "protocol/pacers.h"

int main(int /*argc*/, char** argv) {
    // Discovery's diagnostic lines show up as they happen, also when redirected to a file.
    kb::StdioLines diagnostics(stdout);
    kb::Composition composition;
    composition.makePlatform = [] { return kb::platform::MakeSystemPlatform(); };
    composition.makeDevices = [&diagnostics](const kb::DeviceConfig&,
                                             kb::platform::PlatformServices&) {
        kb::DeviceSide devices;
        devices.backend = kb::MakeSystemHidBackend();
        devices.gate = kb::MakeSystemDeviceGate();
        devices.pacer = std::make_unique<kb::SleepingPacer>();
        devices.diagnostics = &diagnostics;
        return devices;
    };
    return kb::RunConfigurator(argv[0], composition);
}
