#include "platform/windows/windows_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFont>
#include <utility>

#include "platform/qt_desktop.h"

namespace kb::platform {

namespace {

// The system's message font may name a face the machine lacks (Tahoma under a bare Wine), and
// Windows then falls back to a serif face. A stack of Windows' own UI faces, Latin and Chinese,
// ending in a sans-serif hint, keeps the texts sans-serif everywhere.
void UseSansSerifStack() {
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Microsoft YaHei UI"),
                      QStringLiteral("Microsoft YaHei"), QStringLiteral("Tahoma"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

}  // namespace

std::unique_ptr<PlatformServices> MakeSystemPlatform() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        UseSansSerifStack();
    }
    return std::make_unique<WindowsPlatform>();
}

bool WindowsPlatform::InstallKeyboardHook(KeyStrokeSink& sink) {
    return hook_.Install([&sink](int code, const win::RawKeyStroke& raw) {
        KeyStroke stroke;
        stroke.message = raw.message;
        stroke.vkCode = raw.vkCode;
        stroke.scanCode = raw.scanCode;
        stroke.flags = raw.flags;
        stroke.time = raw.time;
        return sink.OnKeyStroke(code, stroke);
    });
}

bool WindowsPlatform::UninstallKeyboardHook() {
    return hook_.Uninstall();
}

bool WindowsPlatform::ClaimSingleInstance(const QString& instanceName,
                                          std::function<void()> onActivateRequest) {
    return instance_.Claim(instanceName.toStdWString(), std::move(onActivateRequest));
}

void WindowsPlatform::WatchDeviceChanges(std::function<void()> onChange) {
    deviceWatcher_ = std::make_unique<win::DeviceChangeWatcher>(std::move(onChange));
}

bool WindowsPlatform::RunAndWait(const QString& program) {
    return RunProgramAndWait(program);
}

void WindowsPlatform::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QString WindowsPlatform::ChooseOpenFile(QWidget* owner, const FileChooserOptions& options) {
    return ChooseFileWithDialog(owner, options, false);
}

QString WindowsPlatform::ChooseSaveFile(QWidget* owner, const FileChooserOptions& options) {
    return ChooseFileWithDialog(owner, options, true);
}

}  // namespace kb::platform
