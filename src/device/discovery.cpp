#include "device/discovery.h"

#include <cstdio>
#include <ostream>
#include <regex>
#include <string>

#include "util/number_text.h"

namespace kb {
namespace {

std::int32_t GroupValue(const std::match_results<std::string_view::const_iterator>& match,
                        std::size_t group) {
    if (!match[group].matched || match[group].length() == 0) {
        return -1;
    }
    return ParseHexPrefix(
        std::string_view(&*match[group].first, static_cast<std::size_t>(match[group].length())));
}

}  // namespace

std::optional<PathFields> ParseInterfacePath(std::string_view path) {
    // The {2} outside the groups is deliberate: each group keeps only its last character.
    static const std::regex kPattern(
        R"(hid#vid_([\da-zA-Z]{4})&pid_([\da-zA-Z]{4})(&mi_([\da-zA-Z]){2})?(&col([\da-zA-Z]){2})?)",
        std::regex::ECMAScript | std::regex::optimize);
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_search(path.begin(), path.end(), match, kPattern)) {
        return std::nullopt;
    }
    PathFields fields;
    fields.vid = GroupValue(match, 1);
    fields.pid = GroupValue(match, 2);
    fields.mi = GroupValue(match, 4);
    fields.col = GroupValue(match, 6);
    return fields;
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
                                                      std::ostream* diagnostics) {
    const std::vector<HidInterfaceInfo> interfaces = backend.Enumerate();
    if (diagnostics != nullptr) {
        *diagnostics << "got classs: guid={" << kHidClassGuidText << "}\n";
    }
    std::optional<HidInterfaceInfo> result;
    for (std::size_t index = 0; index < interfaces.size(); ++index) {
        if (diagnostics != nullptr) {
            *diagnostics << "enum interface: guid={" << kHidClassGuidText << "} index=" << index
                         << "\n";
        }
        const std::optional<PathFields> fields =
            ParseInterfacePath(interfaces[index].interfacePath);
        if (!fields || !Matches(criteria, *fields)) {
            continue;
        }
        result = interfaces[index];
        const std::int64_t handle = backend.Probe(*result);
        if (diagnostics != nullptr) {
            *diagnostics << "open dev: " << FormatHandleValue(handle) << "\n";
        }
    }
    return result;
}

}  // namespace kb
