#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kb {

// How the program names keys when it describes them (tooltips, cap labels, the overview,
// kbcfg keys). The key-code table keeps its own names for the step list and the macro files.

enum class KeyNameLanguage { English, Chinese };

// One key's names, by its USB HID usage ID (Keyboard/Keypad page). All texts are UTF-8.
struct KeyNames {
    std::uint8_t code;
    std::string_view english;  // "Caps Lock", "Left Shift", "Up Arrow", "Num 7"
    std::string_view chinese;  // "大写锁定", "左 Shift", "上方向键", "小键盘 7"
    std::string_view legend;   // as printed on the cap: "Caps Lock", "Shift", "↑", "7"
    std::string_view brief;    // a few characters for a cap label: "Caps", "LShift", "↑", "Num7"
};

// Every named key, ascending by code.
std::span<const KeyNames> KeyNameRows();

// The row of code; none for a code the table does not name.
const KeyNames* FindKeyNames(std::uint8_t code);

// The key's name in the language; a code without a name as "0x9a".
std::string KeyDisplayName(std::uint8_t code, KeyNameLanguage language);
// The printed legend, and the short form for labels; "0x9a" likewise.
std::string KeyLegend(std::uint8_t code);
std::string KeyBriefName(std::uint8_t code);

// A key inside a chord: the modifiers without their side ("Ctrl", "Shift", "Alt", "Win"),
// every other key by its display name.
std::string ChordKeyName(std::uint8_t code, KeyNameLanguage language);

// The code whose English or Chinese display name is name, ignoring ASCII case.
std::optional<std::uint8_t> KeyCodeOfDisplayName(std::string_view name);

}  // namespace kb
