#include "keymap/keymap_file.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <system_error>

#include <pugixml.hpp>

#include "config/device_config.h"
#include "macro/xml_file.h"
#include "util/number_text.h"

namespace kb {

namespace {

constexpr const char* kKeymapRoot = "keymap";
constexpr const char* kBackupRoot = "kbbackup";
constexpr const char* kBackupFormat = "1";

// A whole attribute as a decimal integer; none for anything else.
std::optional<int> WholeNumber(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || last != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::string HexId(std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value) & 0xFFFFu);
    return text;
}

void WriteIdentity(pugi::xml_node keyboard, const KeyboardIdentity& identity) {
    keyboard.append_attribute("vid") = HexId(identity.vid).c_str();
    keyboard.append_attribute("pid") = HexId(identity.pid).c_str();
    keyboard.append_attribute("interface") = identity.interfaceNumber;
    keyboard.append_attribute("subdevice") = identity.subdevice;
}

KeyboardIdentity ReadIdentity(pugi::xml_node keyboard) {
    KeyboardIdentity identity;
    identity.vid = ParseHexPrefix(keyboard.attribute("vid").as_string());
    identity.pid = ParseHexPrefix(keyboard.attribute("pid").as_string());
    identity.interfaceNumber = ParseDecimalPrefix(keyboard.attribute("interface").as_string());
    identity.subdevice = ParseDecimalPrefix(keyboard.attribute("subdevice").as_string());
    return identity;
}

std::string CodeList(const std::vector<std::int32_t>& codes) {
    std::string text;
    for (const std::int32_t code : codes) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(code);
    }
    return text;
}

void WriteSteps(pugi::xml_node parent, const char* tag, const std::vector<RememberedStep>& steps) {
    for (const RememberedStep& step : steps) {
        pugi::xml_node node = parent.append_child(tag);
        node.append_attribute("code") = step.code.c_str();
        node.append_attribute("name") = step.name.c_str();
        node.append_attribute("state") = step.state.c_str();
        node.append_attribute("delay") = step.delay.c_str();
    }
}

void WriteKey(pugi::xml_node profile, const RememberedKey& key) {
    pugi::xml_node node = profile.append_child("key");
    const KeyChoice& choice = key.choice;
    node.append_attribute("code") = static_cast<unsigned>(key.key);
    node.append_attribute("kind") = KindName(choice.kind);
    node.append_attribute("slot") = key.slot;
    switch (choice.kind) {
        case KeyKind::Macro:
            node.append_attribute("name") = choice.name.c_str();
            node.append_attribute("repeat") = choice.repeat;
            break;
        case KeyKind::Key:
            node.append_attribute("target") = static_cast<unsigned>(choice.target);
            break;
        case KeyKind::Media:
        case KeyKind::Function:
            node.append_attribute("name") = choice.name.c_str();
            node.append_attribute("codes") = CodeList(choice.codes).c_str();
            break;
        case KeyKind::Elsewhere:
            return;
    }
    node.append_attribute("sent") = HexBytes(key.sent.data(), key.sent.size()).c_str();
    WriteSteps(node, "step", choice.steps);
}

// One <key> element; none when it makes no sense.
std::optional<RememberedKey> ReadKey(pugi::xml_node node) {
    const auto code = WholeNumber(node.attribute("code").as_string());
    const auto kind = KindFromName(node.attribute("kind").as_string());
    const auto slot = WholeNumber(node.attribute("slot").as_string("0"));
    if (!code || *code < 1 || *code > 0xFF || !kind || !slot || *slot < 0 || *slot > kSlotCount) {
        return std::nullopt;
    }
    RememberedKey key;
    key.key = static_cast<std::uint8_t>(*code);
    key.slot = *slot;
    KeyChoice& choice = key.choice;
    choice.kind = *kind;
    if (*kind == KeyKind::Elsewhere) {
        return key;
    }
    // Only the kinds that have a name keep one, so what is read is what would be written.
    if (*kind != KeyKind::Key) {
        choice.name = node.attribute("name").as_string();
    }
    if (*kind == KeyKind::Macro) {
        const auto repeat = WholeNumber(node.attribute("repeat").as_string());
        if (!repeat) {
            return std::nullopt;
        }
        choice.repeat = *repeat;
        for (pugi::xml_node step : node.children("step")) {
            choice.steps.push_back(
                {step.attribute("code").as_string(), step.attribute("name").as_string(),
                 step.attribute("state").as_string(), step.attribute("delay").as_string()});
        }
    } else if (*kind == KeyKind::Key) {
        const auto target = WholeNumber(node.attribute("target").as_string());
        if (!target || *target < 0 || *target > 0xFF) {
            return std::nullopt;
        }
        choice.target = static_cast<std::uint8_t>(*target);
    } else {
        choice.codes = ParseCodeList(node.attribute("codes").as_string());
    }
    auto sent = BytesFromHex(node.attribute("sent").as_string());
    if (!sent) {
        return std::nullopt;
    }
    key.sent = std::move(*sent);
    if (!RecordToAssignAgain(key)) {
        return std::nullopt;
    }
    return key;
}

void WriteMemory(pugi::xml_node keyboard, const KeyboardMemory& memory, bool knownOnly) {
    if (memory.lighting) {
        pugi::xml_node lighting = keyboard.append_child("lighting");
        lighting.append_attribute("effect") = memory.lighting->effect;
        for (std::size_t i = 0; i < memory.lighting->table.size(); ++i) {
            pugi::xml_node record = lighting.append_child("record");
            record.append_attribute("effect") = static_cast<unsigned>(i);
            const LightingRecord& bytes = memory.lighting->table[i];
            record.append_attribute("bytes") = HexBytes(bytes.data(), bytes.size()).c_str();
        }
    }
    for (std::size_t p = 0; p < memory.profiles.size(); ++p) {
        pugi::xml_node profile = keyboard.append_child("profile");
        profile.append_attribute("number") = static_cast<unsigned>(p + 1);
        for (const auto& [code, key] : memory.profiles[p]) {
            if (!knownOnly || key.choice.kind != KeyKind::Elsewhere) {
                WriteKey(profile, key);
            }
        }
    }
}

// Reads a <keyboard> element. strict: any entry that makes no sense fails the whole element;
// otherwise such entries are skipped, and `skipped` says so.
bool ReadMemory(pugi::xml_node keyboard, bool strict, KeyboardMemory& memory,
                bool* skipped = nullptr) {
    const auto skip = [skipped] {
        if (skipped != nullptr) {
            *skipped = true;
        }
    };
    memory = KeyboardMemory{};
    if (pugi::xml_node lighting = keyboard.child("lighting")) {
        RememberedLighting remembered;
        remembered.table = InitialLightingTable();
        const auto effect = WholeNumber(lighting.attribute("effect").as_string());
        bool valid = effect && *effect >= 0 && *effect < kEffectCount;
        for (pugi::xml_node record : lighting.children("record")) {
            const auto index = WholeNumber(record.attribute("effect").as_string());
            const auto bytes = BytesFromHex(record.attribute("bytes").as_string());
            if (!index || *index < 0 || *index >= kEffectCount || !bytes ||
                bytes->size() != LightingRecord{}.size()) {
                valid = false;
                continue;
            }
            std::copy(bytes->begin(), bytes->end(),
                      remembered.table[static_cast<std::size_t>(*index)].begin());
        }
        if (valid) {
            remembered.effect = *effect;
            memory.lighting = remembered;
        } else if (strict) {
            return false;
        } else {
            skip();
        }
    }
    for (pugi::xml_node profile : keyboard.children("profile")) {
        const auto number = WholeNumber(profile.attribute("number").as_string());
        if (!number || *number < 1 || *number > kProfileCount) {
            if (strict) {
                return false;
            }
            skip();
            continue;
        }
        ProfileMemory& keys = memory.profiles[static_cast<std::size_t>(*number - 1)];
        for (pugi::xml_node node : profile.children("key")) {
            auto key = ReadKey(node);
            if (!key || (strict && key->choice.kind == KeyKind::Elsewhere)) {
                if (strict) {
                    return false;
                }
                skip();
                continue;
            }
            keys[key->key] = std::move(*key);
        }
    }
    return true;
}

pugi::xml_node FindKeyboard(pugi::xml_node parent, const KeyboardIdentity& identity) {
    for (pugi::xml_node keyboard : parent.children("keyboard")) {
        if (ReadIdentity(keyboard) == identity) {
            return keyboard;
        }
    }
    return {};
}

// The keymap file is read back and written again whole, unknown parts included: a tree nested
// far deeper than the program writes would cost the stack to walk and an indent per level on
// every line written back, so it counts as unreadable.
bool LoadDocument(pugi::xml_document& document, const std::string& path) {
    if (!LoadXmlFile(document, PathFromUtf8(path), pugi::parse_default | pugi::parse_declaration,
                     pugi::encoding_auto)) {
        return false;
    }
    if (!NestingWithin(document, kMaxXmlDepth)) {
        document.reset();
        return false;
    }
    return true;
}

}  // namespace

KeyboardMemory LoadKeymap(const std::string& path, const KeyboardIdentity& identity,
                          bool* damaged) {
    KeyboardMemory memory;
    pugi::xml_document document;
    if (path.empty()) {
        return memory;
    }
    if (!LoadDocument(document, path) || !document.child(kKeymapRoot)) {
        std::error_code ec;
        if (damaged != nullptr && std::filesystem::exists(PathFromUtf8(path), ec)) {
            *damaged = true;
        }
        return memory;
    }
    if (pugi::xml_node keyboard = FindKeyboard(document.child(kKeymapRoot), identity)) {
        ReadMemory(keyboard, false, memory, damaged);
    }
    return memory;
}

bool SaveKeymap(const std::string& path, const KeyboardIdentity& identity,
                const KeyboardMemory& memory) {
    const std::filesystem::path file = PathFromUtf8(path);
    pugi::xml_document document;
    std::error_code ec;
    if (std::filesystem::exists(file, ec) &&
        (!LoadDocument(document, path) || !document.child(kKeymapRoot))) {
        if (!KeepUnreadableCopy(file)) {
            return false;
        }
        document.reset();
    }
    pugi::xml_node root = document.child(kKeymapRoot);
    if (!root) {
        document.reset();
        pugi::xml_node declaration = document.append_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
        declaration.append_attribute("encoding") = "UTF-8";
        root = document.append_child(kKeymapRoot);
    }
    pugi::xml_node old = FindKeyboard(root, identity);
    pugi::xml_node keyboard =
        old ? root.insert_child_before("keyboard", old) : root.append_child("keyboard");
    if (old) {
        root.remove_child(old);
    }
    WriteIdentity(keyboard, identity);
    WriteMemory(keyboard, memory, false);
    std::filesystem::create_directories(file.parent_path(), ec);
    return SaveXmlAtomically(document, file, "\t", pugi::format_default);
}

namespace {

void BuildBackup(pugi::xml_document& document, const KeyboardIdentity& identity,
                 const KeyboardMemory& memory) {
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = document.append_child(kBackupRoot);
    root.append_attribute("format") = kBackupFormat;
    pugi::xml_node keyboard = root.append_child("keyboard");
    WriteIdentity(keyboard, identity);
    WriteMemory(keyboard, memory, true);

    // The groups the keys play, once each, as the macro file holds them.
    pugi::xml_node macros = root.append_child("macros");
    std::set<std::string> written;
    for (const ProfileMemory& profile : memory.profiles) {
        for (const auto& [code, key] : profile) {
            if (key.choice.kind == KeyKind::Macro && written.insert(key.choice.name).second) {
                pugi::xml_node group = macros.append_child("items");
                group.append_attribute("name") = key.choice.name.c_str();
                WriteSteps(group, "item", key.choice.steps);
            }
        }
    }
}

}  // namespace

bool WriteBackup(const std::string& path, const KeyboardIdentity& identity,
                 const KeyboardMemory& memory) {
    pugi::xml_document document;
    BuildBackup(document, identity, memory);
    return SaveXmlAtomically(document, PathFromUtf8(path), "\t", pugi::format_default);
}

std::string BackupText(const KeyboardIdentity& identity, const KeyboardMemory& memory) {
    pugi::xml_document document;
    BuildBackup(document, identity, memory);
    std::ostringstream text;
    document.save(text, "\t", pugi::format_default, pugi::encoding_utf8);
    return text.str();
}

BackupReadResult ReadBackup(const std::string& path, const KeyboardIdentity& identity) {
    BackupReadResult result;
    pugi::xml_document document;
    if (!LoadDocument(document, path)) {
        std::error_code ec;
        const bool isFile = std::filesystem::is_regular_file(PathFromUtf8(path), ec);
        result.error = isFile ? path + " is not a backup file" : "cannot read " + path;
        result.problem = isFile ? BackupProblem::NotABackup : BackupProblem::Unreadable;
        // A backup cut short (a full disk, a copy interrupted) still starts like one.
        std::string bytes;
        if (isFile &&
            ReadRegularFile(PathFromUtf8(path), bytes, kMaxXmlFileBytes) == ReadFileStatus::Ok &&
            bytes.find(std::string("<") + kBackupRoot) != std::string::npos) {
            result.error = path + " is a damaged or incomplete backup";
            result.problem = BackupProblem::Damaged;
        }
        return result;
    }
    pugi::xml_node root = document.child(kBackupRoot);
    pugi::xml_node keyboard = root.child("keyboard");
    if (!root || !keyboard) {
        result.error = path + " is not a backup file";
        result.problem = BackupProblem::NotABackup;
        return result;
    }
    if (std::string_view(root.attribute("format").as_string()) != kBackupFormat) {
        result.error = path + " is a backup in a format this version does not know";
        result.problem = BackupProblem::NewerFormat;
        return result;
    }
    const KeyboardIdentity other = ReadIdentity(keyboard);
    if (!(other == identity)) {
        result.error = path + " is a backup of another keyboard (vid " + HexId(other.vid) +
                       ", pid " + HexId(other.pid) + ")";
        result.problem = BackupProblem::OtherKeyboard;
        return result;
    }
    KeyboardMemory memory;
    if (!ReadMemory(keyboard, true, memory)) {
        result.error = path + " is damaged: an entry cannot be assigned again";
        result.problem = BackupProblem::Damaged;
        return result;
    }
    result.memory = std::move(memory);
    return result;
}

std::string SimulatedKeymapPath(const std::string& stateFile) {
    if (stateFile.empty()) {
        return {};
    }
    const std::filesystem::path state = PathFromUtf8(stateFile);
    const std::u8string name = state.stem().u8string() + u8"-keymap.xml";
    const std::u8string full = (state.parent_path() / std::filesystem::path(name)).u8string();
    return std::string(full.begin(), full.end());
}

KeyMemory::KeyMemory(std::string path, KeyboardIdentity identity)
    : path_(std::move(path)), identity_(identity) {
    // In the body: loadedDamaged_ is built after memory_.
    memory_ = LoadKeymap(path_, identity_, &loadedDamaged_);
}

const RememberedKey* KeyMemory::Find(int profileIndex, std::uint8_t key) const {
    if (profileIndex < 0 || profileIndex >= kProfileCount) {
        return nullptr;
    }
    const ProfileMemory& profile = memory_.profiles[static_cast<std::size_t>(profileIndex)];
    const auto found = profile.find(key);
    return found == profile.end() ? nullptr : &found->second;
}

void KeyMemory::SlotTablesRead(int profileIndex, const SlotTable& macro, const SlotTable& remap) {
    if (profileIndex < 0 || profileIndex >= kProfileCount) {
        return;
    }
    if (Reconcile(memory_.profiles[static_cast<std::size_t>(profileIndex)], macro, remap)) {
        Save();
    }
}

void KeyMemory::ReadBackAfterAssignment(int profileIndex, const SlotTable& macro,
                                        const SlotTable& remap, std::uint8_t key,
                                        const KeyChoice& choice, const AssignmentRecord& record) {
    if (profileIndex < 0 || profileIndex >= kProfileCount) {
        return;
    }
    ProfileMemory& profile = memory_.profiles[static_cast<std::size_t>(profileIndex)];
    const bool reconciled = Reconcile(profile, macro, remap);
    const bool remembered =
        RememberAssignment(profile, profileIndex, key, choice, record, macro, remap);
    if (reconciled || remembered) {
        Save();
    }
}

void KeyMemory::AssignmentApplied(int profileIndex, std::uint8_t key, const KeyChoice& choice,
                                  const AssignmentRecord& record, const SlotTable& macro,
                                  const SlotTable& remap) {
    if (profileIndex < 0 || profileIndex >= kProfileCount) {
        return;
    }
    if (RememberAssignment(memory_.profiles[static_cast<std::size_t>(profileIndex)], profileIndex,
                           key, choice, record, macro, remap)) {
        Save();
    }
}

void KeyMemory::LightingSent(int effect, const LightingTable& table) {
    if (effect < 0 || effect >= kEffectCount) {
        return;
    }
    const RememberedLighting lighting{effect, table};
    if (memory_.lighting != lighting) {
        memory_.lighting = lighting;
        Save();
    }
}

void KeyMemory::FactoryRestored() {
    memory_ = KeyboardMemory{};
    Save();
}

void KeyMemory::Save() {
    if (path_.empty()) {
        return;
    }
    // Entries skipped on load would be gone with the first save: the file as it was is kept.
    if (loadedDamaged_) {
        if (!KeepUnreadableCopy(PathFromUtf8(path_))) {
            saved_ = false;
            return;
        }
        loadedDamaged_ = false;
    }
    saved_ = SaveKeymap(path_, identity_, memory_);
}

}  // namespace kb
