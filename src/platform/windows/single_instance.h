#pragma once

#include <functional>
#include <string>

namespace kb::platform::win {

// One running instance per logon session: a named mutex tells a second start that the first
// runs, and a hidden top-level window of the first, marked with a window property of the same
// name, takes the second start's request to bring the program forward.
class SingleInstance {
public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the instance: onActivateRequest then runs (on this thread,
    // from its message loop) each time a later start asks. False when another process holds the
    // name; it has been asked to come forward then.
    bool Claim(const std::wstring& name, std::function<void()> onActivateRequest);

    // Asks every marked window of `name` to bring its program forward, allowing that program
    // to take the foreground. Returns how many windows were asked.
    static int AskRunningInstance(const std::wstring& name);

    // Runs the activation request (called by the marked window).
    void Activate() const;

private:
    void* mutex_ = nullptr;   // HANDLE
    void* window_ = nullptr;  // HWND
    std::wstring name_;
    std::function<void()> onActivateRequest_;
};

}  // namespace kb::platform::win
