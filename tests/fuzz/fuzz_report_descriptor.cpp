// HID report descriptors as the system hands them over: the top-level collections.
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)kb::ParseTopLevelCollections(std::span<const std::uint8_t>(data, size));
    return 0;
}
