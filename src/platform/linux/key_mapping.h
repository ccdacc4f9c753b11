#pragma once

#include <cstdint>

namespace kb::platform {

// Windows virtual-key code of a Linux input-event key code on a US layout; 0 when it has none.
std::uint32_t VirtualKeyOfEvdevCode(std::uint32_t evdevCode);

// Fallback for key events without a native scan code (synthesized events): from the Qt key
// and whether it came from the keypad. 0 when there is no equivalent.
std::uint32_t VirtualKeyOfQtKey(int qtKey, bool keypad);

}  // namespace kb::platform
