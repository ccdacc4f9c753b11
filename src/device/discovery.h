#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/hid_backend.h"
#include "device/trace_sink.h"

namespace kb {

// The HID interface class, as discovery's diagnostic lines print it.
inline constexpr std::string_view kHidClassGuidText = "4d1e55b2-f16f-11cf-88cb001111000030";

// Fields read from a Windows-style interface path; mi and col are -1 when absent.
struct PathFields {
    std::int32_t vid = -1;
    std::int32_t pid = -1;
    std::int32_t mi = -1;
    std::int32_t col = -1;
};

// Searches the path for "hid#vid_XXXX&pid_XXXX[&mi_XX][&colXX]" (case-sensitive). Only the last
// character after "&mi_" and "&col" is read, so &mi_1a gives 10 and &mi_10 gives 0; the
// configuration files written for the keyboard rely on that reading.
std::optional<PathFields> ParseInterfacePath(std::string_view path);

// The four criteria of config.xml. vid/pid <= 0 match every id; interfaceNumber/subdevice < 0
// match every value including none, while 0 is a real interface or collection number.
struct MatchCriteria {
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    std::int32_t interfaceNumber = 0;
    std::int32_t subdevice = 0;
};

bool Matches(const MatchCriteria& criteria, const PathFields& fields);

// Enumerates afresh and returns the last interface, in enumeration order, whose interfacePath
// passes the criteria. Every match is probed once (opened and closed). Diagnostic lines go to
// `diagnostics` when it is not null. The result's informational fields are those enumeration
// reported, refreshed by the probe where the back end does so.
std::optional<HidInterfaceInfo> FindKeyboardInterface(HidBackend& backend,
                                                      const MatchCriteria& criteria,
                                                      TraceSink* diagnostics);

// The Windows-style path of one interface collection, for back ends that do not have one:
// \\?\hid#vid_%04x&pid_%04x&mi_%02x&col%02x#<node>#{HID class}, lower case, without "&mi_"
// when interfaceNumber < 0 and without "&col" when collection < 0.
std::string MakeInterfacePath(std::uint16_t vid, std::uint16_t pid, int interfaceNumber,
                              int collection, std::string_view node);

// "%08x" of the low 32 bits, as the "open dev" diagnostic prints a handle (-1 is ffffffff).
std::string FormatHandleValue(std::int64_t value);

}  // namespace kb
