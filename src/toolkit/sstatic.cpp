#include "toolkit/sstatic.h"

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

SStatic::SStatic(QWidget* parent) : SWindow(parent) {
    SetClickThrough(true);
}

bool SStatic::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "multiLines")) {
        multiLines_ = ParseIntValue(value) != 0;
        update();
        return true;
    }
    return SWindow::SetAttribute(name, value, loading);
}

void SStatic::DrawWndText(QPainter& painter, const QRect& rect, const QString& text) {
    if (!multiLines_) {
        SWindow::DrawWndText(painter, rect, text);
        return;
    }
    painter.setPen(!isEnabled()            ? ThemeColor("text_disabled")
                   : ColorText().isValid() ? ColorText()
                                           : ThemeColor("text"));
    painter.setFont(font());
    painter.drawText(rect, static_cast<int>(TextAlign()) | Qt::TextWordWrap, text);
}

SLink::SLink(QWidget* parent) : SStatic(parent) {
    SetClickThrough(false);
    setCursor(Qt::PointingHandCursor);
}

void SLink::DrawWndText(QPainter& painter, const QRect& rect, const QString& text) {
    QFont f = font();
    f.setUnderline(IsHover());
    painter.setFont(f);
    painter.setPen(!isEnabled()            ? ThemeColor("text_disabled")
                   : ColorText().isValid() ? ColorText()
                                           : ThemeColor("accent"));
    painter.drawText(rect, static_cast<int>(TextAlign()), text);
}

void SLink::OnClick() {
    EventArgs evt = MakeEvent(kEvtCommand);
    FireEvent(evt);
}

}  // namespace kb::ui
