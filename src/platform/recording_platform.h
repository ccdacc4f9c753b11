#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>

#include "platform/platform_services.h"

namespace kb::platform {

// Stands in for the desktop in tests: records what it was asked to do and lets the test play
// the user and the system (keystrokes, device notifications, file choices, a running instance).
class RecordingPlatform : public PlatformServices {
public:
    bool InstallKeyboardHook(KeyStrokeSink& sink) override;
    bool UninstallKeyboardHook() override;
    bool KeyboardHookInstalled() const override { return sink_ != nullptr; }
    void CaptureKeystrokes(bool capture) override { keystrokesCaptured = capture; }
    bool ClaimSingleInstance(const QString& instanceName,
                             std::function<void()> onActivateRequest) override;
    void WatchDeviceChanges(std::function<void()> onChange) override;
    bool RunAndWait(const QString& program) override;
    bool CanGrantDeviceAccess() const override { return accessHelper; }
    bool GrantDeviceAccess() override;
    void OpenUrl(const QUrl& url) override;
    QString ChooseOpenFile(QWidget* owner, const FileChooserOptions& options) override;
    QString ChooseSaveFile(QWidget* owner, const FileChooserOptions& options) override;

    // Test side.
    // Delivers a keystroke to the installed hook; returns whether it was consumed (false
    // when no hook is installed: the keystroke reaches the windows).
    bool PressKey(unsigned message, std::uint32_t vkCode, std::uint32_t time = 0);
    void FireDeviceChange();
    void AskToActivate();  // a second start asking this instance to come forward

    bool anotherInstanceRunning = false;
    bool programStarts = true;               // RunAndWait's answer
    std::function<void()> whileProgramRuns;  // runs inside RunAndWait, while it "waits"
    bool accessHelper = false;               // CanGrantDeviceAccess's answer
    bool accessGranted = true;               // GrantDeviceAccess's answer
    std::function<void()> whileGranting;     // runs inside GrantDeviceAccess
    int accessRequests = 0;
    std::deque<QString> openFileAnswers;  // ChooseOpenFile answers in order; empty = cancel
    std::deque<QString> saveFileAnswers;

    QStringList startedPrograms;
    QList<QUrl> openedUrls;
    int hookInstalls = 0;
    int hookUninstalls = 0;
    bool keystrokesCaptured = false;  // the last CaptureKeystrokes request
    FileChooserOptions lastChooserOptions;
    QString claimedInstanceName;

private:
    KeyStrokeSink* sink_ = nullptr;
    std::function<void()> onActivate_;
    std::function<void()> onDeviceChange_;
};

}  // namespace kb::platform
