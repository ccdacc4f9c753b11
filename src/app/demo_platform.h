#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "platform/platform_services.h"

class QSocketNotifier;

namespace kb {

class SimulatedKeyboard;

// The system's platform services, except that device notifications come from plugging and
// unplugging the simulated keyboard instead of from the system.
class DemoPlatform : public platform::PlatformServices {
public:
    explicit DemoPlatform(std::unique_ptr<platform::PlatformServices> system);

    void AttachKeyboard(SimulatedKeyboard* keyboard) { keyboard_ = keyboard; }
    // Unplugs or plugs the simulated keyboard and tells the watcher, as a hot-plug event would.
    void SetPlugged(bool plugged);
    void TogglePlugged();

    bool InstallKeyboardHook(platform::KeyStrokeSink& sink) override {
        return system_->InstallKeyboardHook(sink);
    }
    bool UninstallKeyboardHook() override { return system_->UninstallKeyboardHook(); }
    bool KeyboardHookInstalled() const override { return system_->KeyboardHookInstalled(); }
    void CaptureKeystrokes(bool capture) override { system_->CaptureKeystrokes(capture); }
    bool ClaimSingleInstance(const QString& instanceName,
                             std::function<void()> onActivateRequest) override {
        return system_->ClaimSingleInstance(instanceName, std::move(onActivateRequest));
    }
    void WatchDeviceChanges(std::function<void()> onChange) override {
        onChange_ = std::move(onChange);
    }
    bool RunAndWait(const QString& program) override { return system_->RunAndWait(program); }
    bool CanGrantDeviceAccess() const override { return system_->CanGrantDeviceAccess(); }
    bool GrantDeviceAccess() override { return system_->GrantDeviceAccess(); }
    void OpenUrl(const QUrl& url) override { system_->OpenUrl(url); }
    QString ChooseOpenFile(QWidget* owner, const platform::FileChooserOptions& options) override {
        return system_->ChooseOpenFile(owner, options);
    }
    QString ChooseSaveFile(QWidget* owner, const platform::FileChooserOptions& options) override {
        return system_->ChooseSaveFile(owner, options);
    }

private:
    std::unique_ptr<platform::PlatformServices> system_;
    SimulatedKeyboard* keyboard_ = nullptr;
    std::function<void()> onChange_;
};

// SIGUSR1 unplugs and SIGUSR2 plugs the simulated keyboard, handled in the event loop (Unix).
class PlugSignals : public QObject {
public:
    explicit PlugSignals(DemoPlatform& platform);
    ~PlugSignals() override;
    PlugSignals(const PlugSignals&) = delete;
    PlugSignals& operator=(const PlugSignals&) = delete;

private:
    static void OnSignal(int signalNumber);
    void OnReadable();

    DemoPlatform& platform_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kb
