#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kb {

// A top-level collection of a HID report descriptor: the usage that names it.
struct TopLevelCollection {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    bool operator==(const TopLevelCollection&) const = default;
};

// The top-level collections of a report descriptor, in order. Reads the short items Usage Page,
// Push and Pop (global), Usage (local, including 32-bit extended usages) and Collection and
// End Collection (main); skips long items and everything else. A truncated descriptor yields the
// collections seen before the cut.
std::vector<TopLevelCollection> ParseTopLevelCollections(std::span<const std::uint8_t> descriptor);

}  // namespace kb
