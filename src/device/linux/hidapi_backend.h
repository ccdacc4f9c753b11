#pragma once

#include <string_view>
#include <vector>

#include "device/hid_backend.h"
#include "device/report_descriptor.h"

namespace kb {

// The system's hidraw devices through hidapi. Each interface is listed once per top-level
// collection of its report descriptor, with a Windows-style interfacePath so that the same
// matcher works as on Windows.
class HidapiBackend : public HidBackend {
public:
    HidapiBackend();
    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidHandle> Open(const std::string& path) override;
    // hidapi keeps no errno for a failed open, so the node is tried once more here.
    OpenFailure WhyOpenFailed(const std::string& path) override;
    // Opens the hidraw node read/write and returns its file descriptor (-1 on failure).
    std::int64_t Probe(HidInterfaceInfo& info) override;
};

// The reason an open(2) failing with `error` stands for.
OpenFailure OpenFailureOfErrno(int error);

// One entry per collection (collection numbers 1..n when there are several, -1 for a single
// one), each a copy of `device` with the collection's usage and its interfacePath filled in.
// Without collections the device is listed once as it is.
std::vector<HidInterfaceInfo> ExpandCollections(const HidInterfaceInfo& device,
                                                const std::vector<TopLevelCollection>& collections,
                                                std::string_view node);

}  // namespace kb
