#pragma once

#include <QString>

#include "platform/platform_services.h"

class QWidget;

namespace kb::platform {

// What every desktop platform does the same way through Qt.

// Starts the program without arguments and waits for it to end; false when it cannot start.
bool RunProgramAndWait(const QString& program);

// The desktop's own file chooser where the platform has one, otherwise Qt's, dressed with the
// style sheet given to SetChooserStyleSheet; for opening an existing file or for saving one.
// It opens in the folder of the last file chosen, at first in the user's documents folder.
QString ChooseFileWithDialog(QWidget* owner, const FileChooserOptions& options, bool save);

// The look of Qt's own chooser, so it matches the program's windows.
void SetChooserStyleSheet(const QString& sheet);

// "mcr文件(mcr)" with *.mcr reads "mcr文件 (*.mcr)": a label that already names the type in
// brackets has them replaced by the patterns, which Qt reads from the last brackets.
QString ChooserNameFilter(const FileChooserOptions& options);

// Where a chooser starts: the folder last chosen in this run, else the documents folder (the
// home folder without one); for saving, with the suggested name appended.
QString ChooserStartPath(const FileChooserOptions& options, bool save);

}  // namespace kb::platform
