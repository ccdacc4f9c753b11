#include "cli/key_text.h"

#include <limits>

#include "macro/key_codes.h"
#include "macro/key_names.h"

namespace kb::cli {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

int DigitValue(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (base == 16 && Lower(c) >= 'a' && Lower(c) <= 'f') {
        value = Lower(c) - 'a' + 10;
    }
    return value;
}

}  // namespace

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && Lower(text[1]) == 'x') {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * base + static_cast<std::uint64_t>(digit);
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint8_t> ParseKey(std::string_view text) {
    if (const auto code = KeyCodeOfName(text)) {
        return code;
    }
    for (const KeyCodeRow& row : KeyCodeRows()) {
        if (EqualIgnoringCase(row.name, text)) {
            return row.code;
        }
    }
    // The names the program shows: "Caps Lock", "Left Ctrl", "Num 7".
    if (const auto code = KeyCodeOfDisplayName(text)) {
        return code;
    }
    const auto number = ParseNumber(text);
    if (!number || *number == 0 || *number > 0xFF) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(*number);
}

std::string KeyDisplayName(std::uint8_t code) {
    return kb::KeyDisplayName(code, KeyNameLanguage::English);
}

}  // namespace kb::cli
