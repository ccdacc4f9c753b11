#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/open_failure.h"

namespace kb {

// One feature report: byte 0 is the report id, always exchanged with length 8.
using Report = std::array<std::uint8_t, 8>;

// One HID interface (one top-level collection of it) as a back end sees it.
struct HidInterfaceInfo {
    std::string path;           // what HidBackend::Open takes
    std::string interfacePath;  // Windows-style interface path, parsed by the matcher
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    int interfaceNumber = -1;  // -1 when the device has no interface number
    int collection = -1;       // 1-based top-level collection, -1 when the interface has one
    std::uint16_t versionNumber = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::optional<std::string> serialNumber;
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
};

// An open interface. Both calls exchange exactly 8 bytes and return false on any failure.
class HidHandle {
public:
    virtual ~HidHandle() = default;
    virtual bool SetFeature(const Report& report) = 0;
    // On failure the buffer is left as the caller prepared it.
    virtual bool GetFeature(Report& report) = 0;
    // The system's handle value, only for diagnostic lines; 0 when the back end has none.
    virtual std::int64_t NativeHandle() const { return 0; }
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    // Every present interface and collection; empty when enumeration fails.
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
    // Null when the path cannot be opened for reading and writing.
    virtual std::unique_ptr<HidHandle> Open(const std::string& path) = 0;
    // Asked after Open(path) failed: why. Back ends that cannot tell answer Other.
    virtual OpenFailure WhyOpenFailed(const std::string& /*path*/) { return OpenFailure::Other; }
    // Opens the interface briefly, as discovery does for every match, and returns the system's
    // handle value (-1 when the open failed) for the diagnostic line. A back end may refresh the
    // informational fields of info while it has the interface open.
    virtual std::int64_t Probe(HidInterfaceInfo& info) {
        const auto handle = Open(info.path);
        return handle ? handle->NativeHandle() : -1;
    }
};

}  // namespace kb
