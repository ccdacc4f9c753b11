#include "platform/windows/keyboard_hook.h"

#include <windows.h>

#include <utility>

namespace kb::platform::win {
namespace {

// The hook procedure has no context argument: the handler of the one installed hook.
KeyStrokeHandler g_handler;
HHOOK g_hook = nullptr;

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_handler) {
        const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        RawKeyStroke stroke;
        stroke.message = static_cast<unsigned>(wParam);
        stroke.vkCode = info->vkCode;
        stroke.scanCode = info->scanCode;
        stroke.flags = info->flags;
        stroke.time = info->time;
        if (g_handler(code, stroke)) {
            return 1;
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

LowLevelKeyboardHook::~LowLevelKeyboardHook() {
    Uninstall();
}

bool LowLevelKeyboardHook::Install(KeyStrokeHandler handler) {
    if (g_hook != nullptr || !handler) {
        return false;
    }
    g_handler = std::move(handler);
    g_hook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, GetModuleHandleW(nullptr), 0);
    if (g_hook == nullptr) {
        g_handler = nullptr;
        return false;
    }
    hook_ = g_hook;
    return true;
}

bool LowLevelKeyboardHook::Uninstall() {
    if (hook_ == nullptr) {
        return false;
    }
    UnhookWindowsHookEx(static_cast<HHOOK>(hook_));
    hook_ = nullptr;
    g_hook = nullptr;
    g_handler = nullptr;
    return true;
}

}  // namespace kb::platform::win
