// The low-level keyboard hook sees keystrokes injected with SendInput, in order, and can consume
// them. (Under Xvfb without a window manager Wine gives the test window no keyboard focus, so
// what reaches the window itself is not checked beyond "nothing" for consumed keys.)
#include "platform/windows/keyboard_hook.h"

#include <windows.h>

#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace kb::platform::win {
namespace {

std::vector<UINT> g_windowKeys;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
        g_windowKeys.push_back(static_cast<UINT>(wParam));
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A visible window of the test with the keyboard focus.
class FocusedWindow {
public:
    FocusedWindow() {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"kbconfig.HookTestWindow";
        RegisterClassExW(&windowClass);
        window_ =
            CreateWindowExW(0, windowClass.lpszClassName, L"hook test", WS_OVERLAPPEDWINDOW, 10, 10,
                            200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
        SetFocus(window_);
        Pump(200);
        g_windowKeys.clear();
    }
    ~FocusedWindow() { DestroyWindow(window_); }
    FocusedWindow(const FocusedWindow&) = delete;
    FocusedWindow& operator=(const FocusedWindow&) = delete;

    // Runs the message loop for a while; the hook is called from it.
    static void Pump(DWORD milliseconds) {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        while (GetTickCount64() < end) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

private:
    HWND window_ = nullptr;
};

INPUT Key(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

struct Seen {
    unsigned message;
    std::uint32_t vk;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* out) {
    *out << std::hex << seen.message << ":" << seen.vk;
}

std::vector<INPUT> ShiftB() {
    return {Key('A', false), Key('A', true), Key(VK_LSHIFT, false),
            Key('B', false), Key('B', true), Key(VK_LSHIFT, true)};
}

const std::vector<Seen> kShiftBSeen{{WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'}, {WM_KEYDOWN, VK_LSHIFT},
                                    {WM_KEYDOWN, 'B'}, {WM_KEYUP, 'B'}, {WM_KEYUP, VK_LSHIFT}};

TEST(LowLevelKeyboardHook, SeesInjectedKeysInOrder) {
    FocusedWindow window;
    std::vector<Seen> seen;
    LowLevelKeyboardHook hook;
    ASSERT_TRUE(hook.Install([&](int code, const RawKeyStroke& stroke) {
        EXPECT_EQ(code, HC_ACTION);
        seen.push_back({stroke.message, stroke.vkCode});
        return false;
    }));
    EXPECT_TRUE(hook.Installed());
    LowLevelKeyboardHook second;
    EXPECT_FALSE(second.Install([](int, const RawKeyStroke&) { return false; }));

    std::vector<INPUT> inputs = ShiftB();
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
              inputs.size());
    for (int i = 0; i < 100 && seen.size() < kShiftBSeen.size(); ++i) {
        FocusedWindow::Pump(20);
    }
    EXPECT_EQ(seen, kShiftBSeen);

    EXPECT_TRUE(hook.Uninstall());
    EXPECT_FALSE(hook.Uninstall());
    seen.clear();
    inputs = {Key('C', false), Key('C', true)};
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    FocusedWindow::Pump(200);
    EXPECT_TRUE(seen.empty());
}

TEST(LowLevelKeyboardHook, AConsumedKeystrokeReachesNoWindow) {
    FocusedWindow window;
    std::vector<Seen> seen;
    LowLevelKeyboardHook hook;
    ASSERT_TRUE(hook.Install([&](int, const RawKeyStroke& stroke) {
        seen.push_back({stroke.message, stroke.vkCode});
        return true;
    }));
    std::vector<INPUT> inputs = ShiftB();
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    for (int i = 0; i < 100 && seen.size() < kShiftBSeen.size(); ++i) {
        FocusedWindow::Pump(20);
    }
    FocusedWindow::Pump(100);
    EXPECT_EQ(seen, kShiftBSeen);
    EXPECT_TRUE(g_windowKeys.empty());
    // Consumed keys do not count as held down either.
    EXPECT_EQ(GetAsyncKeyState(VK_LSHIFT) & 0x8000, 0);
}

}  // namespace
}  // namespace kb::platform::win
