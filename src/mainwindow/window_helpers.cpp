#include "mainwindow/window_helpers.h"

#include "toolkit/msgbox.h"
#include "toolkit/sapp.h"

namespace kb {

QString TrMain(const char* source) {
    const ui::SApplication* app = ui::SApplication::Instance();
    const QString text = QString::fromUtf8(source);
    return app ? app->Tr(QStringLiteral("main"), text) : text;
}

int Ask(QWidget* owner, const QString& text, const QString& caption, int type) {
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    const int answer = ui::SMessageBox(owner, text, caption, type);
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
    return answer;
}

}  // namespace kb
