#include "widgets/upgrade_notice.h"

#include "toolkit/msgbox.h"
#include "widgets/shell_notify_icon.h"

namespace kb::ui {

const char* UpgradeFailedSource() {
#ifdef Q_OS_WIN
    return "Failed to start the upgrade exe";
#else
    return "Failed to start the upgrade program";
#endif
}

void TellUpgradeFailed(QWidget* owner, SShellNotifyIcon* tray, const QString& text) {
    if (tray != nullptr && tray->CanShowBalloon()) {
        tray->ShowBalloon(text);
        return;
    }
    SMessageBox(owner, text, QStringLiteral("Warning"), kMbOk);
}

}  // namespace kb::ui
