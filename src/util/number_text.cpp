#include "util/number_text.h"

#include <cstdint>
#include <limits>

namespace kb {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c, int base) {
    int value = base;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'z') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'Z') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

// The common body of the conversions; `base` is 10, 16, or 0 for "decimal unless 0x".
std::int32_t ParsePrefix(std::string_view text, int base) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // "0x" counts only when a hexadecimal digit follows; otherwise the 0 alone is the number.
    const bool hexPrefix = i + 2 < text.size() && text[i] == '0' &&
                           (text[i + 1] == 'x' || text[i + 1] == 'X') &&
                           DigitValue(text[i + 2], 16) >= 0;
    if (base == 0) {
        base = hexPrefix ? 16 : 10;
    }
    if (base == 16 && hexPrefix) {
        i += 2;
    }
    // Magnitude capped just above the 32-bit range so long inputs cannot overflow it.
    constexpr std::uint64_t kCap = std::uint64_t{1} << 32;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0) {
            break;
        }
        magnitude =
            magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (magnitude > kCap) {
            magnitude = kCap;
        }
    }
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    if (negative) {
        if (magnitude > kMax + 1) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    }
    if (magnitude > kMax) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(magnitude);
}

}  // namespace

std::int32_t ParseDecimalPrefix(std::string_view text) {
    return ParsePrefix(text, 10);
}

std::int32_t ParseHexPrefix(std::string_view text) {
    return ParsePrefix(text, 16);
}

std::int32_t ParseIntegerAttribute(std::string_view text) {
    return ParsePrefix(text, 0);
}

}  // namespace kb
