#include "mainwindow/device_access.h"

#include <QApplication>
#include <QString>

#include "device/open_failure.h"
#include "platform/platform_services.h"
#include "toolkit/msgbox.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"

namespace kb {

namespace {

QString Tr(const char* source) {
    const QString text = QString::fromUtf8(source);
    const ui::SApplication* app = ui::SApplication::Instance();
    return app ? app->Tr(QStringLiteral("msgbox"), text) : text;
}

}  // namespace

bool ExplainNoPermission(QWidget* owner, platform::PlatformServices& platform) {
    const QString caption = QStringLiteral("Warning");
    if (!platform.CanGrantDeviceAccess()) {
        ui::SMessageBox(owner, QString::fromUtf8(kNoPermissionText), caption, ui::kMbOk);
        return false;
    }
    const QString offer = Tr(kNoPermissionText) + QStringLiteral("\n\n") + Tr(kTextOfferAccess);
    if (ui::SMessageBox(owner, offer, caption, ui::kMbOkCancel) != ui::kIdOk) {
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool given = platform.GrantDeviceAccess();
    QApplication::restoreOverrideCursor();
    if (!given) {
        ui::SMessageBox(owner, Tr(kTextAccessNotGiven), caption, ui::kMbOk);
    }
    return given;
}

}  // namespace kb
