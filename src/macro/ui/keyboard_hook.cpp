#include "macro/ui/keyboard_hook.h"

#include <algorithm>

namespace kb {
namespace {

class HookSink final : public platform::KeyStrokeSink {
public:
    bool OnKeyStroke(int hookCode, const platform::KeyStroke& stroke) override {
        return KeyboardHook::HookProc(hookCode, stroke);
    }
};

HookSink& Sink() {
    static HookSink sink;
    return sink;
}

}  // namespace

platform::PlatformServices* KeyboardHook::platform_ = nullptr;
std::vector<IKeyboardHookListener*> KeyboardHook::listeners_;

bool KeyboardHook::InstallHook(platform::PlatformServices& platform) {
    if (platform_ == nullptr && platform.InstallKeyboardHook(Sink())) {
        platform_ = &platform;
    }
    return platform_ != nullptr;
}

bool KeyboardHook::UninstallHook() {
    if (platform_ == nullptr || !platform_->UninstallKeyboardHook()) {
        return false;
    }
    platform_ = nullptr;
    return true;
}

void KeyboardHook::AddListener(IKeyboardHookListener* listener) {
    if (platform_ == nullptr || listener == nullptr ||
        std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) {
        return;
    }
    listeners_.push_back(listener);
}

void KeyboardHook::RemoveListener(IKeyboardHookListener* listener) {
    std::erase(listeners_, listener);
}

bool KeyboardHook::HookProc(int code, const platform::KeyStroke& stroke) {
    // A copy: a listener may open a modal box whose loop delivers further keystrokes, or
    // remove itself.
    const std::vector<IKeyboardHookListener*> listeners = listeners_;
    for (IKeyboardHookListener* listener : listeners) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
            continue;
        }
        if (listener->OnKeyboardHook(code, stroke.message, stroke)) {
            return true;
        }
    }
    return false;
}

}  // namespace kb
