#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "macro/key_names.h"
#include "protocol/assignment_record.h"
#include "protocol/key_choice.h"
#include "protocol/keyboard_protocol.h"
#include "protocol/lighting.h"

namespace kb {

// The keyboard reports only which keys hold a slot; what each key does is remembered from what
// the program sent. The keyboard's read-back stays the truth: the memory follows it.

struct RememberedKey {
    std::uint8_t key = 0;  // the physical key's code
    KeyChoice choice;
    // What went out: the 168-byte record of a macro or function key, the 8-byte remap report
    // of a key or media key; empty for a key assigned elsewhere.
    std::vector<std::uint8_t> sent;
    int slot = 0;  // 1-12 in the table the kind uses, as last read back

    bool operator==(const RememberedKey&) const = default;
};

using ProfileMemory = std::map<std::uint8_t, RememberedKey>;

struct RememberedLighting {
    int effect = 0;
    LightingTable table{};  // as held when the effect was sent

    bool operator==(const RememberedLighting&) const = default;
};

// Everything remembered about one keyboard.
struct KeyboardMemory {
    std::array<ProfileMemory, kProfileCount> profiles;
    std::optional<RememberedLighting> lighting;

    bool operator==(const KeyboardMemory&) const = default;
};

// Which keyboard a memory belongs to: the USB identity of config.xml.
struct KeyboardIdentity {
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    std::int32_t interfaceNumber = 0;
    std::int32_t subdevice = 0;

    bool operator==(const KeyboardIdentity&) const = default;
};

// True for the kinds that take a macro slot.
bool UsesMacroSlot(KeyKind kind);

// The memory of a profile brought in line with its tables: keys now free are forgotten, keys
// that are no longer where their kind puts them, or that the memory does not know, become
// "assigned elsewhere"; slots are updated. True when anything changed.
bool Reconcile(ProfileMemory& profile, const SlotTable& macro, const SlotTable& remap);

// After an assignment and its read-back: remembers the key with what went out when its kind's
// table holds it (profileIndex 0-2). Nothing is remembered otherwise: the read-back already
// says what the keyboard holds. True when it was remembered.
bool RememberAssignment(ProfileMemory& profile, int profileIndex, std::uint8_t key,
                        const KeyChoice& choice, const AssignmentRecord& record,
                        const SlotTable& macro, const SlotTable& remap);

// The record that assigns a remembered key again (bytes 0 and 1 are set by the assignment);
// none for a key assigned elsewhere or one whose sent bytes are not what its kind sends.
std::optional<AssignmentRecord> RecordToAssignAgain(const RememberedKey& key);

// Key names for what a key does, by the program's display naming: "Esc", "Left Ctrl", and
// chords "Ctrl+C".
std::string KeyCodeName(std::uint8_t code, KeyNameLanguage language = KeyNameLanguage::English);
std::string ChordText(const std::vector<std::int32_t>& codes,
                      KeyNameLanguage language = KeyNameLanguage::English);

// The repeat count as the keyboard keeps it: its low byte (300 repeats 44 times, 256 not at all).
int RepeatKept(int repeat);

// Translates a text of a translation context: "main" for the program's own words, "macro" for
// the names of media and function entries. Without one the texts stay English.
using TranslateFn = std::function<std::string(const char* context, const std::string& text)>;

// What a key does on the keyboard: Macro "Hello" ×3, → Esc, Mute, Copy (Ctrl+C), assigned
// elsewhere; key names in the language, the rest through translate. A macro whose repeat count
// the keyboard keeps as 0 is the single-code assignment it went out as: → the key itself.
// Tooltips, the overview and kbcfg's "keys" all say it this way.
std::string DescribeKey(const RememberedKey& key,
                        KeyNameLanguage language = KeyNameLanguage::English,
                        const TranslateFn& translate = {});

// Text forms of kinds and bytes, as the keymap and backup files hold them.
const char* KindName(KeyKind kind);
std::optional<KeyKind> KindFromName(std::string_view name);
std::string HexBytes(const std::uint8_t* bytes, std::size_t count);
std::optional<std::vector<std::uint8_t>> BytesFromHex(std::string_view text);

}  // namespace kb
