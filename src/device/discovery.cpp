#include "device/discovery.h"

#include <cstdio>
#include <string>

#include "util/number_text.h"

namespace kb {
namespace {

bool IsAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether `count` letters or digits start at `at`.
bool AlnumRun(std::string_view text, std::size_t at, std::size_t count) {
    if (at > text.size() || text.size() - at < count) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!IsAsciiAlnum(text[at + i])) {
            return false;
        }
    }
    return true;
}

// "<tag>" and two letters or digits at `at`: the value of the second character, the one the
// path's readers use, with `at` moved past them. -1, and `at` kept, when they are not there.
std::int32_t OptionalField(std::string_view path, std::string_view tag, std::size_t& at) {
    if (path.substr(at, tag.size()) != tag || !AlnumRun(path, at + tag.size(), 2)) {
        return -1;
    }
    at += tag.size() + 2;
    return ParseHexPrefix(path.substr(at - 1, 1));
}

}  // namespace

// Matched by hand rather than with a regular expression: the expression's engine sets up the
// C++ locale and compiles the pattern on the first start of discovery, both at program start.
std::optional<PathFields> ParseInterfacePath(std::string_view path) {
    constexpr std::string_view kVid = "hid#vid_";
    constexpr std::string_view kPid = "&pid_";
    for (std::size_t head = path.find(kVid); head != std::string_view::npos;
         head = path.find(kVid, head + 1)) {
        const std::size_t vid = head + kVid.size();
        const std::size_t pid = vid + 4 + kPid.size();
        if (!AlnumRun(path, vid, 4) || path.substr(vid + 4, kPid.size()) != kPid ||
            !AlnumRun(path, pid, 4)) {
            continue;
        }
        PathFields fields;
        fields.vid = ParseHexPrefix(path.substr(vid, 4));
        fields.pid = ParseHexPrefix(path.substr(pid, 4));
        std::size_t at = pid + 4;
        fields.mi = OptionalField(path, "&mi_", at);
        fields.col = OptionalField(path, "&col", at);
        return fields;
    }
    return std::nullopt;
}

bool Matches(const MatchCriteria& criteria, const PathFields& fields) {
    if (criteria.vid > 0 && criteria.vid != fields.vid) {
        return false;
    }
    if (criteria.pid > 0 && criteria.pid != fields.pid) {
        return false;
    }
    if (criteria.interfaceNumber >= 0 && criteria.interfaceNumber != fields.mi) {
        return false;
    }
    if (criteria.subdevice >= 0 && criteria.subdevice != fields.col) {
        return false;
    }
    return true;
}

std::string FormatHandleValue(std::int64_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x",
                  static_cast<unsigned>(static_cast<std::uint32_t>(value & 0xffffffff)));
    return text;
}

std::string MakeInterfacePath(std::uint16_t vid, std::uint16_t pid, int interfaceNumber,
                              int collection, std::string_view node) {
    char part[32];
    std::string path = "\\\\?\\hid#";
    std::snprintf(part, sizeof part, "vid_%04x&pid_%04x", static_cast<unsigned>(vid),
                  static_cast<unsigned>(pid));
    path += part;
    if (interfaceNumber >= 0) {
        std::snprintf(part, sizeof part, "&mi_%02x", static_cast<unsigned>(interfaceNumber));
        path += part;
    }
    if (collection >= 0) {
        std::snprintf(part, sizeof part, "&col%02x", static_cast<unsigned>(collection));
        path += part;
    }
    path += '#';
    for (const char c : node) {
        // The node sits between two '#' separators and the path is lower case.
        path += c == '#' ? '_' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    path += "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    return path;
}

std::optional<HidInterfaceInfo> FindKeyboardInterface(HidBackend& backend,
                                                      const MatchCriteria& criteria,
                                                      TraceSink* diagnostics) {
    const std::vector<HidInterfaceInfo> interfaces = backend.Enumerate();
    if (diagnostics != nullptr) {
        diagnostics->Line("got classs: guid={" + std::string(kHidClassGuidText) + "}");
    }
    std::optional<HidInterfaceInfo> result;
    for (std::size_t index = 0; index < interfaces.size(); ++index) {
        if (diagnostics != nullptr) {
            diagnostics->Line("enum interface: guid={" + std::string(kHidClassGuidText) +
                              "} index=" + std::to_string(index));
        }
        const std::optional<PathFields> fields =
            ParseInterfacePath(interfaces[index].interfacePath);
        if (!fields || !Matches(criteria, *fields)) {
            continue;
        }
        result = interfaces[index];
        const std::int64_t handle = backend.Probe(*result);
        if (diagnostics != nullptr) {
            diagnostics->Line("open dev: " + FormatHandleValue(handle));
        }
    }
    return result;
}

}  // namespace kb
