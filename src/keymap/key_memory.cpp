#include "keymap/key_memory.h"

#include <algorithm>
#include <cstdio>

#include "macro/key_codes.h"
#include "macro/key_names.h"
#include "protocol/reports.h"

namespace kb {

namespace {

std::optional<int> SlotOf(const SlotTable& table, std::uint8_t key) {
    const auto found = std::find(table.begin(), table.end(), key);
    if (found == table.end()) {
        return std::nullopt;
    }
    return static_cast<int>(found - table.begin()) + 1;
}

constexpr std::array<const char*, 5> kKindNames{"macro", "key", "media", "function", "elsewhere"};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

bool UsesMacroSlot(KeyKind kind) {
    return kind == KeyKind::Macro || kind == KeyKind::Function;
}

bool Reconcile(ProfileMemory& profile, const SlotTable& macro, const SlotTable& remap) {
    const ProfileMemory before = profile;
    for (auto it = profile.begin(); it != profile.end();) {
        RememberedKey& entry = it->second;
        const auto inMacro = SlotOf(macro, entry.key);
        const auto inRemap = SlotOf(remap, entry.key);
        if (!inMacro && !inRemap) {
            it = profile.erase(it);
            continue;
        }
        const auto own = entry.choice.kind == KeyKind::Elsewhere ? std::nullopt
                         : UsesMacroSlot(entry.choice.kind)      ? inMacro
                                                                 : inRemap;
        if (own) {
            entry.slot = *own;
        } else {
            entry = RememberedKey{entry.key, {}, {}, inMacro ? *inMacro : *inRemap};
        }
        ++it;
    }
    for (const SlotTable* table : {&macro, &remap}) {
        for (std::size_t i = 0; i < table->size(); ++i) {
            const std::uint8_t key = (*table)[i];
            if (key != 0 && !profile.contains(key)) {
                profile[key] = RememberedKey{key, {}, {}, static_cast<int>(i) + 1};
            }
        }
    }
    return profile != before;
}

namespace {

// The choice as the keyboard got it: a macro or function record without a repeat count went
// out as a single code, so it is remembered as a key producing that code; a macro keeps the
// repeat count's low byte.
KeyChoice AsSent(KeyChoice choice, const AssignmentRecord& record) {
    if (UsesMacroSlot(choice.kind) && record[3] == 0) {
        KeyChoice single;
        single.kind = KeyKind::Key;
        single.target = record[2];
        return single;
    }
    // The keyboard keeps the repeat count's low byte: 300 repeats 44 times.
    if (choice.kind == KeyKind::Macro) {
        choice.repeat = record[3];
    }
    return choice;
}

}  // namespace

bool RememberAssignment(ProfileMemory& profile, int profileIndex, std::uint8_t key,
                        const KeyChoice& choice, const AssignmentRecord& record,
                        const SlotTable& macro, const SlotTable& remap) {
    if (profileIndex < 0 || profileIndex >= kProfileCount || choice.kind == KeyKind::Elsewhere) {
        return false;
    }
    const KeyChoice effective = AsSent(choice, record);
    const bool macroSlot = UsesMacroSlot(effective.kind);
    const auto slot = SlotOf(macroSlot ? macro : remap, key);
    if (!slot || key == 0) {
        return false;
    }
    RememberedKey entry{key, effective, {}, *slot};
    if (macroSlot) {
        AssignmentRecord sent = record;
        sent[0] = ProfileNumber(profileIndex);
        sent[1] = static_cast<std::uint8_t>(*slot);
        sent[2] = key;
        entry.sent.assign(sent.begin(), sent.end());
    } else {
        const Report report = RemapReport(profileIndex, *slot - 1, key, record[2]);
        entry.sent.assign(report.begin(), report.end());
    }
    profile[key] = std::move(entry);
    return true;
}

std::optional<AssignmentRecord> RecordToAssignAgain(const RememberedKey& key) {
    AssignmentRecord record{};
    switch (key.choice.kind) {
        case KeyKind::Macro:
        case KeyKind::Function:
            if (key.sent.size() != record.size() || key.sent[3] == 0) {
                return std::nullopt;
            }
            std::copy(key.sent.begin(), key.sent.end(), record.begin());
            record[0] = 0;
            record[1] = 0;
            record[2] = key.key;
            return record;
        case KeyKind::Key:
        case KeyKind::Media:
            if (key.sent.size() != Report{}.size() || key.sent[1] != kCommandSetRemap) {
                return std::nullopt;
            }
            record[2] = key.sent[6];
            return record;
        case KeyKind::Elsewhere:
            break;
    }
    return std::nullopt;
}

std::string KeyCodeName(std::uint8_t code, KeyNameLanguage language) {
    return KeyDisplayName(code, language);
}

std::string ChordText(const std::vector<std::int32_t>& codes, KeyNameLanguage language) {
    std::string text;
    for (const std::int32_t code : codes) {
        if (!text.empty()) {
            text += '+';
        }
        text += ChordKeyName(static_cast<std::uint8_t>(code & 0xFF), language);
    }
    return text;
}

int RepeatKept(int repeat) {
    return repeat & 0xFF;
}

std::string DescribeKey(const RememberedKey& key, KeyNameLanguage language,
                        const TranslateFn& translate) {
    const auto tr = [&translate](const char* context, const std::string& text) {
        return translate ? translate(context, text) : text;
    };
    const auto arrowTo = [&](std::uint8_t code) {
        return "\u2192 " + (code == 0 ? tr("main", "nothing") : KeyCodeName(code, language));
    };
    const KeyChoice& choice = key.choice;
    switch (choice.kind) {
        case KeyKind::Macro: {
            const int repeat = RepeatKept(choice.repeat);
            // Without a repeat count the key went out as a single code: itself.
            if (repeat == 0) {
                return arrowTo(key.key);
            }
            std::string text = tr("main", "Macro \"%1\"");
            if (const auto at = text.find("%1"); at != std::string::npos) {
                text.replace(at, 2, choice.name);
            }
            if (repeat > 1) {
                text += " \u00d7" + std::to_string(repeat);
            }
            return text;
        }
        case KeyKind::Key:
            return arrowTo(choice.target);
        case KeyKind::Media:
            return tr("macro", choice.name);
        case KeyKind::Function:
            return tr("macro", choice.name) + " (" + ChordText(choice.codes, language) + ")";
        case KeyKind::Elsewhere:
            break;
    }
    return tr("main", "assigned elsewhere");
}

const char* KindName(KeyKind kind) {
    return kKindNames[static_cast<std::size_t>(kind)];
}

std::optional<KeyKind> KindFromName(std::string_view name) {
    for (std::size_t i = 0; i < kKindNames.size(); ++i) {
        if (name == kKindNames[i]) {
            return static_cast<KeyKind>(i);
        }
    }
    return std::nullopt;
}

std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> BytesFromHex(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        i += 2;
    }
    return bytes;
}

}  // namespace kb
