#include "config/device_config.h"
#include "util/file_read.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <pugixml.hpp>
#include <utility>

#include "config/program_folder.h"
#include "util/number_text.h"

namespace kb {

struct detail::DeviceConfigValues {
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    std::int32_t interfaceNumber = 0;
    std::int32_t subdevice = 0;
    bool chineseUi = false;
    std::vector<KeyFunctionEntry> mediaKeys;
    std::vector<KeyFunctionEntry> functionKeys;
    std::string website;
};

DeviceConfig::DeviceConfig(detail::DeviceConfigValues&& values)
    : vid(values.vid),
      pid(values.pid),
      interfaceNumber(values.interfaceNumber),
      subdevice(values.subdevice),
      chineseUi(values.chineseUi),
      mediaKeys(std::move(values.mediaKeys)),
      functionKeys(std::move(values.functionKeys)),
      website(std::move(values.website)) {}

std::vector<std::int32_t> ParseCodeList(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (c != ' ') {
            compact.push_back(c);
        }
    }
    std::vector<std::int32_t> codes;
    std::string_view rest = compact;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view piece = rest.substr(0, comma);
        if (!piece.empty()) {
            codes.push_back(ParseDecimalPrefix(piece));
        }
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    return codes;
}

namespace {

// Far beyond any real configuration; a bigger file is not one.
constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

std::vector<KeyFunctionEntry> ReadEntries(const pugi::xml_node& list) {
    std::vector<KeyFunctionEntry> entries;
    for (const pugi::xml_node child : list.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const pugi::xml_attribute name = child.attribute("name");
        if (name.empty() || *name.value() == '\0') {
            continue;
        }
        KeyFunctionEntry entry;
        entry.name = name.value();
        if (const pugi::xml_attribute code = child.attribute("code")) {
            entry.codes = ParseCodeList(code.value());
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

detail::DeviceConfigValues ReadDocument(const pugi::xml_document& doc);

}  // namespace

DeviceConfig DeviceConfig::LoadFrom(const std::string& path) {
    // Read here rather than by the XML library: it trusts the size the system reports, which for
    // a folder or a device node is meaningless.
    std::string bytes;
    if (ReadRegularFile(PathFromUtf8(path), bytes, kMaxFileSize) != ReadFileStatus::Ok) {
        return DeviceConfig();
    }
    return LoadFromText(bytes);
}

DeviceConfig DeviceConfig::LoadFromText(std::string_view xml) {
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_auto)) {
        return DeviceConfig();
    }
    return DeviceConfig(ReadDocument(doc));
}

namespace {

detail::DeviceConfigValues ReadDocument(const pugi::xml_document& doc) {
    detail::DeviceConfigValues values;
    values.chineseUi = std::string_view(doc.child("local").attribute("language").value()) == "cn";
    const pugi::xml_node usb = doc.child("usb");
    values.vid = ParseHexPrefix(usb.attribute("vid").value());
    values.pid = ParseHexPrefix(usb.attribute("pid").value());
    values.interfaceNumber = ParseHexPrefix(usb.attribute("interface").value());
    values.subdevice = ParseHexPrefix(usb.attribute("subdevice").value());
    values.mediaKeys = ReadEntries(doc.child("mediakey"));
    values.functionKeys = ReadEntries(doc.child("functkey"));
    values.website = doc.child("local").attribute("website").value();
    return values;
}

}  // namespace

DeviceConfig* DeviceConfig::Instance(const char* fileName) {
    static std::mutex mutex;
    // Deliberately never destroyed: readers may use it during static destruction.
    static DeviceConfig* instance = nullptr;
    const std::lock_guard lock(mutex);
    if (instance == nullptr && fileName != nullptr) {
        std::string path = fileName;
        if (!PathFromUtf8(path).is_absolute()) {
            const std::string folder = ProgramFolder();
            if (!folder.empty()) {
                path =
                    folder + static_cast<char>(std::filesystem::path::preferred_separator) + path;
            }
        }
        instance = new DeviceConfig(LoadFrom(path));
    }
    return instance;
}

}  // namespace kb
