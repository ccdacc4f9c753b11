#pragma once

#include <QString>

#include "config/device_config.h"

namespace kb::testenv {

// config.xml from the build's runtime folder, read once.
const DeviceConfig& Config();

// Installs the translator "lang_<name>" of the resource folder; false when it does not load.
bool UseLanguage(const QString& name);

}  // namespace kb::testenv
