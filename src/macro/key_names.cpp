#include "macro/key_names.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace kb {
namespace {

// One scheme throughout: words spelled out in the names ("Page Up", "Print Screen"), the side
// first ("Left Ctrl"), the number pad as "Num"; Chinese names use the usual Chinese words and
// keep the legend where users call a key by it (Tab, Home, F1).
constexpr std::array<KeyNames, 123> kRows{{
    {0x04, "A", "A", "A", "A"},
    {0x05, "B", "B", "B", "B"},
    {0x06, "C", "C", "C", "C"},
    {0x07, "D", "D", "D", "D"},
    {0x08, "E", "E", "E", "E"},
    {0x09, "F", "F", "F", "F"},
    {0x0A, "G", "G", "G", "G"},
    {0x0B, "H", "H", "H", "H"},
    {0x0C, "I", "I", "I", "I"},
    {0x0D, "J", "J", "J", "J"},
    {0x0E, "K", "K", "K", "K"},
    {0x0F, "L", "L", "L", "L"},
    {0x10, "M", "M", "M", "M"},
    {0x11, "N", "N", "N", "N"},
    {0x12, "O", "O", "O", "O"},
    {0x13, "P", "P", "P", "P"},
    {0x14, "Q", "Q", "Q", "Q"},
    {0x15, "R", "R", "R", "R"},
    {0x16, "S", "S", "S", "S"},
    {0x17, "T", "T", "T", "T"},
    {0x18, "U", "U", "U", "U"},
    {0x19, "V", "V", "V", "V"},
    {0x1A, "W", "W", "W", "W"},
    {0x1B, "X", "X", "X", "X"},
    {0x1C, "Y", "Y", "Y", "Y"},
    {0x1D, "Z", "Z", "Z", "Z"},
    {0x1E, "1", "1", "1", "1"},
    {0x1F, "2", "2", "2", "2"},
    {0x20, "3", "3", "3", "3"},
    {0x21, "4", "4", "4", "4"},
    {0x22, "5", "5", "5", "5"},
    {0x23, "6", "6", "6", "6"},
    {0x24, "7", "7", "7", "7"},
    {0x25, "8", "8", "8", "8"},
    {0x26, "9", "9", "9", "9"},
    {0x27, "0", "0", "0", "0"},
    {0x28, "Enter", "回车", "Enter", "Enter"},
    {0x29, "Esc", "Esc", "Esc", "Esc"},
    {0x2A, "Backspace", "退格", "Backspace", "Bksp"},
    {0x2B, "Tab", "Tab", "Tab", "Tab"},
    {0x2C, "Space", "空格", "Space", "Space"},
    {0x2D, "-", "-", "-", "-"},
    {0x2E, "=", "=", "=", "="},
    {0x2F, "[", "[", "[", "["},
    {0x30, "]", "]", "]", "]"},
    {0x31, "\\", "\\", "\\", "\\"},
    {0x32, "Non-US #", "# (非美式)", "#", "#"},
    {0x33, ";", ";", ";", ";"},
    {0x34, "'", "'", "'", "'"},
    {0x35, "`", "`", "`", "`"},
    {0x36, ",", ",", ",", ","},
    {0x37, ".", ".", ".", "."},
    {0x38, "/", "/", "/", "/"},
    {0x39, "Caps Lock", "大写锁定", "Caps Lock", "Caps"},
    {0x3A, "F1", "F1", "F1", "F1"},
    {0x3B, "F2", "F2", "F2", "F2"},
    {0x3C, "F3", "F3", "F3", "F3"},
    {0x3D, "F4", "F4", "F4", "F4"},
    {0x3E, "F5", "F5", "F5", "F5"},
    {0x3F, "F6", "F6", "F6", "F6"},
    {0x40, "F7", "F7", "F7", "F7"},
    {0x41, "F8", "F8", "F8", "F8"},
    {0x42, "F9", "F9", "F9", "F9"},
    {0x43, "F10", "F10", "F10", "F10"},
    {0x44, "F11", "F11", "F11", "F11"},
    {0x45, "F12", "F12", "F12", "F12"},
    {0x46, "Print Screen", "打印屏幕", "PrtSc", "PrtSc"},
    {0x47, "Scroll Lock", "滚动锁定", "ScrLk", "ScrLk"},
    {0x48, "Pause", "暂停", "Pause", "Pause"},
    {0x49, "Insert", "插入", "Ins", "Ins"},
    {0x4A, "Home", "Home", "Home", "Home"},
    {0x4B, "Page Up", "上翻页", "PgUp", "PgUp"},
    {0x4C, "Delete", "删除", "Del", "Del"},
    {0x4D, "End", "End", "End", "End"},
    {0x4E, "Page Down", "下翻页", "PgDn", "PgDn"},
    {0x4F, "Right Arrow", "右方向键", "\u2192", "\u2192"},
    {0x50, "Left Arrow", "左方向键", "\u2190", "\u2190"},
    {0x51, "Down Arrow", "下方向键", "\u2193", "\u2193"},
    {0x52, "Up Arrow", "上方向键", "\u2191", "\u2191"},
    {0x53, "Num Lock", "数字锁定", "Num", "NumLk"},
    {0x54, "Num /", "小键盘 /", "/", "Num/"},
    {0x55, "Num *", "小键盘 *", "*", "Num*"},
    {0x56, "Num -", "小键盘 -", "-", "Num-"},
    {0x57, "Num +", "小键盘 +", "+", "Num+"},
    {0x58, "Num Enter", "小键盘回车", "Enter", "NumEnt"},
    {0x59, "Num 1", "小键盘 1", "1", "Num1"},
    {0x5A, "Num 2", "小键盘 2", "2", "Num2"},
    {0x5B, "Num 3", "小键盘 3", "3", "Num3"},
    {0x5C, "Num 4", "小键盘 4", "4", "Num4"},
    {0x5D, "Num 5", "小键盘 5", "5", "Num5"},
    {0x5E, "Num 6", "小键盘 6", "6", "Num6"},
    {0x5F, "Num 7", "小键盘 7", "7", "Num7"},
    {0x60, "Num 8", "小键盘 8", "8", "Num8"},
    {0x61, "Num 9", "小键盘 9", "9", "Num9"},
    {0x62, "Num 0", "小键盘 0", "0", "Num0"},
    {0x63, "Num .", "小键盘 .", ".", "Num."},
    {0x64, "Non-US \\", "\\ (非美式)", "\\", "\\"},
    {0x65, "Menu", "菜单", "Menu", "Menu"},
    {0x66, "Power", "电源", "Power", "Power"},
    {0x67, "Num =", "小键盘 =", "=", "Num="},
    {0x68, "F13", "F13", "F13", "F13"},
    {0x69, "F14", "F14", "F14", "F14"},
    {0x6A, "F15", "F15", "F15", "F15"},
    {0x6B, "F16", "F16", "F16", "F16"},
    {0x6C, "F17", "F17", "F17", "F17"},
    {0x6D, "F18", "F18", "F18", "F18"},
    {0x6E, "F19", "F19", "F19", "F19"},
    {0x6F, "F20", "F20", "F20", "F20"},
    {0x70, "F21", "F21", "F21", "F21"},
    {0x71, "F22", "F22", "F22", "F22"},
    {0x72, "F23", "F23", "F23", "F23"},
    {0x73, "F24", "F24", "F24", "F24"},
    {0x7F, "Mute", "静音", "Mute", "Mute"},
    {0x80, "Volume Up", "音量加", "Vol+", "Vol+"},
    {0x81, "Volume Down", "音量减", "Vol-", "Vol-"},
    {0xE0, "Left Ctrl", "左 Ctrl", "Ctrl", "LCtrl"},
    {0xE1, "Left Shift", "左 Shift", "Shift", "LShift"},
    {0xE2, "Left Alt", "左 Alt", "Alt", "LAlt"},
    {0xE3, "Left Win", "左 Win", "Win", "LWin"},
    {0xE4, "Right Ctrl", "右 Ctrl", "Ctrl", "RCtrl"},
    {0xE5, "Right Shift", "右 Shift", "Shift", "RShift"},
    {0xE6, "Right Alt", "右 Alt", "Alt", "RAlt"},
    {0xE7, "Right Win", "右 Win", "Win", "RWin"},
}};

std::string HexName(std::uint8_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", static_cast<unsigned>(code));
    return text;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

}  // namespace

std::span<const KeyNames> KeyNameRows() {
    return kRows;
}

const KeyNames* FindKeyNames(std::uint8_t code) {
    const auto it =
        std::lower_bound(kRows.begin(), kRows.end(), code,
                         [](const KeyNames& row, std::uint8_t c) { return row.code < c; });
    return it != kRows.end() && it->code == code ? &*it : nullptr;
}

std::string KeyDisplayName(std::uint8_t code, KeyNameLanguage language) {
    const KeyNames* row = FindKeyNames(code);
    if (!row) {
        return HexName(code);
    }
    return std::string(language == KeyNameLanguage::Chinese ? row->chinese : row->english);
}

std::string KeyLegend(std::uint8_t code) {
    const KeyNames* row = FindKeyNames(code);
    return row ? std::string(row->legend) : HexName(code);
}

std::string KeyBriefName(std::uint8_t code) {
    const KeyNames* row = FindKeyNames(code);
    return row ? std::string(row->brief) : HexName(code);
}

std::string ChordKeyName(std::uint8_t code, KeyNameLanguage language) {
    if (code >= 0xE0 && code <= 0xE7) {
        return KeyLegend(code);
    }
    return KeyDisplayName(code, language);
}

std::optional<std::uint8_t> KeyCodeOfDisplayName(std::string_view name) {
    for (const KeyNames& row : kRows) {
        if (EqualIgnoringCase(row.english, name) || row.chinese == name) {
            return row.code;
        }
    }
    return std::nullopt;
}

}  // namespace kb
