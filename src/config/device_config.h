#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kb {

namespace detail {
struct DeviceConfigValues;
}

// One media-key or function-key choice of config.xml.
struct KeyFunctionEntry {
    std::string name;                 // UTF-8; shown through the translator
    std::vector<std::int32_t> codes;  // each taken as one byte when sent
};

// The read-only model of config.xml: the keyboard's USB identity, the start-up language and the
// media-key and function-key lists. The fields are public and const; a model that could not be
// read has identity 0, English and empty lists.
//
// File format: top-level sibling elements <local language="cn" website="https://…"/>, <usb vid=
// pid= interface= subdevice=/> (hexadecimal, "0x" optional), <mediakey> and <functkey> whose
// children carry name= and code= (decimal, comma separated).
class DeviceConfig {
public:
    DeviceConfig() = default;

    // The process-wide model. The first call that passes a file name creates it from that file:
    // a relative name is taken in the program folder, an absolute path as it is. Later calls
    // return the same model whatever they pass; before the first such call the result is null.
    // The model is never destroyed.
    static DeviceConfig* Instance(const char* fileName = nullptr);

    // A model read from exactly this path (no program-folder lookup). Anything but a regular
    // file of at most 16 MiB gives the empty model.
    static DeviceConfig LoadFrom(const std::string& path);
    // A model read from XML text already in memory (encoding detected as for files).
    static DeviceConfig LoadFromText(std::string_view xml);

    const std::int32_t vid = 0;
    const std::int32_t pid = 0;
    const std::int32_t interfaceNumber = 0;  // the file's "interface" attribute
    const std::int32_t subdevice = 0;
    const bool chineseUi = false;
    const std::vector<KeyFunctionEntry> mediaKeys{};
    const std::vector<KeyFunctionEntry> functionKeys{};
    // The vendor's web address of the "Visit website" link; empty hides the link.
    const std::string website{};

private:
    explicit DeviceConfig(detail::DeviceConfigValues&& values);
};

// Splits a "code" attribute into codes: spaces removed, split at commas, empty pieces dropped,
// each piece read as a decimal prefix (0 when it has no digits).
std::vector<std::int32_t> ParseCodeList(std::string_view text);

}  // namespace kb
