#pragma once

#include <cstdint>
#include <string_view>

namespace kb {

// Decimal conversion as the C library's strtol(text, nullptr, 10) on a 32-bit long:
// leading white space skipped, optional sign, digits up to the first other character,
// 0 when there are none; out-of-range values saturate.
std::int32_t ParseDecimalPrefix(std::string_view text);

// Hexadecimal conversion as strtol(text, nullptr, 16): leading white space, optional sign,
// optional "0x"/"0X" prefix, hexadecimal digits up to the first other character.
std::int32_t ParseHexPrefix(std::string_view text);

// The integer-attribute rule of layouts, widgets and menus: decimal, or hexadecimal after "0x";
// the leading digits count ("12px" is 12), and a value without digits gives 0. Never octal.
std::int32_t ParseIntegerAttribute(std::string_view text);

}  // namespace kb
