#include "platform/windows/single_instance.h"

#include <windows.h>

#include <utility>

namespace kb::platform::win {
namespace {

constexpr const wchar_t* kWindowClass = L"kbconfig.SingleInstance";
// Sent by a later start to the marked window.
constexpr const wchar_t* kActivateMessage = L"kbconfig.ActivateInstance";

UINT ActivateMessage() {
    static const UINT message = RegisterWindowMessageW(kActivateMessage);
    return message;
}

LRESULT CALLBACK InstanceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ActivateMessage() && message != 0) {
        const auto* instance =
            reinterpret_cast<const SingleInstance*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (instance != nullptr) {
            instance->Activate();
        }
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterInstanceClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = InstanceWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

SingleInstance::~SingleInstance() {
    if (window_ != nullptr) {
        RemovePropW(static_cast<HWND>(window_), name_.c_str());
        DestroyWindow(static_cast<HWND>(window_));
    }
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

bool SingleInstance::Claim(const std::wstring& name, std::function<void()> onActivateRequest) {
    if (mutex_ != nullptr) {
        return false;
    }
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex != nullptr) {
            CloseHandle(mutex);
        }
        AskRunningInstance(name);
        return false;
    }
    mutex_ = mutex;
    name_ = name;
    onActivateRequest_ = std::move(onActivateRequest);
    // A hidden top-level window (message-only windows are not listed among the top-level ones).
    if (RegisterInstanceClass()) {
        HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, name.c_str(), WS_POPUP, 0, 0,
                                      0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (window != nullptr) {
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            SetPropW(window, name.c_str(), reinterpret_cast<HANDLE>(1));
            window_ = window;
        }
    }
    return true;
}

int SingleInstance::AskRunningInstance(const std::wstring& name) {
    int asked = 0;
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD);
         window != nullptr && IsWindow(window); window = GetWindow(window, GW_HWNDNEXT)) {
        if (GetPropW(window, name.c_str()) == nullptr) {
            continue;
        }
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        // The starting program has the foreground; it passes it on.
        AllowSetForegroundWindow(process);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, ActivateMessage(), 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        ++asked;
    }
    return asked;
}

void SingleInstance::Activate() const {
    if (onActivateRequest_) {
        onActivateRequest_();
    }
}

}  // namespace kb::platform::win
