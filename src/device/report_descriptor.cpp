#include "device/report_descriptor.h"

#include <cstddef>

namespace kb {
namespace {

// Item types and tags of the USB Device Class Definition for HID 1.11, section 6.2.2.
enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };
constexpr std::uint8_t kTagCollection = 0xA;     // main
constexpr std::uint8_t kTagEndCollection = 0xC;  // main
constexpr std::uint8_t kTagUsagePage = 0x0;      // global
constexpr std::uint8_t kTagPush = 0xA;           // global
constexpr std::uint8_t kTagPop = 0xB;            // global
constexpr std::uint8_t kTagUsage = 0x0;          // local
constexpr std::uint8_t kLongItemPrefix = 0xFE;   // section 6.2.2.3
// A hostile descriptor could push without end; real ones nest a few levels.
constexpr std::size_t kMaxPushDepth = 64;

}  // namespace

std::vector<TopLevelCollection> ParseTopLevelCollections(std::span<const std::uint8_t> descriptor) {
    std::vector<TopLevelCollection> collections;
    std::uint32_t usagePage = 0;
    std::vector<std::uint32_t> pushed;
    // The first Usage since the last main item; 32-bit values carry their own page.
    bool haveUsage = false;
    std::uint32_t firstUsage = 0;
    bool firstUsageExtended = false;
    std::size_t depth = 0;

    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const std::uint8_t prefix = descriptor[pos];
        if (prefix == kLongItemPrefix) {
            if (pos + 1 >= descriptor.size()) {
                break;
            }
            pos += 3 + std::size_t{descriptor[pos + 1]};
            continue;
        }
        const std::size_t size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        const auto type = static_cast<std::uint8_t>((prefix >> 2) & 0x3);
        const auto tag = static_cast<std::uint8_t>(prefix >> 4);
        if (pos + 1 + size > descriptor.size()) {
            break;
        }
        std::uint32_t data = 0;
        for (std::size_t i = 0; i < size; ++i) {
            data |= static_cast<std::uint32_t>(descriptor[pos + 1 + i]) << (8 * i);
        }
        pos += 1 + size;

        if (type == kGlobal) {
            if (tag == kTagUsagePage) {
                usagePage = data;
            } else if (tag == kTagPush && pushed.size() < kMaxPushDepth) {
                pushed.push_back(usagePage);
            } else if (tag == kTagPop && !pushed.empty()) {
                usagePage = pushed.back();
                pushed.pop_back();
            }
        } else if (type == kLocal) {
            if (tag == kTagUsage && !haveUsage) {
                haveUsage = true;
                firstUsage = data;
                firstUsageExtended = size == 4;
            }
        } else if (type == kMain) {
            if (tag == kTagCollection) {
                if (depth == 0) {
                    TopLevelCollection collection;
                    collection.usagePage = static_cast<std::uint16_t>(
                        firstUsageExtended ? firstUsage >> 16 : usagePage);
                    collection.usage = static_cast<std::uint16_t>(firstUsage & 0xffff);
                    collections.push_back(collection);
                }
                ++depth;
            } else if (tag == kTagEndCollection && depth > 0) {
                --depth;
            }
            // Every main item ends the local state.
            haveUsage = false;
            firstUsage = 0;
            firstUsageExtended = false;
        }
    }
    return collections;
}

}  // namespace kb
