#pragma once

#include <cstdint>
#include <functional>

namespace kb::platform::win {

// One keystroke as the low-level hook reports it (KBDLLHOOKSTRUCT with its window message).
struct RawKeyStroke {
    unsigned message = 0;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
    std::uint32_t vkCode = 0;
    std::uint32_t scanCode = 0;
    std::uint32_t flags = 0;
    std::uint32_t time = 0;
};

// Returns true to consume the keystroke, so that no window sees it.
using KeyStrokeHandler = std::function<bool(int hookCode, const RawKeyStroke& stroke)>;

// The system-wide low-level keyboard hook (WH_KEYBOARD_LL). The system calls it on the thread
// that installed it, while that thread waits for messages. One hook per process.
class LowLevelKeyboardHook {
public:
    LowLevelKeyboardHook() = default;
    ~LowLevelKeyboardHook();
    LowLevelKeyboardHook(const LowLevelKeyboardHook&) = delete;
    LowLevelKeyboardHook& operator=(const LowLevelKeyboardHook&) = delete;

    // False when a hook is installed already (by this object or another) or the system refuses.
    bool Install(KeyStrokeHandler handler);
    // False when this object has no hook installed.
    bool Uninstall();
    bool Installed() const { return hook_ != nullptr; }

private:
    void* hook_ = nullptr;  // HHOOK
};

}  // namespace kb::platform::win
