#pragma once

#include <QString>

#include "config/device_config.h"

// The program's own environment for the window and dialog tests: program_main.cpp sets up what
// start-up sets up (an offscreen Qt application, the toolkit application over the build's
// resource folder with its named ids, the English translator and the program's widget classes).
namespace kb::testenv {

// config.xml from the build's runtime folder, read once.
const DeviceConfig& Config();

// Installs the translator "lang_<name>" of the resource folder; false when it does not load.
bool UseLanguage(const QString& name);

}  // namespace kb::testenv
