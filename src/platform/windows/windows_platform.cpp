#include "platform/windows/windows_platform.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QProcess>
#include <utility>

namespace kb::platform {
namespace {

QString FilterText(const FileChooserOptions& options) {
    return options.filterLabel + QStringLiteral(" (") + options.patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

QString ChooseFile(QWidget* owner, const FileChooserOptions& options, bool save) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(FilterText(options));
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

}  // namespace

std::unique_ptr<PlatformServices> MakeSystemPlatform() {
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
    QProcess process;
    process.setProgram(program);
    process.start();
    if (!process.waitForStarted(-1)) {
        return false;
    }
    process.waitForFinished(-1);
    return true;
}

void WindowsPlatform::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QString WindowsPlatform::ChooseOpenFile(QWidget* owner, const FileChooserOptions& options) {
    return ChooseFile(owner, options, false);
}

QString WindowsPlatform::ChooseSaveFile(QWidget* owner, const FileChooserOptions& options) {
    return ChooseFile(owner, options, true);
}

}  // namespace kb::platform
