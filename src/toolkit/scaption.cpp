#include "toolkit/scaption.h"

#include <QAbstractItemView>
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
    // The window system moves the window where it can (Wayland allows nothing else).
    if (top->windowHandle() && top->windowHandle()->startSystemMove()) {
        return;
    }
    dragging_ = true;
    dragOffset_ = event.globalPosition().toPoint() - top->frameGeometry().topLeft();
}

void SCaption::OnLButtonUp(QMouseEvent& /*event*/) {
    dragging_ = false;
}

void SCaption::OnMouseMove(QMouseEvent& event) {
    if (dragging_ && (event.buttons() & Qt::LeftButton)) {
        window()->move(event.globalPosition().toPoint() - dragOffset_);
    }
}

void SCaption::OnLButtonDblClk(QMouseEvent& /*event*/) {
    if (SHostWnd* host = GetHost()) {
        host->SendHostMessage(kWmSysCommand, host->isMaximized() ? kScRestore : kScMaximize);
    }
}

}  // namespace kb::ui
