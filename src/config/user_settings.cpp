#include "config/user_settings.h"

#include <filesystem>
#include <pugixml.hpp>
#include <string_view>
#include <system_error>

#include "config/atomic_file.h"
#include "util/file_read.h"
#include "util/unreadable_copy.h"
#include "util/xml_depth.h"

namespace kb {
namespace {

constexpr const char* kRoot = "settings";

std::filesystem::path SettingsPath(const std::string& dataFolder) {
    const std::u8string folder(dataFolder.begin(), dataFolder.end());
    return std::filesystem::path(folder) / kSettingsFile;
}

// A handful of choices: anything larger, or nested, was not written by the program.
constexpr std::uintmax_t kMaxSettingsBytes = 64 * 1024;
constexpr int kMaxSettingsDepth = 4;

bool LoadSettings(const std::filesystem::path& file, pugi::xml_document& document) {
    std::string bytes;
    if (ReadRegularFile(file, bytes, kMaxSettingsBytes) != ReadFileStatus::Ok) {
        return false;
    }
    if (!document.load_buffer(bytes.data(), bytes.size()) || !document.child(kRoot) ||
        !NestingWithin(document, kMaxSettingsDepth)) {
        document.reset();
        return false;
    }
    return true;
}

}  // namespace

std::filesystem::path UnreadableSettingsFile(const std::string& dataFolder) {
    const std::filesystem::path file = SettingsPath(dataFolder);
    pugi::xml_document document;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) || LoadSettings(file, document)) {
        return {};
    }
    return file;
}

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
        // A file that is there but unreadable is kept aside, not lost to the new one.
        std::error_code exists;
        if (std::filesystem::exists(file, exists) && !KeepUnreadableCopy(file)) {
            return false;
        }
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
