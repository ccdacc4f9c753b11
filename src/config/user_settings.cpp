#include "config/user_settings.h"

#include <filesystem>
#include <pugixml.hpp>
#include <string_view>
#include <system_error>

#include "config/atomic_file.h"

namespace kb {
namespace {

constexpr const char* kRoot = "settings";

std::filesystem::path SettingsPath(const std::string& dataFolder) {
    const std::u8string folder(dataFolder.begin(), dataFolder.end());
    return std::filesystem::path(folder) / kSettingsFile;
}

bool LoadSettings(const std::filesystem::path& file, pugi::xml_document& document) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        return false;
    }
    return static_cast<bool>(document.load_file(file.c_str())) && document.child(kRoot);
}

}  // namespace

std::optional<bool> LoadChineseUiChoice(const std::string& dataFolder) {
    pugi::xml_document document;
    if (!LoadSettings(SettingsPath(dataFolder), document)) {
        return std::nullopt;
    }
    const std::string_view language = document.child(kRoot).attribute("language").value();
    if (language == "cn") {
        return true;
    }
    if (language == "en") {
        return false;
    }
    return std::nullopt;
}

bool SaveChineseUiChoice(const std::string& dataFolder, bool chinese) {
    const std::filesystem::path file = SettingsPath(dataFolder);
    pugi::xml_document document;
    if (!LoadSettings(file, document)) {
        document.reset();
        pugi::xml_node declaration = document.append_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
        declaration.append_attribute("encoding") = "UTF-8";
        document.append_child(kRoot);
    }
    pugi::xml_node root = document.child(kRoot);
    pugi::xml_attribute language = root.attribute("language");
    if (!language) {
        language = root.append_attribute("language");
    }
    language = chinese ? "cn" : "en";

    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    return WriteFileAtomically(file, [&document](std::FILE* out) {
        pugi::xml_writer_file writer(out);
        document.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
        return std::ferror(out) == 0;
    });
}

}  // namespace kb
