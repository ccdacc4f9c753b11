#include "widgets/tab_ctrl2.h"

#include <QPainter>
#include <algorithm>
#include <pugixml.hpp>

#include "toolkit/sapp.h"
#include "toolkit/sskin.h"
#include "toolkit/theme.h"
#include "widgets/widget_values.h"

namespace kb::ui {

// ---- page ---------------------------------------------------------------------------------

STabPage2::STabPage2(QWidget* parent) : STabPage(parent) {}

STabPage2::~STabPage2() = default;

bool STabPage2::SetAttribute(const QString& name, const QString& value, bool loading) {
    const QString key = name.toLower();
    if (key == QLatin1String("ani_in")) {
        return LookUpSkin(value, enterSkin_);
    }
    if (key == QLatin1String("ani_out")) {
        return LookUpSkin(value, leaveSkin_);
    }
    return STabPage::SetAttribute(name, value, loading);
}

// ---- control ------------------------------------------------------------------------------

STabCtrl2::STabCtrl2(QWidget* parent) : STabCtrl(parent) {
    // Subscribers return false, so the host still sees the hover and leave events.
    SubscribeEvent(kEvtTabItemHover, MemberHandler(this, &STabCtrl2::OnItemHover));
    SubscribeEvent(kEvtTabItemLeave, MemberHandler(this, &STabCtrl2::OnItemLeave));
}

STabCtrl2::~STabCtrl2() {
    if (timelineRegistered_) {
        UnregisterTimelineHandler(this);
    }
}

bool STabCtrl2::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (name.compare(QLatin1String("tabHeadBgSkin"), Qt::CaseInsensitive) == 0) {
        return LookUpSkin(value, headBgSkin_);
    }
    return STabCtrl::SetAttribute(name, value, loading);
}

void STabCtrl2::OnCreated() {
    STabCtrl::OnCreated();
    timelineRegistered_ = RegisterTimelineHandler(this);
}

STabPage* STabCtrl2::CreatePageFromXml(const pugi::xml_node& element) {
    if (QString::fromUtf8(element.name()).compare(QLatin1String("page2"), Qt::CaseInsensitive) !=
        0) {
        return nullptr;
    }
    const SApplication* app = SApplication::Instance();
    SWindow* created = app ? app->CreateWidget(QStringLiteral("page2"), this) : nullptr;
    auto* page = dynamic_cast<STabPage*>(created);
    if (!page) {
        delete created;
        page = new STabPage2(this);
    }
    page->InitFromXml(element);
    return page;
}

STabPage2* STabCtrl2::GetPage2(int index) const {
    return dynamic_cast<STabPage2*>(GetItem(index));
}

void STabCtrl2::RepaintItem(int index) {
    const QRect item = GetItemRect(index);
    if (!item.isEmpty()) {
        // The selected header is drawn wider than its place.
        const int grow = TabInterSkin() ? TabInterSize() : 0;
        InvalidateRect(TabAlign() == Align::Left ? item.adjusted(0, -grow, 0, grow)
                                                 : item.adjusted(-grow, 0, grow, 0));
    }
}

void STabCtrl2::StartAnimation(int index, int state) {
    STabPage2* page = GetPage2(index);
    if (!page) {
        return;
    }
    page->state_ = state;
    page->frame_ = 0;
    page->countdown_ = kFrameIntervalMs;
    RepaintItem(index);
}

bool STabCtrl2::OnItemHover(EventArgs& evt) {
    StartAnimation(evt.index, STabPage2::kEntering);
    return false;
}

bool STabCtrl2::OnItemLeave(EventArgs& evt) {
    StartAnimation(evt.index, STabPage2::kLeaving);
    return false;
}

void STabCtrl2::OnNextFrame() {
    for (int i = 0; i < GetItemCount(); ++i) {
        STabPage2* page = GetPage2(i);
        if (!page || page->state_ == STabPage2::kIdle) {
            continue;
        }
        page->countdown_ -= SHostWnd::kTimelineIntervalMs;
        if (page->countdown_ >= 1) {
            continue;
        }
        ++page->frame_;
        if (page->state_ == STabPage2::kEntering) {
            if (!page->enterSkin_) {
                page->state_ = STabPage2::kIdle;
            } else if (page->frame_ >= page->enterSkin_->States() - 1) {
                page->frame_ = std::max(0, page->enterSkin_->States() - 1);  // hold the last one
            }
        } else if (!page->leaveSkin_ || page->frame_ >= page->leaveSkin_->States() - 1) {
            page->state_ = STabPage2::kIdle;  // the leave skin's last frame is never shown
        }
        page->countdown_ = kFrameIntervalMs;
        RepaintItem(i);
    }
}

// ---- painting -----------------------------------------------------------------------------

void STabCtrl2::OnPaint(QPainter& painter) {
    const QRect strip = GetTitleRect();
    painter.save();
    painter.setClipRect(strip);
    if (headBgSkin_) {
        headBgSkin_->Draw(painter, strip, 0);
    }
    const bool left = TabAlign() == Align::Left;
    const int inter = TabInterSize();
    ISkinObj* sep = TabInterSkin();
    const int selected = GetCurSel();
    QRect previous;
    for (int i = 0; i < GetItemCount(); ++i) {
        QRect item = GetItemRect(i);
        const int state = i == selected ? 2 : (i == HoverItem() ? 1 : 0);
        if (i > 0 && sep && i != selected && i != selected + 1) {
            const QRect place =
                left ? QRect(previous.left(), previous.bottom() + 1, previous.width(), inter)
                     : QRect(previous.right() + 1, previous.top(), inter, previous.height());
            sep->Draw(painter, place, 0);
        }
        previous = item;  // separators follow the header's own place, not the grown one
        if (i == selected && sep) {
            item = left ? item.adjusted(0, -inter, 0, inter) : item.adjusted(-inter, 0, inter, 0);
        }
        DrawItem(painter, item, i, state);
    }
    painter.restore();

    if (ISkinObj* frame = GetSkin()) {
        frame->Draw(painter, GetPageRect(), 0);
    } else if (ColorBkgnd().isValid()) {
        painter.fillRect(GetPageRect(), ColorBkgnd());
    }
    if (hasFocus() && focusPolicy() != Qt::NoFocus && selected >= 0) {
        painter.save();
        QPen pen(ColorText().isValid() ? ColorText() : ThemeColor("text"));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(GetItemRect(selected).adjusted(2, 2, -3, -3));
        painter.restore();
    }
}

void STabCtrl2::DrawItem(QPainter& painter, const QRect& rect, int index, int state) {
    if (rect.isEmpty()) {
        return;
    }
    STabCtrl::DrawItem(painter, rect, index, state);
}

void STabCtrl2::DrawItemIcon(QPainter& painter, const QRect& iconRect, int index, int state) {
    if (!IconSkin() || iconRect.isEmpty()) {
        return;
    }
    const STabPage2* page = GetPage2(index);
    if (page && page->state_ == STabPage2::kEntering && page->enterSkin_) {
        page->enterSkin_->Draw(painter, iconRect, page->frame_);
    } else if (page && page->state_ == STabPage2::kLeaving && page->leaveSkin_) {
        page->leaveSkin_->Draw(painter, iconRect, page->frame_);
    } else {
        STabCtrl::DrawItemIcon(painter, iconRect, index, state);
    }
}

void STabCtrl2::OnStateChanged(int oldState, int newState) {
    InvalidateRect(GetTitleRect());
    STabCtrl::OnStateChanged(oldState, newState);
}

}  // namespace kb::ui
