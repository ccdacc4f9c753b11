// The device path parser that finds vendor, product, interface and collection in an interface
// path, and the matching against config.xml's criteria.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "device/discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto fields =
        kb::ParseInterfacePath(std::string_view(reinterpret_cast<const char*>(data), size));
    if (fields) {
        (void)kb::Matches(kb::MatchCriteria{fields->vid, fields->pid, fields->mi, fields->col},
                          *fields);
    }
    return 0;
}
