#include "platform/linux/key_mapping.h"

#include <Qt>
#include <utility>

namespace kb::platform {

namespace {

// Input-event key codes (linux/input-event-codes.h) and the virtual-key code the same physical
// key has on Windows with a US layout.
constexpr std::pair<std::uint16_t, std::uint8_t> kEvdevToVirtualKey[] = {
    {1, 0x1B},   {2, 0x31},   {3, 0x32},   {4, 0x33},   {5, 0x34},   {6, 0x35},   {7, 0x36},
    {8, 0x37},   {9, 0x38},   {10, 0x39},  {11, 0x30},  {12, 0xBD},  {13, 0xBB},  {14, 0x08},
    {15, 0x09},  {16, 0x51},  {17, 0x57},  {18, 0x45},  {19, 0x52},  {20, 0x54},  {21, 0x59},
    {22, 0x55},  {23, 0x49},  {24, 0x4F},  {25, 0x50},  {26, 0xDB},  {27, 0xDD},  {28, 0x0D},
    {29, 0xA2},  {30, 0x41},  {31, 0x53},  {32, 0x44},  {33, 0x46},  {34, 0x47},  {35, 0x48},
    {36, 0x4A},  {37, 0x4B},  {38, 0x4C},  {39, 0xBA},  {40, 0xDE},  {41, 0xC0},  {42, 0xA0},
    {43, 0xDC},  {44, 0x5A},  {45, 0x58},  {46, 0x43},  {47, 0x56},  {48, 0x42},  {49, 0x4E},
    {50, 0x4D},  {51, 0xBC},  {52, 0xBE},  {53, 0xBF},  {54, 0xA1},  {55, 0x6A},  {56, 0xA4},
    {57, 0x20},  {58, 0x14},  {59, 0x70},  {60, 0x71},  {61, 0x72},  {62, 0x73},  {63, 0x74},
    {64, 0x75},  {65, 0x76},  {66, 0x77},  {67, 0x78},  {68, 0x79},  {69, 0x90},  {70, 0x91},
    {71, 0x67},  {72, 0x68},  {73, 0x69},  {74, 0x6D},  {75, 0x64},  {76, 0x65},  {77, 0x66},
    {78, 0x6B},  {79, 0x61},  {80, 0x62},  {81, 0x63},  {82, 0x60},  {83, 0x6E},  {86, 0xE2},
    {87, 0x7A},  {88, 0x7B},  {96, 0x0D},  {97, 0xA3},  {98, 0x6F},  {99, 0x2C},  {100, 0xA5},
    {102, 0x24}, {103, 0x26}, {104, 0x21}, {105, 0x25}, {106, 0x27}, {107, 0x23}, {108, 0x28},
    {109, 0x22}, {110, 0x2D}, {111, 0x2E}, {119, 0x13}, {125, 0x5B}, {126, 0x5C}, {127, 0x5D},
    {113, 0xAD}, {114, 0xAE}, {115, 0xAF},
};

}  // namespace

std::uint32_t VirtualKeyOfEvdevCode(std::uint32_t evdevCode) {
    for (const auto& [code, vk] : kEvdevToVirtualKey) {
        if (code == evdevCode) {
            return vk;
        }
    }
    return 0;
}

std::uint32_t VirtualKeyOfQtKey(int qtKey, bool keypad) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return static_cast<std::uint32_t>(qtKey);  // Qt and Windows share the ASCII letters
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        const auto digit = static_cast<std::uint32_t>(qtKey - Qt::Key_0);
        return keypad ? 0x60 + digit : 0x30 + digit;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return 0x70 + static_cast<std::uint32_t>(qtKey - Qt::Key_F1);
    }
    switch (qtKey) {
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Tab:
            return 0x09;
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return keypad ? 0x6E : 0x2E;
        case Qt::Key_Pause:
            return 0x13;
        case Qt::Key_Print:
            return 0x2C;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_Shift:
            return 0xA0;
        case Qt::Key_Control:
            return 0xA2;
        case Qt::Key_Alt:
            return 0xA4;
        case Qt::Key_AltGr:
            return 0xA5;
        case Qt::Key_Meta:
            return 0x5B;
        case Qt::Key_Menu:
            return 0x5D;
        case Qt::Key_CapsLock:
            return 0x14;
        case Qt::Key_NumLock:
            return 0x90;
        case Qt::Key_ScrollLock:
            return 0x91;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_Asterisk:
            return keypad ? 0x6A : 0;
        case Qt::Key_Plus:
            return keypad ? 0x6B : 0xBB;
        case Qt::Key_Minus:
            return keypad ? 0x6D : 0xBD;
        case Qt::Key_Slash:
            return keypad ? 0x6F : 0xBF;
        case Qt::Key_Period:
            return keypad ? 0x6E : 0xBE;
        case Qt::Key_Equal:
            return 0xBB;
        case Qt::Key_Comma:
            return 0xBC;
        case Qt::Key_Semicolon:
            return 0xBA;
        case Qt::Key_Apostrophe:
            return 0xDE;
        case Qt::Key_QuoteLeft:
            return 0xC0;
        case Qt::Key_BracketLeft:
            return 0xDB;
        case Qt::Key_BracketRight:
            return 0xDD;
        case Qt::Key_Backslash:
            return 0xDC;
        default:
            return 0;
    }
}

}  // namespace kb::platform
