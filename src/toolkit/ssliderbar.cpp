#include "toolkit/ssliderbar.h"

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
constexpr int kThumb = 14;
constexpr int kTrack = 4;
}  // namespace

SSliderBar::SSliderBar(QWidget* parent) : SWindow(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

bool SSliderBar::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "min")) {
        SetRange(ParseIntValue(value), std::max(ParseIntValue(value), max_));
        return true;
    }
    if (Is(name, "max")) {
        SetRange(std::min(min_, ParseIntValue(value)), ParseIntValue(value));
        return true;
    }
    if (Is(name, "value")) {
        SetValue(ParseIntValue(value));
        return true;
    }
    if (Is(name, "vertical")) {
        vertical_ = ParseIntValue(value) != 0;
        update();
        return true;
    }
    if (Is(name, "thumbSkin") || Is(name, "posSkin")) {
        ISkinObj* skin = SkinByName(value);
        if (!skin) {
            return false;
        }
        (Is(name, "thumbSkin") ? thumbSkin_ : posSkin_) = skin;
        update();
        return true;
    }
    return SWindow::SetAttribute(name, value, loading);
}

void SSliderBar::SetValue(int value) {
    value_ = std::clamp(value, min_, max_);
    update();
}

void SSliderBar::SetRange(int minValue, int maxValue) {
    min_ = minValue;
    max_ = std::max(minValue, maxValue);
    SetValue(value_);
}

QRect SSliderBar::TrackRect() const {
    const QRect client = GetClientRectLocal();
    const QSize thumb = thumbSkin_ ? thumbSkin_->SkinSize() : QSize(kThumb, kThumb);
    const int thick =
        GetSkin() ? (vertical_ ? GetSkin()->SkinSize().width() : GetSkin()->SkinSize().height())
                  : kTrack;
    if (vertical_) {
        const int half = thumb.height() / 2;
        return {client.center().x() - thick / 2, client.top() + half, thick,
                std::max(1, client.height() - 2 * half)};
    }
    const int half = thumb.width() / 2;
    return {client.left() + half, client.center().y() - thick / 2 + 1,
            std::max(1, client.width() - 2 * half), thick};
}

QRect SSliderBar::ThumbRect() const {
    const QRect track = TrackRect();
    const QSize thumb = thumbSkin_ ? thumbSkin_->SkinSize() : QSize(kThumb, kThumb);
    const double frac = max_ > min_ ? double(value_ - min_) / double(max_ - min_) : 0.0;
    if (vertical_) {
        const int y = track.bottom() - static_cast<int>(frac * (track.height() - 1));
        return {track.center().x() - thumb.width() / 2 + 1, y - thumb.height() / 2, thumb.width(),
                thumb.height()};
    }
    const int x = track.left() + static_cast<int>(frac * (track.width() - 1));
    return {x - thumb.width() / 2, track.center().y() - thumb.height() / 2 + 1, thumb.width(),
            thumb.height()};
}

int SSliderBar::ValueAt(const QPoint& pt) const {
    const QRect track = TrackRect();
    double frac = vertical_ ? double(track.bottom() - pt.y()) / std::max(1, track.height() - 1)
                            : double(pt.x() - track.left()) / std::max(1, track.width() - 1);
    frac = std::clamp(frac, 0.0, 1.0);
    return min_ + static_cast<int>(frac * (max_ - min_) + 0.5);
}

void SSliderBar::DragTo(const QPoint& pt) {
    MoveTo(ValueAt(pt));
}

void SSliderBar::MoveTo(int value) {
    const int v = std::clamp(value, min_, max_);
    if (v == value_) {
        return;
    }
    SetValue(v);
    EventArgs evt = MakeEvent(kEvtSliderPos);
    evt.pos = value_;
    FireEvent(evt);
}

void SSliderBar::keyPressEvent(QKeyEvent* event) {
    const int page = std::max(1, (max_ - min_) / 4);
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Down:
            MoveTo(value_ - 1);
            return;
        case Qt::Key_Right:
        case Qt::Key_Up:
            MoveTo(value_ + 1);
            return;
        case Qt::Key_PageDown:
            MoveTo(value_ - page);
            return;
        case Qt::Key_PageUp:
            MoveTo(value_ + page);
            return;
        case Qt::Key_Home:
            MoveTo(min_);
            return;
        case Qt::Key_End:
            MoveTo(max_);
            return;
        default:
            SWindow::keyPressEvent(event);
    }
}

void SSliderBar::DrawFocus(QPainter& painter) {
    widget_parts::DrawFocusRing(painter, ThumbRect().adjusted(-2, -2, 2, 2));
}

void SSliderBar::OnPaint(QPainter& painter) {
    if (ColorBkgnd().isValid()) {
        painter.fillRect(rect(), ColorBkgnd());
    }
    const QRect track = TrackRect();
    const QRect thumb = ThumbRect();
    QRect filled = track;
    if (vertical_) {
        filled.setTop(thumb.center().y());
    } else {
        filled.setRight(thumb.center().x());
    }
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, track, 0);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(ThemeColor("edge"));
        painter.drawRoundedRect(track, kTrack / 2.0, kTrack / 2.0);
    }
    if (posSkin_) {
        posSkin_->Draw(painter, filled, 0);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(IsDisabled() ? ThemeColor("text_disabled") : ThemeColor("accent"));
        painter.drawRoundedRect(filled, kTrack / 2.0, kTrack / 2.0);
    }
    if (thumbSkin_) {
        thumbSkin_->Draw(painter, thumb, GetStateIndex4());
    } else {
        painter.setPen(QPen(IsDisabled() ? ThemeColor("text_disabled") : ThemeColor("accent"), 2));
        painter.setBrush(IsHover() || dragging_ ? QColor(Qt::white) : ThemeColor("text"));
        painter.drawEllipse(QRectF(thumb).adjusted(1, 1, -1, -1));
    }
    if (hasFocus()) {
        DrawFocus(painter);
    }
}

void SSliderBar::OnLButtonDown(QMouseEvent& event) {
    SWindow::OnLButtonDown(event);
    dragging_ = true;
    DragTo(event.position().toPoint());
}

void SSliderBar::OnLButtonUp(QMouseEvent& event) {
    dragging_ = false;
    SetPressedState(false);
    update();
    (void)event;
}

void SSliderBar::OnMouseMove(QMouseEvent& event) {
    if (dragging_ && (event.buttons() & Qt::LeftButton)) {
        DragTo(event.position().toPoint());
    }
}

}  // namespace kb::ui
