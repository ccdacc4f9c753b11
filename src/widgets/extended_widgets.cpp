#include "widgets/extended_widgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <string>

#include "toolkit/sapp.h"
#include "toolkit/sskin.h"
#include "widgets/widget_values.h"

namespace kb::ui {

int ExSkinState(const SWindow& wnd, const ISkinObj* skin) {
    if (wnd.IsPressed()) {
        return 2;
    }
    if (wnd.IsHover()) {
        return 1;
    }
    if (wnd.IsChecked()) {
        return skin ? std::max(0, skin->States() - 1) : 0;
    }
    return 0;
}

// ---- SAnimImg -----------------------------------------------------------------------------

SAnimImg::SAnimImg(QWidget* parent) : SWindow(parent) {}

SAnimImg::~SAnimImg() {
    if (timelineRegistered_) {
        UnregisterTimelineHandler(this);
    }
}

bool SAnimImg::SetAttribute(const QString& name, const QString& value, bool loading) {
    const QString key = name.toLower();
    if (key == QLatin1String("interval")) {
        interval_ = ParseIntValue(value);
        return true;
    }
    if (key == QLatin1String("autorun")) {
        autorun_ = ParseIntValue(value);
        return true;
    }
    if (key == QLatin1String("ani_in")) {
        const bool ok = LookUpSkin(value, enterSkin_);
        update();
        return ok;
    }
    if (key == QLatin1String("ani_out")) {
        return LookUpSkin(value, leaveSkin_);
    }
    return SWindow::SetAttribute(name, value, loading);
}

QSize SAnimImg::GetDesiredSize() const {
    return enterSkin_ ? enterSkin_->SkinSize() : QSize(0, 0);
}

void SAnimImg::OnCreated() {
    SWindow::OnCreated();
    timelineRegistered_ = RegisterTimelineHandler(this);
    if (autorun_ >= 0) {
        autorunPending_ = true;
        // Seconds to ms; a huge value must not overflow into a negative delay.
        autorunDelay_ = autorun_ > INT32_MAX / 1000 ? INT32_MAX : autorun_ * 1000;
    }
}

void SAnimImg::OnMouseHover() {
    ++hoverCount_;
    state_ = kEntering;
    frame_ = 0;
    frameClock_ = 0;
    autorunClock_ = 0;
    update();
    SWindow::OnMouseHover();
}

void SAnimImg::OnMouseLeave() {
    --hoverCount_;
    SWindow::OnMouseLeave();
}

void SAnimImg::OnNextFrame() {
    if (state_ == kEntering || state_ == kLeaving) {
        frameClock_ += SHostWnd::kTimelineIntervalMs;
        if (frameClock_ >= interval_) {
            AdvanceFrame();
            frameClock_ = 0;
        }
    }
    if (autorunPending_) {
        autorunClock_ += SHostWnd::kTimelineIntervalMs;
        if (autorunClock_ >= autorunDelay_) {
            autorunClock_ = 0;
            frame_ = 0;
            autorunPending_ = false;
            state_ = kEntering;  // frame 0 is the resting picture already: no repaint
        }
    }
}

void SAnimImg::AdvanceFrame() {
    if (state_ == kEntering) {
        if (!enterSkin_) {
            return;
        }
        ++frame_;
        const int count = enterSkin_->States();
        if (frame_ < count) {
            update();
            return;
        }
        if (autorun_ < 0) {
            frame_ = std::max(0, count - 1);
            if (hoverCount_ <= 0 && leaveSkin_) {
                state_ = kLeaving;
                frame_ = 0;
                frameClock_ = 0;
            }
        } else {
            if (autorun_ == 0) {
                frame_ = 0;
            }
            state_ = kResting;
            autorunPending_ = true;
        }
        update();
    } else if (state_ == kLeaving) {
        if (!leaveSkin_) {
            return;
        }
        if (frame_ < leaveSkin_->States() - 1) {
            ++frame_;
            update();
        } else {
            state_ = kResting;  // the last leave frame stays until the next repaint
        }
    }
}

ISkinObj* SAnimImg::ShownSkin() const {
    if (state_ == kEntering && enterSkin_) {
        return enterSkin_;
    }
    if (state_ == kLeaving && leaveSkin_) {
        return leaveSkin_;
    }
    return enterSkin_;
}

int SAnimImg::ShownFrame() const {
    if ((state_ == kEntering && enterSkin_) || (state_ == kLeaving && leaveSkin_)) {
        return frame_;
    }
    return 0;
}

void SAnimImg::OnPaint(QPainter& painter) {
    if (ISkinObj* skin = ShownSkin()) {
        skin->Draw(painter, GetClientRectLocal(), ShownFrame());
    }
}

// ---- SEditEx ------------------------------------------------------------------------------

SEditEx::SEditEx(QWidget* parent) : SEdit(parent) {}

SEditEx::~SEditEx() = default;

bool SEditEx::OnEditKeyPress(QKeyEvent& event) {
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) {
        EventArgs evt = MakeEvent(kEvtKeyEnter);
        FireEvent(evt);
        return true;  // Enter never reaches the text
    }
    return SEdit::OnEditKeyPress(event);
}

bool SEditEx::OnEditMouse(QMouseEvent& event) {
    const bool press =
        event.type() == QEvent::MouseButtonPress || event.type() == QEvent::MouseButtonDblClick;
    const bool release = event.type() == QEvent::MouseButtonRelease;
    if (event.button() != Qt::LeftButton || (!press && !release)) {
        return SEdit::OnEditMouse(event);
    }
    if (IsDisabled()) {
        EnableWindow(true);
        return true;
    }
    // An enabled box keeps the ordinary click handling, so the caret can be placed by mouse.
    return SEdit::OnEditMouse(event);
}

// ---- icon and text layout -----------------------------------------------------------------

bool IconTextLayout::SetAttribute(const QString& name, const QString& value, bool& handled) {
    const QString key = name.toLower();
    handled = true;
    if (key == QLatin1String("iconskin")) {
        return LookUpSkin(value, iconSkin);
    }
    if (key == QLatin1String("iconpos")) {
        const std::string text = value.toStdString();
        int v[2] = {iconPos.x(), iconPos.y()};
        const bool ok = ScanCommaInts(text, v, 2) > 0;
        iconPos = QPoint(v[0], v[1]);
        return ok;
    }
    if (key == QLatin1String("textx")) {
        textX = ParseIntValue(value);
        return true;
    }
    if (key == QLatin1String("texty")) {
        textY = ParseIntValue(value);
        return true;
    }
    handled = false;
    return false;
}

QRect IconTextLayout::IconRect(const QRect& client) const {
    if (!iconSkin) {
        return {};
    }
    return QRect(client.topLeft() + iconPos, iconSkin->SkinSize());
}

QRect IconTextLayout::TextRect(const QRect& client) const {
    const int iconWidth = iconSkin ? iconSkin->SkinSize().width() : 0;
    QRect text = client;
    text.setLeft(client.left() + iconPos.x() + iconWidth + textX);
    text.setTop(client.top() + iconPos.y() + textY);
    return text;
}

// ---- SCheckBoxEx, SRadioBoxEx ---------------------------------------------------------------

SCheckBoxEx::SCheckBoxEx(QWidget* parent) : SIconTextButton<SCheckBox>(parent) {}

SCheckBoxEx::~SCheckBoxEx() = default;

SRadioBoxEx::SRadioBoxEx(QWidget* parent) : SIconTextButton<SRadioBox>(parent) {}

SRadioBoxEx::~SRadioBoxEx() = default;

}  // namespace kb::ui
