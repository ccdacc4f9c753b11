#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/hid_backend.h"

namespace kb {

// The system's HID interfaces through SetupAPI and the HID library. Each SetupAPI interface is
// one top-level collection already, and its path is the interface path the matcher parses.
class SetupApiBackend : public HidBackend {
public:
    // Every present HID interface with the fields its path gives, completed from a query-only
    // open (attributes, capabilities, strings) where the system allows one.
    std::vector<HidInterfaceInfo> Enumerate() override;
    // Read/write, overlapped, shared with other processes.
    std::unique_ptr<HidHandle> Open(const std::string& path) override;
    // Opens the interface as Open does and reads version, usage and strings through that handle;
    // when the open fails they are cleared, as nothing could be read. Returns the handle value.
    std::int64_t Probe(HidInterfaceInfo& info) override;
};

}  // namespace kb
