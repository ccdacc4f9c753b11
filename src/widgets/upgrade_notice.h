#pragma once

#include <QString>

class QWidget;

namespace kb::ui {

class SShellNotifyIcon;

// What the user is told when the upgrade tool does not start, in the platform's words: the
// tool is an "exe" on Windows only. Untranslated; the "main" context translates it.
const char* UpgradeFailedSource();

// Tells it on the tray icon's balloon where the desktop shows one, otherwise in a box with
// the caption "Warning" over owner.
void TellUpgradeFailed(QWidget* owner, SShellNotifyIcon* tray, const QString& text);

}  // namespace kb::ui
