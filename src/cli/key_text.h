#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kb::cli {

// A whole text as a non-negative number: decimal digits, or "0x" and hexadecimal digits.
// None for anything else (signs, spaces, trailing characters, values beyond 32 bits).
std::optional<std::uint32_t> ParseNumber(std::string_view text);

// A key given on the command line: a name of the key-code table ("A", "Ctrl Left", "Pad Enter";
// an exact match first, then one ignoring case), a name the program shows ("Left Ctrl",
// "Num Enter", "大写锁定") or a code as a number. Names win, so "1" is the key 1 (0x1e); codes 1
// to 9 are written in hexadecimal. None for an unknown name or a number outside 1-255.
std::optional<std::uint8_t> ParseKey(std::string_view text);

// The name the program shows for code ("Caps Lock", "Left Ctrl"), else the code in hexadecimal
// ("0x9a").
std::string KeyDisplayName(std::uint8_t code);

}  // namespace kb::cli
