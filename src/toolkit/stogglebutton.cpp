#include "toolkit/stogglebutton.h"

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

namespace {

constexpr int kIndicator = 16;
constexpr int kIndicatorGap = 8;

QRect IndicatorAt(const QRect& client, Qt::Alignment align) {
    int x = client.left();
    if (align & Qt::AlignHCenter) {
        x = client.center().x() - kIndicator / 2;
    } else if (align & Qt::AlignRight) {
        x = client.right() + 1 - kIndicator;
    }
    int y = client.center().y() - kIndicator / 2 + 1;
    if (align & Qt::AlignTop) {
        y = client.top();
    } else if (align & Qt::AlignBottom) {
        y = client.bottom() + 1 - kIndicator;
    }
    return {x, y, kIndicator, kIndicator};
}

// Skin state of a check or radio: the full 8 states when the skin has them, else the
// four-state look with the last state meaning "checked".
int ToggleSkinState(const SWindow& w, const ISkinObj& skin) {
    const int states = skin.States();
    if (states >= 8) {
        return w.GetStateIndex8();
    }
    if (w.IsChecked()) {
        return states - 1;
    }
    return std::min(w.GetStateIndex4(), states - 1);
}

}  // namespace

SToggleButton::SToggleButton(QWidget* parent) : SButton(parent) {
    SetTextAlign(Qt::AlignLeft | Qt::AlignVCenter);
}

bool SToggleButton::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "checked")) {
        SetCheck(ParseIntValue(value) != 0);
        return true;
    }
    if (Is(name, "focusSkin")) {
        focusSkin_ = SkinByName(value);
        return focusSkin_ != nullptr;
    }
    return SButton::SetAttribute(name, value, loading);
}

QSize SToggleButton::GetDesiredSize() const {
    if (GetSkin()) {
        return SButton::GetDesiredSize();
    }
    const QFontMetrics fm(font());
    return QSize(kIndicator + kIndicatorGap + fm.horizontalAdvance(GetText()),
                 std::max(kIndicator, fm.height()))
        .grownBy(GetMargin());
}

QRect SToggleButton::IndicatorRect() const {
    return IndicatorAt(GetClientRectLocal(), Qt::AlignLeft | Qt::AlignVCenter);
}

QRect SToggleButton::GetTextRect() const {
    if (GetSkin()) {
        return GetClientRectLocal();
    }
    return GetClientRectLocal().adjusted(kIndicator + kIndicatorGap, 0, 0, 0);
}

void SToggleButton::OnPaint(QPainter& painter) {
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, GetClientRectLocal(), ToggleSkinState(*this, *skin));
    } else {
        DrawIndicator(painter, QRectF(IndicatorRect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    const QString text = GetText();
    if (!text.isEmpty()) {
        DrawWndText(painter, GetTextRect(), text);
    }
    if (hasFocus()) {
        DrawFocus(painter);
    }
}

void SToggleButton::DrawFocus(QPainter& painter) {
    if (focusSkin_) {
        focusSkin_->Draw(painter, GetClientRectLocal(), 0);
    } else {
        SButton::DrawFocus(painter);  // the ring, when the focus came from the keyboard
    }
}

SCheckBox::SCheckBox(QWidget* parent) : SToggleButton(parent) {}

void SCheckBox::DrawIndicator(QPainter& painter, const QRectF& box) {
    const bool on = IsChecked();
    painter.setPen(IsHover() || on ? ThemeColor("accent") : ThemeColor("control_edge"));
    painter.setBrush(on ? ThemeColor("accent") : ThemeColor("panel_dark"));
    if (IsDisabled()) {
        painter.setPen(ThemeColor("control_edge"));
        painter.setBrush(ThemeColor("panel"));
    }
    painter.drawRoundedRect(box, 3, 3);
    if (on) {
        QPen pen(IsDisabled() ? ThemeColor("text_disabled") : ThemeColor("panel_dark"), 2.0);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        const QRectF r = box.adjusted(3.5, 3.5, -3.5, -3.5);
        QPainterPath tick;
        tick.moveTo(r.left(), r.center().y());
        tick.lineTo(r.left() + r.width() * 0.4, r.bottom());
        tick.lineTo(r.right(), r.top());
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
    }
}

void SCheckBox::OnClick() {
    SetCheck(!IsChecked());
    EventArgs evt = MakeEvent(kEvtCommand);
    FireEvent(evt);
}

// ---- radio --------------------------------------------------------------------------------

SRadioBox::SRadioBox(QWidget* parent) : SToggleButton(parent) {}

bool SRadioBox::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "group")) {
        group_ = value;
        return true;
    }
    if (Is(name, "iconAlign") || Is(name, "iconValign")) {
        const QString v = value.trimmed().toLower();
        if (Is(name, "iconAlign")) {
            iconAlign_ &= ~Qt::AlignHorizontal_Mask;
            iconAlign_ |= v == QLatin1String("center")  ? Qt::AlignHCenter
                          : v == QLatin1String("right") ? Qt::AlignRight
                                                        : Qt::AlignLeft;
        } else {
            iconAlign_ &= ~Qt::AlignVertical_Mask;
            iconAlign_ |= v == QLatin1String("top")      ? Qt::AlignTop
                          : v == QLatin1String("bottom") ? Qt::AlignBottom
                                                         : Qt::AlignVCenter;
        }
        update();
        return true;
    }
    return SToggleButton::SetAttribute(name, value, loading);
}

void SRadioBox::SetCheck(bool checked) {
    SButton::SetCheck(checked);
    if (checked) {
        UncheckPeers();
    }
}

void SRadioBox::UncheckPeers() {
    SHostWnd* host = GetHost();
    SWindow* scope = host && host->GetRoot() ? host->GetRoot() : GetParentWnd();
    if (!scope) {
        return;
    }
    // Without a group, radios are exclusive among their siblings that have none either.
    ForEachDescendant(scope, [this](SWindow* w) {
        auto* radio = dynamic_cast<SRadioBox*>(w);
        if (!radio || radio == this || radio->group_ != group_) {
            return;
        }
        if (group_.isEmpty() && radio->parentWidget() != parentWidget()) {
            return;
        }
        radio->SButton::SetCheck(false);
    });
}

QRect SRadioBox::IndicatorRect() const {
    return IndicatorAt(GetClientRectLocal(), iconAlign_);
}

void SRadioBox::DrawIndicator(QPainter& painter, const QRectF& box) {
    painter.setPen(IsHover() || IsChecked() ? ThemeColor("accent") : ThemeColor("control_edge"));
    painter.setBrush(IsDisabled() ? ThemeColor("panel") : ThemeColor("panel_dark"));
    painter.drawEllipse(box);
    if (IsChecked()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(IsDisabled() ? ThemeColor("text_disabled") : ThemeColor("accent"));
        painter.drawEllipse(box.adjusted(4, 4, -4, -4));
    }
}

void SRadioBox::OnClick() {
    SetCheck(true);
    EventArgs evt = MakeEvent(kEvtCommand);
    FireEvent(evt);
}

}  // namespace kb::ui
