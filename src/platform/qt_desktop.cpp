#include "platform/qt_desktop.h"

#include <QFileDialog>
#include <QProcess>

namespace kb::platform {

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

QString ChooseFileWithDialog(QWidget* owner, const FileChooserOptions& options, bool save) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(options.filterLabel + QStringLiteral(" (") +
                         options.patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    dialog.setDefaultSuffix(options.defaultSuffix);  // "backup" becomes "backup.mcr"
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

}  // namespace kb::platform
