#include "widgets/widget_values.h"

#include "toolkit/sapp.h"

#include <cctype>
#include <climits>
#include <cstdint>

namespace kb::ui {

namespace {

int Clamp(long long v) {
    if (v > INT_MAX) {
        return INT_MAX;
    }
    if (v < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Reads a signed number in `base` from text[pos]; false when no digit follows the sign.
bool ReadNumber(std::string_view text, size_t& pos, int base, long long& value) {
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long v = 0;
    bool any = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || digit >= base) {
            break;
        }
        any = true;
        if (v < (1LL << 40)) {  // far above any int; keeps the sum from overflowing
            v = v * base + digit;
        }
    }
    value = negative ? -v : v;
    return any;
}

}  // namespace

int ScanCommaInts(std::string_view text, int* out, int count) {
    size_t pos = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',') {
                return i;
            }
            ++pos;
        }
        long long v = 0;
        if (!ReadNumber(text, pos, 10, v)) {
            return i;
        }
        out[i] = Clamp(v);
    }
    return count;
}

bool ScanHex32(std::string_view text, std::uint32_t& out) {
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
    if (text.size() >= pos + 3 && text[pos] == '0' &&
        (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(text[pos + 2]))) {
        pos += 2;
    }
    long long v = 0;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        return false;
    }
    if (!ReadNumber(text, pos, 16, v)) {
        return false;
    }
    out = v > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
    return true;
}

bool LookUpSkin(const QString& name, ISkinObj*& slot) {
    const SApplication* app = SApplication::Instance();
    ISkinObj* skin = app ? app->GetSkin(name) : nullptr;
    if (!skin) {
        return false;
    }
    slot = skin;
    return true;
}

}  // namespace kb::ui
