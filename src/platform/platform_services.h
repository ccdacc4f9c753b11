#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

namespace kb::platform {

// Window messages of a low-level keystroke, as the keyboard hook reports them.
inline constexpr unsigned kKeyDown = 0x100;
inline constexpr unsigned kKeyUp = 0x101;
inline constexpr unsigned kSysKeyDown = 0x104;
inline constexpr unsigned kSysKeyUp = 0x105;

struct KeyStroke {
    unsigned message = kKeyDown;
    std::uint32_t vkCode = 0;  // Windows virtual-key code (the key's code on a US layout)
    std::uint32_t scanCode = 0;
    std::uint32_t flags = 0;
    std::uint32_t time = 0;
};

// Receives every keystroke while the keyboard hook is installed.
class KeyStrokeSink {
public:
    virtual ~KeyStrokeSink() = default;
    // True consumes the keystroke: no window sees it.
    virtual bool OnKeyStroke(int hookCode, const KeyStroke& stroke) = 0;
};

struct FileChooserOptions {
    QString filterLabel = QStringLiteral("mcr文件(mcr)");
    QStringList patterns = {QStringLiteral("*.mcr")};
    QString defaultSuffix = QStringLiteral("mcr");
    QString suggestedName;  // saving: the file name offered, in the starting folder
};

// The name offered for a backup made on `date`: kbconfig-backup-YYYY-MM-DD.xml, or with the
// suffix the backup chooser filters on.
inline QString DatedBackupName(const QDate& date, const QString& suffix = QStringLiteral("xml")) {
    return QStringLiteral("kbconfig-backup-") + date.toString(Qt::ISODate) + QLatin1Char('.') +
           suffix;
}

// Window-side services that differ between platforms. The windows of the program only see
// this interface, so tests can swap in the recording implementation.
class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // System-wide keystroke interception; at most one sink at a time.
    virtual bool InstallKeyboardHook(KeyStrokeSink& sink) = 0;
    virtual bool UninstallKeyboardHook() = 0;
    virtual bool KeyboardHookInstalled() const = 0;
    // While on and the hook is installed, keystrokes typed anywhere on the desktop reach the
    // hook, not only those typed into the program's windows. Turn it on only while the hook
    // consumes keystrokes: captured keys reach neither the focused field nor other programs.
    // Platforms whose hook is system-wide anyway have nothing to do.
    virtual void CaptureKeystrokes(bool capture) { (void)capture; }

    // True when this process is now the single instance; false when another one holds the
    // name (it has been asked to bring its window forward).
    virtual bool ClaimSingleInstance(const QString& instanceName,
                                     std::function<void()> onActivateRequest) = 0;

    // Calls onChange for every device notification, whatever it concerns.
    virtual void WatchDeviceChanges(std::function<void()> onChange) = 0;

    // Starts the program without arguments and waits for it to end; false when it cannot start.
    virtual bool RunAndWait(const QString& program) = 0;

    // Whether the program can have the system give the user at the computer access to a
    // keyboard it is refused (with an administrator's consent), and doing it: true once the
    // system did. Platforms without such a step offer nothing.
    virtual bool CanGrantDeviceAccess() const { return false; }
    virtual bool GrantDeviceAccess() { return false; }

    virtual void OpenUrl(const QUrl& url) = 0;

    // Empty when the user cancels.
    virtual QString ChooseOpenFile(QWidget* owner, const FileChooserOptions& options) = 0;
    virtual QString ChooseSaveFile(QWidget* owner, const FileChooserOptions& options) = 0;
};

// The implementation for the platform the program was built for.
std::unique_ptr<PlatformServices> MakeSystemPlatform();

}  // namespace kb::platform
