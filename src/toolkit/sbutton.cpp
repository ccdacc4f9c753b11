#include "toolkit/sbutton.h"

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

SButton::SButton(QWidget* parent) : SWindow(parent) {
    SetTextAlign(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void SButton::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool activates = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!activates || !focusFromKeyboard_ || event->modifiers() != Qt::NoModifier ||
        event->isAutoRepeat()) {
        SWindow::keyPressEvent(event);
        return;
    }
    if (!IsDisabled()) {
        OnClick();  // last: a handler may end a dialog
    }
}

void SButton::DrawFocus(QPainter& painter) {
    if (focusFromKeyboard_) {
        DrawFocusRing(painter, rect());
    }
}

void SButton::focusInEvent(QFocusEvent* event) {
    focusFromKeyboard_ =
        event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    SWindow::focusInEvent(event);
    update();
}

void SButton::focusOutEvent(QFocusEvent* event) {
    focusFromKeyboard_ = false;
    SWindow::focusOutEvent(event);
    update();
}

QSize SButton::GetDesiredSize() const {
    if (GetSkin()) {
        return SWindow::GetDesiredSize();
    }
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(GetText()) + 24, fm.height() + 12).grownBy(GetMargin());
}

void SButton::OnPaint(QPainter& painter) {
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, rect(), GetStateIndex4());
    } else {
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const int state = GetStateIndex4();
        painter.setBrush(ColorBkgnd().isValid() && state == 0 ? ColorBkgnd() : FaceColor(state));
        painter.setPen(
            state == 1 ? ThemeColor("accent")
                       : (ColorBorder().isValid() ? ColorBorder() : ThemeColor("control_edge")));
        painter.drawRoundedRect(box, 4, 4);
    }
    const QString text = GetText();
    if (!text.isEmpty()) {
        DrawWndText(painter, GetTextRect(), text);
    }
    if (hasFocus()) {
        DrawFocus(painter);
    }
}

void SButton::OnClick() {
    EventArgs evt = MakeEvent(kEvtCommand);
    FireEvent(evt);
}

SImageButton::SImageButton(QWidget* parent) : SButton(parent) {}

}  // namespace kb::ui
