#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <memory>

#include "platform/platform_services.h"

class QSocketNotifier;
class QKeyEvent;
struct udev;
struct udev_monitor;

namespace kb::platform {

class InstanceSocketServer;

// Linux: the keyboard hook is an application-wide key filter; while keystrokes are captured
// the active window also grabs the keyboard (global on X11, within the program on Wayland).
// Single instance is a lock plus a local socket in the user's private runtime folder, device
// notifications come from a udev monitor.
class LinuxPlatform : public QObject, public PlatformServices {
    Q_OBJECT
public:
    LinuxPlatform();
    ~LinuxPlatform() override;

    bool InstallKeyboardHook(KeyStrokeSink& sink) override;
    bool UninstallKeyboardHook() override;
    bool KeyboardHookInstalled() const override { return hookSink_ != nullptr; }
    void CaptureKeystrokes(bool capture) override;
    bool ClaimSingleInstance(const QString& instanceName,
                             std::function<void()> onActivateRequest) override;
    void WatchDeviceChanges(std::function<void()> onChange) override;
    bool RunAndWait(const QString& program) override;
    bool CanGrantDeviceAccess() const override;
    bool GrantDeviceAccess() override;
    void OpenUrl(const QUrl& url) override;
    QString ChooseOpenFile(QWidget* owner, const FileChooserOptions& options) override;
    QString ChooseSaveFile(QWidget* owner, const FileChooserOptions& options) override;

    // The socket name used for an instance name: one per user.
    static QString SocketName(const QString& instanceName);
    // The keystroke a key event stands for; false for events that are no keystroke of their own
    // (auto-repeat releases, which the low-level hook never reports).
    static bool KeyStrokeOfEvent(const QKeyEvent& event, KeyStroke& stroke);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnDeviceEvent();
    // Grabs for the active window while the hook is installed and capture is on; else releases.
    void UpdateKeyboardGrab();
    void GrabKeyboardForActiveWindow();
    void ReleaseKeyboardGrab();
    void AskRunningInstanceToComeForward(const QString& socketPath);

    KeyStrokeSink* hookSink_ = nullptr;
    bool captureWanted_ = false;
    QPointer<QWidget> grabber_;
    std::unique_ptr<InstanceSocketServer> server_;
    int instanceLock_ = -1;  // the single-instance lock, held for the process's life
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* deviceNotifier_ = nullptr;
    std::function<void()> onDeviceChange_;
};

}  // namespace kb::platform
