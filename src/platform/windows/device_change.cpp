#include "platform/windows/device_change.h"

#include <windows.h>

#include <utility>

namespace kb::platform::win {
namespace {

constexpr const wchar_t* kWindowClass = L"kbconfig.DeviceChangeWatcher";

LRESULT CALLBACK WatcherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE) {
        if (const auto* watcher = reinterpret_cast<const DeviceChangeWatcher*>(
                GetWindowLongPtrW(window, GWLP_USERDATA))) {
            watcher->Notify();
        }
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

DeviceChangeWatcher::DeviceChangeWatcher(std::function<void()> onChange)
    : onChange_(std::move(onChange)) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WatcherWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return;
    }
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window != nullptr) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window_ = window;
    }
}

DeviceChangeWatcher::~DeviceChangeWatcher() {
    if (window_ != nullptr) {
        DestroyWindow(static_cast<HWND>(window_));
    }
}

void DeviceChangeWatcher::Notify() const {
    if (onChange_) {
        onChange_();
    }
}

}  // namespace kb::platform::win
