#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kb {

// One row of the fixed table that turns a Windows virtual-key code into the keyboard's own code
// (a USB HID usage ID of the Keyboard/Keypad page) and the name shown for it.
struct KeyCodeRow {
    std::uint8_t virtualKey;
    std::uint8_t code;
    std::string_view name;  // UTF-8
};

// The 104 rows, searched from the first one down.
std::span<const KeyCodeRow> KeyCodeRows();

// The code of the first row whose virtual-key code is the low byte of virtualKey. Enter and Pad
// Enter share 0x0D, so this always gives Enter (0x28).
std::optional<std::uint8_t> VirtualKeyToCode(std::uint32_t virtualKey);

// The name of the first row with that code.
std::optional<std::string_view> KeyNameOfCode(std::uint8_t code);

// The code of the first row whose name is exactly name.
std::optional<std::uint8_t> KeyCodeOfName(std::string_view name);

}  // namespace kb
