#include "sim/sim_state.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>

#include <pugixml.hpp>

#include "config/atomic_file.h"
#include "util/file_read.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRootName = "simkeyboard";
constexpr const char* kFormatVersion = "1";
// Far above any file we write (about 13 KB when every slot is full).
constexpr std::uintmax_t kMaxStateFileBytes = 1024 * 1024;

std::string Hex(const std::uint8_t* bytes, std::size_t count, const char* separator = "") {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += separator;
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

template <std::size_t N>
bool ParseHex(std::string_view text, std::array<std::uint8_t, N>& bytes) {
    if (text.size() != 2 * N) {
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) {
        const char* first = text.data() + 2 * i;
        auto [end, ec] = std::from_chars(first, first + 2, bytes[i], 16);
        if (ec != std::errc() || end != first + 2) {
            return false;
        }
    }
    return true;
}

bool ParseHexByte(std::string_view text, std::uint8_t& value) {
    std::array<std::uint8_t, 1> bytes{};
    if (!ParseHex(text, bytes)) {
        return false;
    }
    value = bytes[0];
    return true;
}

// Whole attribute text as a decimal number within [low, high].
bool ParseNumber(const pugi::xml_attribute& attribute, int low, int high, int& value) {
    std::string_view text = attribute.value();
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return attribute && ec == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

bool ReadProfile(const pugi::xml_node& node, SimProfileState& profile) {
    std::set<int> macroSlots;
    std::set<int> remapSlots;
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        int slot = 0;
        if (!ParseNumber(child.attribute("slot"), 1, kSimSlotCount, slot)) {
            return false;
        }
        std::string_view name = child.name();
        if (name == "macro") {
            SimMacroRecord record{};
            // A stored macro always has a key and a repeat count; zero ones mean a free slot.
            if (!macroSlots.insert(slot).second ||
                !ParseHex(child.attribute("record").value(), record) || record[2] == 0 ||
                record[3] == 0) {
                return false;
            }
            profile.macros[static_cast<std::size_t>(slot - 1)] = record;
        } else if (name == "remap") {
            SimRemapEntry entry;
            if (!remapSlots.insert(slot).second ||
                !ParseHexByte(child.attribute("key").value(), entry.key) || entry.key == 0 ||
                !ParseHexByte(child.attribute("target").value(), entry.target)) {
                return false;
            }
            profile.remaps[static_cast<std::size_t>(slot - 1)] = entry;
        } else {
            return false;
        }
    }
    return true;
}

bool ReadState(const pugi::xml_node& root, SimKeyboardState& state) {
    if (std::string_view(root.name()) != kRootName ||
        std::string_view(root.attribute("version").value()) != kFormatVersion ||
        !ParseNumber(root.attribute("activeprofile"), 1, kSimProfileCount, state.activeProfile) ||
        !ParseNumber(root.attribute("effect"), 0, kSimEffectCount - 1, state.effect)) {
        return false;
    }
    std::set<int> profiles;
    std::set<int> effects;
    for (const pugi::xml_node& child : root.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        std::string_view name = child.name();
        int number = 0;
        if (name == "profile") {
            if (!ParseNumber(child.attribute("number"), 1, kSimProfileCount, number) ||
                !profiles.insert(number).second ||
                !ReadProfile(child, state.profiles[static_cast<std::size_t>(number - 1)])) {
                return false;
            }
        } else if (name == "lighting") {
            if (!ParseNumber(child.attribute("effect"), 0, kSimEffectCount - 1, number) ||
                !effects.insert(number).second ||
                !ParseHex(child.attribute("record").value(),
                          state.lighting[static_cast<std::size_t>(number)])) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string DumpSimState(const SimKeyboardState& state) {
    std::ostringstream out;
    out << "active profile " << state.activeProfile << "\n";
    for (std::size_t p = 0; p < state.profiles.size(); ++p) {
        const SimProfileState& profile = state.profiles[p];
        out << "profile " << p + 1 << "\n";
        for (std::size_t s = 0; s < profile.macros.size(); ++s) {
            const SimMacroRecord& record = profile.macros[s];
            if (record[2] == 0) {
                continue;
            }
            // Steps end at the first zero pair; the record is zero after the last one.
            std::size_t end = 4;
            while (end + 1 < record.size() && (record[end] != 0 || record[end + 1] != 0)) {
                end += 2;
            }
            out << "  macro slot " << s + 1 << ": key " << Hex(&record[2], 1) << " repeat "
                << int{record[3]} << " steps [" << Hex(&record[4], end - 4, " ") << "]\n";
        }
        for (std::size_t s = 0; s < profile.remaps.size(); ++s) {
            const SimRemapEntry& entry = profile.remaps[s];
            if (entry.key != 0) {
                out << "  remap slot " << s + 1 << ": key " << Hex(&entry.key, 1) << " -> "
                    << Hex(&entry.target, 1) << "\n";
            }
        }
    }
    out << "lighting effect " << state.effect << "\n";
    for (std::size_t e = 0; e < state.lighting.size(); ++e) {
        out << "  effect " << e << ": " << Hex(state.lighting[e].data(), 5, " ") << "\n";
    }
    return out.str();
}

bool LoadSimState(const std::string& utf8Path, SimKeyboardState& state) {
    std::string bytes;
    if (ReadRegularFile(PathFromUtf8(utf8Path), bytes, kMaxStateFileBytes) != ReadFileStatus::Ok) {
        return false;
    }
    pugi::xml_document document;
    if (!document.load_buffer(bytes.data(), bytes.size())) {
        return false;
    }
    SimKeyboardState loaded;
    if (!ReadState(document.document_element(), loaded)) {
        return false;
    }
    state = loaded;
    return true;
}

bool SaveSimState(const std::string& utf8Path, const SimKeyboardState& state) {
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    pugi::xml_node root = document.append_child(kRootName);
    root.append_attribute("version") = kFormatVersion;
    root.append_attribute("activeprofile") = state.activeProfile;
    root.append_attribute("effect") = state.effect;
    for (std::size_t p = 0; p < state.profiles.size(); ++p) {
        const SimProfileState& profile = state.profiles[p];
        pugi::xml_node node = root.append_child("profile");
        node.append_attribute("number") = static_cast<int>(p + 1);
        for (std::size_t s = 0; s < profile.macros.size(); ++s) {
            const SimMacroRecord& record = profile.macros[s];
            if (record[2] != 0 && record[3] != 0) {
                pugi::xml_node macro = node.append_child("macro");
                macro.append_attribute("slot") = static_cast<int>(s + 1);
                macro.append_attribute("record") = Hex(record.data(), record.size()).c_str();
            }
        }
        for (std::size_t s = 0; s < profile.remaps.size(); ++s) {
            const SimRemapEntry& entry = profile.remaps[s];
            if (entry.key != 0) {
                pugi::xml_node remap = node.append_child("remap");
                remap.append_attribute("slot") = static_cast<int>(s + 1);
                remap.append_attribute("key") = Hex(&entry.key, 1).c_str();
                remap.append_attribute("target") = Hex(&entry.target, 1).c_str();
            }
        }
    }
    for (std::size_t e = 0; e < state.lighting.size(); ++e) {
        pugi::xml_node node = root.append_child("lighting");
        node.append_attribute("effect") = static_cast<int>(e);
        node.append_attribute("record") = Hex(state.lighting[e].data(), 5).c_str();
    }

    return WriteFileAtomically(PathFromUtf8(utf8Path), [&](std::FILE* file) {
        pugi::xml_writer_file writer(file);
        document.save(writer, "\t", pugi::format_indent | pugi::format_no_declaration,
                      pugi::encoding_utf8);
        return true;
    });
}

}  // namespace kb
