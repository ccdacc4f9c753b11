#pragma once

#include <optional>
#include <string>
#include <vector>

#include "session/keyboard_session.h"

namespace kb::cli {

// Both slot tables of a profile, one row per slot, with key names ("-" for a free slot):
//   profile 1
//   slot  macro        remap
//      1  A            -
std::string FormatSlotTables(int profile, const SlotTable& macro, const SlotTable& remap);

// One row per interface: vid, pid, interface, collection, usage page and usage, product, path;
// the row at marked (if any) starts with "*".
std::string FormatInterfaceList(const std::vector<HidInterfaceInfo>& interfaces,
                                std::optional<std::size_t> marked);

}  // namespace kb::cli
