#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/device_config.h"
#include "platform/platform_services.h"
#include "session/keyboard_session.h"

class QWidget;

namespace kb {

class CMainDlg;

// The device side of one run: what the main window talks to the keyboard through. `keepAlive`
// holds whatever the back end refers to (the simulated keyboard of the demo); it goes last.
struct DeviceSide {
    std::shared_ptr<void> keepAlive;
    std::unique_ptr<HidBackend> backend;
    std::unique_ptr<DeviceGate> gate;
    std::unique_ptr<Pacer> pacer;
    TraceSink* diagnostics = nullptr;
    TraceSink* trace = nullptr;
    // Where what was sent to each key is remembered ("keymap.xml" in the data folder when
    // empty).
    std::string keymapPath;
    // Files the device side keeps besides the keymap (the demo keyboard's state): failed saves
    // of them are told like the window's own. `unreadable` lists those of them that were there
    // but could not be read.
    std::vector<std::string> ownFiles;
    std::vector<std::string> unreadable;
};

// What a program plugs into the configurator. The factories run on the UI thread in this order:
// makePlatform once the Qt application exists; makeDevices only in the single instance, after
// config.xml has been read; onMainWindow once the main window has been initialised and shown.
struct Composition {
    std::function<std::unique_ptr<platform::PlatformServices>()> makePlatform;
    std::function<DeviceSide(const DeviceConfig& config, platform::PlatformServices& platform)>
        makeDevices;
    std::function<void(CMainDlg& window)> onMainWindow;
};

// Starts the configurator and runs it until its main window is destroyed. Returns 0 when another
// instance already runs (it has been asked to bring its window forward), else the message
// loop's result (1 after the main window closes). `argv0` is the only argument Qt sees.
int RunConfigurator(char* argv0, const Composition& composition);

// The resource name of the start-up translator.
QString StartupTranslatorName(bool chineseUi);

// Brings every top-level window marked with the instance name forward: a minimised one is
// restored, a hidden one shown, and each is raised and activated. Returns how many it found.
int BringMarkedWindowsForward(const QString& instanceName);

}  // namespace kb
