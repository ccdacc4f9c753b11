#pragma once

#include <QString>

#include "platform/platform_services.h"

class QWidget;

namespace kb::platform {

// What every desktop platform does the same way through Qt.

// Starts the program without arguments and waits for it to end; false when it cannot start.
bool RunProgramAndWait(const QString& program);

// The toolkit's file chooser, for opening an existing file or for saving one.
QString ChooseFileWithDialog(QWidget* owner, const FileChooserOptions& options, bool save);

}  // namespace kb::platform
