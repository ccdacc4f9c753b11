#pragma once

#include <memory>

#include "platform/platform_services.h"
#include "platform/windows/device_change.h"
#include "platform/windows/keyboard_hook.h"
#include "platform/windows/single_instance.h"

namespace kb::platform {

// Windows: the Win32 parts (low-level keyboard hook, single-instance mutex with its marked
// window, device-change window) plugged into the program's platform interface; the rest is Qt.
class WindowsPlatform : public PlatformServices {
public:
    bool InstallKeyboardHook(KeyStrokeSink& sink) override;
    bool UninstallKeyboardHook() override;
    bool KeyboardHookInstalled() const override { return hook_.Installed(); }
    bool ClaimSingleInstance(const QString& instanceName,
                             std::function<void()> onActivateRequest) override;
    void WatchDeviceChanges(std::function<void()> onChange) override;
    bool RunAndWait(const QString& program) override;
    void OpenUrl(const QUrl& url) override;
    QString ChooseOpenFile(QWidget* owner, const FileChooserOptions& options) override;
    QString ChooseSaveFile(QWidget* owner, const FileChooserOptions& options) override;

private:
    win::LowLevelKeyboardHook hook_;
    win::SingleInstance instance_;
    std::unique_ptr<win::DeviceChangeWatcher> deviceWatcher_;
};

}  // namespace kb::platform
