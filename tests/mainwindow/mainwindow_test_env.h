#pragma once

#include "config/device_config.h"

namespace kb::testenv {

// config.xml from the build's runtime folder, read once.
const DeviceConfig& Config();

}  // namespace kb::testenv
