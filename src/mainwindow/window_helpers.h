#pragma once

#include <QApplication>
#include <QString>

class QWidget;

namespace kb {

// The wait cursor while the program blocks on the keyboard or the upgrade tool.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A text of the main window's translation context.
QString TrMain(const char* source);

// A box with the given caption and buttons (toolkit message box types), owned by owner and with
// the ordinary pointer while it waits; the pressed button's id.
int Ask(QWidget* owner, const QString& text, const QString& caption, int type);

}  // namespace kb
