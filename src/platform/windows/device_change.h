#pragma once

#include <functional>

namespace kb::platform::win {

// Runs a handler for every WM_DEVICECHANGE the system sends to top-level windows, whatever it
// concerns. It listens with a hidden top-level window of its own (message-only windows get no
// broadcasts), so the program's windows need not forward anything. The handler runs on the
// creating thread, from its message loop.
class DeviceChangeWatcher {
public:
    explicit DeviceChangeWatcher(std::function<void()> onChange);
    ~DeviceChangeWatcher();
    DeviceChangeWatcher(const DeviceChangeWatcher&) = delete;
    DeviceChangeWatcher& operator=(const DeviceChangeWatcher&) = delete;

    // False when the window could not be created.
    bool Watching() const { return window_ != nullptr; }
    // The listening window (HWND), for tests.
    void* Window() const { return window_; }
    void Notify() const;

private:
    std::function<void()> onChange_;
    void* window_ = nullptr;
};

}  // namespace kb::platform::win
