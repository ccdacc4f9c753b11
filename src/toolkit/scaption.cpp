#include "toolkit/scaption.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QWindow>
#include <algorithm>
#include <pugixml.hpp>

#include "toolkit/attribute_value.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "toolkit/sskin.h"
#include "toolkit/theme.h"
#include "toolkit/widget_parts.h"

namespace kb::ui {

using namespace widget_parts;

SCaption::SCaption(QWidget* parent) : SWindow(parent) {}

void SCaption::OnLButtonDown(QMouseEvent& event) {
    QWidget* top = window();
    if (top == this) {
        return;
    }
    // The move starts once the pointer travels: a press handed to the window system at once
    // would take the second click of a double-click with it.
    pressed_ = true;
    dragging_ = false;
    pressPos_ = event.globalPosition().toPoint();
    dragOffset_ = pressPos_ - top->frameGeometry().topLeft();
}

void SCaption::OnLButtonUp(QMouseEvent& /*event*/) {
    pressed_ = false;
    dragging_ = false;
}

void SCaption::OnMouseMove(QMouseEvent& event) {
    if (!pressed_ || !(event.buttons() & Qt::LeftButton)) {
        return;
    }
    QWidget* top = window();
    const QPoint global = event.globalPosition().toPoint();
    if (!dragging_) {
        if ((global - pressPos_).manhattanLength() < QApplication::startDragDistance() ||
            top->isMaximized()) {
            return;
        }
        // The window system moves the window where it can (Wayland allows nothing else).
        if (top->windowHandle() && top->windowHandle()->startSystemMove()) {
            pressed_ = false;
            return;
        }
        dragging_ = true;
    }
    top->move(global - dragOffset_);
}

void SCaption::OnLButtonDblClk(QMouseEvent& /*event*/) {
    if (SHostWnd* host = GetHost()) {
        host->SendHostMessage(kWmSysCommand, host->isMaximized() ? kScRestore : kScMaximize);
    }
}

}  // namespace kb::ui
