#pragma once

#include <string>

#include "config/device_config.h"
#include "mainwindow/main_window.h"
#include "platform/platform_services.h"

namespace kb {

// The main window's key-assignment dialog: the macro dialog over the main window, its library
// and remembered choices in dataFolder.
KeyDialogRunner MakeKeyDialogRunner(platform::PlatformServices& platform,
                                    const DeviceConfig& config, std::string dataFolder);

}  // namespace kb
