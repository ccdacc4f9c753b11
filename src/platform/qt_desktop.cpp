#include "platform/qt_desktop.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace kb::platform {
namespace {

QString& LastFolder() {
    static QString folder;
    return folder;
}

QString& ChooserSheet() {
    static QString sheet;
    return sheet;
}

// A name offered for saving keeps to one file name: no folders, nothing the system refuses.
QString SafeFileName(QString name) {
    static const QRegularExpression unsafe(QStringLiteral(R"([\\/:*?"<>|\x00-\x1F])"));
    name.replace(unsafe, QStringLiteral("_"));
    return name.trimmed();
}

}  // namespace

bool RunProgramAndWait(const QString& program) {
    QProcess process;
    process.setProgram(program);
    process.start();
    if (!process.waitForStarted(-1)) {
        return false;
    }
    process.waitForFinished(-1);
    return true;
}

void SetChooserStyleSheet(const QString& sheet) {
    ChooserSheet() = sheet;
}

QString ChooserNameFilter(const FileChooserOptions& options) {
    QString label = options.filterLabel.trimmed();
    static const QRegularExpression bracketed(QStringLiteral(R"(\s*[(（][^()（）]*[)）]$)"));
    label.remove(bracketed);
    if (label.isEmpty()) {
        label = options.filterLabel;
    }
    return label + QStringLiteral(" (") + options.patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

QString ChooserStartPath(const FileChooserOptions& options, bool save) {
    QString folder = LastFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
            folder = QDir::homePath();
        }
    }
    const QString name = save ? SafeFileName(options.suggestedName) : QString();
    return name.isEmpty() ? folder : QDir(folder).filePath(name);
}

QString ChooseFileWithDialog(QWidget* owner, const FileChooserOptions& options, bool save) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(ChooserNameFilter(options));
    dialog.setDefaultSuffix(options.defaultSuffix);  // "backup" becomes "backup.mcr"
    const QString start = ChooserStartPath(options, save);
    if (save && !options.suggestedName.isEmpty()) {
        dialog.setDirectory(QFileInfo(start).absolutePath());
        dialog.selectFile(QFileInfo(start).fileName());
    } else {
        dialog.setDirectory(start);
    }
    // Only Qt's own chooser takes it; a desktop chooser keeps the desktop's look.
    dialog.setStyleSheet(ChooserSheet());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().front();
    LastFolder() = QFileInfo(chosen).absolutePath();
    return chosen;
}

}  // namespace kb::platform
