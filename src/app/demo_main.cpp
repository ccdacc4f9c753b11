// kbconfig-demo: the configurator on the simulated keyboard. The keyboard keeps its state in
// "demo-keyboard.xml" in the data folder and every report and wait is written to standard error.
// SIGUSR1 unplugs the keyboard, SIGUSR2 plugs it in again; Ctrl+Alt+U toggles it.
#include <QDir>
#include <QKeySequence>
#include <QShortcut>
#include <cstdio>

#include "app/configurator.h"
#include "app/demo_platform.h"
#include "config/data_folder.h"
#include "device/system_hid.h"
#include "device/trace_sink.h"
#include "keymap/keymap_file.h"
#include "mainwindow/main_window.h"
#include "protocol/pacers.h"
#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"

namespace {

constexpr const char* kStateFileName = "demo-keyboard.xml";

// The keyboard outlives the signal handling that plugs and unplugs it.
struct DemoDevices {
    std::shared_ptr<kb::SimulatedKeyboard> keyboard;
    std::unique_ptr<kb::PlugSignals> plugSignals;
};

std::string StateFilePath() {
    const std::string folder = kb::DataFolder();
    if (folder.empty()) {
        return kStateFileName;  // next to the program, via the working directory
    }
    QDir().mkpath(QString::fromStdString(folder));
    return folder + "/" + kStateFileName;
}

}  // namespace

int main(int /*argc*/, char** argv) {
    // Diagnostics and trace show up as they happen, also when redirected to a file.
    kb::StdioLines diagnostics(stdout);
    kb::StdioLines trace(stderr);
    kb::DemoPlatform* demoPlatform = nullptr;

    kb::Composition composition;
    composition.makePlatform = [&demoPlatform] {
        auto platform = std::make_unique<kb::DemoPlatform>(kb::platform::MakeSystemPlatform());
        demoPlatform = platform.get();
        return platform;
    };
    composition.makeDevices = [&](const kb::DeviceConfig& config, kb::platform::PlatformServices&) {
        auto demo = std::make_shared<DemoDevices>();
        const std::string stateFile = StateFilePath();
        demo->keyboard = std::make_shared<kb::SimulatedKeyboard>(
            config.vid, config.pid, config.interfaceNumber, config.subdevice, stateFile);
        demoPlatform->AttachKeyboard(demo->keyboard.get());
        demo->plugSignals = std::make_unique<kb::PlugSignals>(*demoPlatform);

        kb::DeviceSide devices;
        devices.backend = std::make_unique<kb::SimulatedHidBackend>(*demo->keyboard);
        devices.gate = kb::MakeSystemDeviceGate();
        devices.pacer = std::make_unique<kb::SleepingPacer>(&trace);
        devices.diagnostics = &diagnostics;
        devices.trace = &trace;
        // The simulated keyboard's memory goes with its state, apart from the real one's.
        devices.keymapPath = kb::SimulatedKeymapPath(stateFile);
        devices.ownFiles = {stateFile};
        if (demo->keyboard->StateFileUnreadable()) {
            devices.unreadable = {stateFile};
        }
        devices.keepAlive = std::move(demo);
        return devices;
    };
    composition.onMainWindow = [&demoPlatform](kb::CMainDlg& window) {
        auto* toggle = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+U")), &window);
        QObject::connect(toggle, &QShortcut::activated,
                         [&demoPlatform] { demoPlatform->TogglePlugged(); });
    };
    return kb::RunConfigurator(argv[0], composition);
}
