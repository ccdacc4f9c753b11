// The configuration file (config.xml): identity, language and the named key lists.
#include <cstddef>
#include <cstdint>

#include "config/device_config.h"
#include "fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kb::DeviceConfig config =
        kb::DeviceConfig::LoadFrom(kb::fuzz::WriteInputFile(data, size, "config.xml"));
    for (const auto* list : {&config.mediaKeys, &config.functionKeys}) {
        for (const kb::KeyFunctionEntry& entry : *list) {
            (void)entry.codes.size();
        }
    }
    return 0;
}
