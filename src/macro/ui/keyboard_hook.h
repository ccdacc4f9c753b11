#pragma once

#include <vector>

#include "platform/platform_services.h"

namespace kb {

// Something that wants to see keystrokes while the keyboard hook is installed.
class IKeyboardHookListener {
public:
    virtual ~IKeyboardHookListener() = default;
    // True consumes the keystroke: no later listener and no window sees it.
    virtual bool OnKeyboardHook(int code, unsigned message, const platform::KeyStroke& stroke) = 0;
};

// The process's one keyboard hook. Installing and removing it only switches the system-wide
// interception on and off; the listeners stay registered while it comes and goes.
class KeyboardHook {
public:
    KeyboardHook() = delete;

    // Installs the hook through the platform when none is installed. True when one is installed
    // afterwards.
    static bool InstallHook(platform::PlatformServices& platform);
    // True when an installed hook was removed.
    static bool UninstallHook();
    static bool IsInstalled() { return platform_ != nullptr; }

    // Appends a listener, only while the hook is installed and only once.
    static void AddListener(IKeyboardHookListener* listener);
    static void RemoveListener(IKeyboardHookListener* listener);
    static const std::vector<IKeyboardHookListener*>& Listeners() { return listeners_; }

    // The hook procedure: listeners in order until one consumes the keystroke. False passes it
    // on to the system.
    static bool HookProc(int code, const platform::KeyStroke& stroke);

private:
    static platform::PlatformServices* platform_;
    static std::vector<IKeyboardHookListener*> listeners_;
};

}  // namespace kb
