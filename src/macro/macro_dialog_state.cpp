#include "macro/macro_dialog_state.h"

#include <filesystem>
#include <utility>

#include <pugixml.hpp>

#include "macro/xml_file.h"
#include "util/number_text.h"

namespace kb {
namespace {

struct Field {
    const char* name;
    std::int32_t MacroDialogState::*member;
};

// The order in which the attributes are written.
constexpr Field kFields[] = {
    {"page", &MacroDialogState::page},         {"repeat", &MacroDialogState::repeat},
    {"delay", &MacroDialogState::delay},       {"dlymode", &MacroDialogState::dlymode},
    {"mediasel", &MacroDialogState::mediasel}, {"functsel", &MacroDialogState::functsel},
    {"sgcode", &MacroDialogState::sgcode},     {"groupsel", &MacroDialogState::groupsel},
};

}  // namespace

MacroDialogState::MacroDialogState(std::string path) : path_(std::move(path)) {
    pugi::xml_document document;
    const pugi::xml_parse_result loaded =
        LoadXmlFile(document, PathFromUtf8(path_), pugi::parse_default, pugi::encoding_auto);
    if (!loaded) {
        loadedUnreadable_ = loaded.status != pugi::status_file_not_found;
        return;
    }
    const pugi::xml_node macro = document.child("macro");
    if (!macro) {
        loadedUnreadable_ = true;
        return;
    }
    for (const Field& field : kFields) {
        this->*field.member = ParseDecimalPrefix(macro.attribute(field.name).value());
    }
}

MacroDialogState& MacroDialogState::Instance(const std::string& dataFolder) {
    static MacroDialogState* const instance = [&] {
        const std::filesystem::path file = PathFromUtf8(dataFolder) / "store.xml";
        const std::u8string text = file.u8string();
        return new MacroDialogState(std::string(text.begin(), text.end()));
    }();
    return *instance;
}

bool MacroDialogState::SaveState() const {
    if (loadedUnreadable_ && !keptAside_) {
        if (!KeepUnreadableCopy(PathFromUtf8(path_))) {
            return false;  // never overwrite what could not be kept
        }
        keptAside_ = true;
    }
    pugi::xml_document document;
    pugi::xml_node macro = document.append_child("macro");
    for (const Field& field : kFields) {
        macro.append_attribute(field.name).set_value(this->*field.member);
    }
    return SaveXmlAtomically(document, PathFromUtf8(path_), "\t", pugi::format_default);
}

}  // namespace kb
