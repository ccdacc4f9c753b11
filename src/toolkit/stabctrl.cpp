#include "toolkit/stabctrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <pugixml.hpp>

#include "toolkit/attribute_value.h"
#include "toolkit/sapp.h"
#include "toolkit/sskin.h"
#include "toolkit/theme.h"

namespace kb::ui {

namespace {

bool Is(const QString& name, const char* key) {
    return name.compare(QLatin1String(key), Qt::CaseInsensitive) == 0;
}

}  // namespace

// ---- page ---------------------------------------------------------------------------------

STabPage::STabPage(QWidget* parent) : SWindow(parent) {}

bool STabPage::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "title")) {
        SetTitle(value, true);
        return true;
    }
    if (Is(name, "iconIndex")) {
        iconIndex_ = ParseIntValue(value);
        return true;
    }
    return SWindow::SetAttribute(name, value, loading);
}

QString STabPage::GetTitle() const {
    return titleShown_;
}

void STabPage::SetTitle(const QString& title, bool translate) {
    titleSource_ = title;
    titleTr_ = translate;
    titleShown_ = translate ? Translate(title) : title;
    if (parentWidget()) {
        parentWidget()->update();
    }
}

void STabPage::OnLanguageChanged() {
    if (titleTr_) {
        titleShown_ = Translate(titleSource_);
    }
    SWindow::OnLanguageChanged();
    if (parentWidget()) {
        parentWidget()->update();
    }
}

// ---- tab control --------------------------------------------------------------------------

STabCtrl::STabCtrl(QWidget* parent) : SWindow(parent) {}

bool STabCtrl::SetAttribute(const QString& name, const QString& value, bool loading) {
    const SApplication* app = SApplication::Instance();
    auto skin = [app](const QString& v) { return app ? app->GetSkin(v) : nullptr; };
    if (Is(name, "curSel")) {
        pendingSel_ = ParseIntValue(value);
        if (!pages_.empty()) {
            SetCurSel(pendingSel_);
        }
    } else if (Is(name, "tabWidth")) {
        tabSize_.setWidth(std::max(0, ParseIntValue(value)));
    } else if (Is(name, "tabHeight")) {
        tabSize_.setHeight(std::max(0, ParseIntValue(value)));
    } else if (Is(name, "tabInterSize")) {
        interSize_ = std::max(0, ParseIntValue(value));
    } else if (Is(name, "tabInterSkin")) {
        interSkin_ = skin(value);
        return interSkin_ != nullptr;
    } else if (Is(name, "tabSkin")) {
        tabSkin_ = skin(value);
        return tabSkin_ != nullptr;
    } else if (Is(name, "iconSkin")) {
        iconSkin_ = skin(value);
        return iconSkin_ != nullptr;
    } else if (Is(name, "icon-x")) {
        iconPos_.setX(ParseIntValue(value));
    } else if (Is(name, "icon-y")) {
        iconPos_.setY(ParseIntValue(value));
    } else if (Is(name, "text-x")) {
        textPos_.setX(ParseIntValue(value));
    } else if (Is(name, "text-y")) {
        textPos_.setY(ParseIntValue(value));
    } else if (Is(name, "tabAlign")) {
        align_ = value.trimmed().compare(QLatin1String("left"), Qt::CaseInsensitive) == 0
                     ? Align::Left
                     : Align::Top;
    } else {
        return SWindow::SetAttribute(name, value, loading);
    }
    LayoutPages();
    update();
    return true;
}

bool STabCtrl::CreateChildren(const pugi::xml_node& element) {
    for (const pugi::xml_node& child : element.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        if (STabPage* page = CreatePageFromXml(child)) {
            AddPage(page, GetItemCount());
        }
    }
    LayoutPages();
    return true;
}

STabPage* STabCtrl::CreatePageFromXml(const pugi::xml_node& element) {
    const SApplication* app = SApplication::Instance();
    const QString tag = QString::fromUtf8(element.name());
    if (!app || !app->TagIsA(tag, QLatin1String(STabPage::kClassTag))) {
        return nullptr;
    }
    SWindow* wnd = app->CreateWidget(tag, this);
    auto* page = dynamic_cast<STabPage*>(wnd);
    if (!page) {
        delete wnd;
        return nullptr;
    }
    page->InitFromXml(element);
    return page;
}

void STabCtrl::OnCreated() {
    // The initial page is shown without an event: nobody listens while the layout loads.
    if (!pages_.empty()) {
        curSel_ = std::clamp(pendingSel_, 0, GetItemCount() - 1);
    }
    LayoutPages();
}

bool STabCtrl::SetCurSel(int index) {
    if (index < 0 || index >= GetItemCount() || index == curSel_) {
        return false;
    }
    const int old = curSel_;
    curSel_ = index;
    LayoutPages();
    update();
    EventArgs evt = MakeEvent(kEvtTabSelChanged);
    evt.oldSel = old;
    evt.newSel = index;
    FireEvent(evt);
    return true;
}

STabPage* STabCtrl::GetItem(int index) const {
    if (index < 0 || index >= GetItemCount()) {
        return nullptr;
    }
    return pages_[static_cast<size_t>(index)];
}

int STabCtrl::InsertItem(STabPage* page, int index) {
    if (!page) {
        return -1;
    }
    if (index < 0 || index > GetItemCount()) {
        index = GetItemCount();
    }
    page->setParent(this);
    AddPage(page, index);
    if (curSel_ < 0) {
        curSel_ = 0;
    } else if (index <= curSel_ && GetItemCount() > 1) {
        ++curSel_;
    }
    LayoutPages();
    update();
    return index;
}

QRect STabCtrl::GetTitleRect() const {
    const QRect client = GetClientRectLocal();
    if (align_ == Align::Left) {
        return {client.left(), client.top(), tabSize_.width(), client.height()};
    }
    return {client.left(), client.top(), client.width(), tabSize_.height()};
}

QRect STabCtrl::GetItemRect(int index) const {
    if (index < 0 || index >= GetItemCount()) {
        return {};
    }
    const QRect title = GetTitleRect();
    if (align_ == Align::Left) {
        return {title.left(), title.top() + index * (tabSize_.height() + interSize_),
                tabSize_.width(), tabSize_.height()};
    }
    return {title.left() + index * (tabSize_.width() + interSize_), title.top(), tabSize_.width(),
            tabSize_.height()};
}

QRect STabCtrl::GetPageRect() const {
    const QRect client = GetClientRectLocal();
    if (align_ == Align::Left) {
        return client.adjusted(tabSize_.width(), 0, 0, 0);
    }
    return client.adjusted(0, tabSize_.height(), 0, 0);
}

QRect STabCtrl::IconRect(const QRect& itemRect) const {
    if (!iconSkin_ || itemRect.isEmpty()) {
        return {};
    }
    return {itemRect.topLeft() + iconPos_, iconSkin_->SkinSize()};
}

void STabCtrl::AddPage(STabPage* page, int index) {
    pages_.insert(pages_.begin() + index, page);
    page->installEventFilter(this);
}

bool STabCtrl::eventFilter(QObject* watched, QEvent* event) {
    // Qt sends a parent no leave when the pointer moves on into a child: entering a page is
    // where the pointer leaves the headers.
    if (event->type() == QEvent::Enter) {
        SetHoverItem(-1);
    }
    return SWindow::eventFilter(watched, event);
}

void STabCtrl::LayoutPages() {
    const QRect area = GetPageRect();
    for (int i = 0; i < GetItemCount(); ++i) {
        STabPage* page = pages_[static_cast<size_t>(i)];
        page->setGeometry(area);
        page->setVisible(i == curSel_);
    }
}

void STabCtrl::resizeEvent(QResizeEvent* event) {
    SWindow::resizeEvent(event);
    LayoutPages();
}

void STabCtrl::OnPaint(QPainter& painter) {
    const QRect title = GetTitleRect();
    painter.save();
    painter.setClipRect(title);
    for (int i = 0; i < GetItemCount(); ++i) {
        const QRect item = GetItemRect(i);
        if (i > 0 && interSkin_ && interSize_ > 0) {
            const QRect prev = GetItemRect(i - 1);
            const QRect sep = align_ == Align::Left
                                  ? QRect(item.left(), prev.bottom() + 1, item.width(), interSize_)
                                  : QRect(prev.right() + 1, item.top(), interSize_, item.height());
            interSkin_->Draw(painter, sep, 0);
        }
        const int state = i == curSel_ ? 2 : (i == hoverItem_ ? 1 : 0);
        DrawItem(painter, item, i, state);
    }
    painter.restore();
    if (ISkinObj* frame = GetSkin()) {
        frame->Draw(painter, GetPageRect(), 0);
    } else if (ColorBkgnd().isValid()) {
        painter.fillRect(GetPageRect(), ColorBkgnd());
    }
}

void STabCtrl::DrawItem(QPainter& painter, const QRect& rect, int index, int state) {
    if (rect.isEmpty()) {
        return;
    }
    if (tabSkin_) {
        tabSkin_->Draw(painter, rect, state);
    } else if (state == 2) {
        painter.fillRect(rect, ThemeColor("panel"));
        painter.fillRect(align_ == Align::Left
                             ? QRect(rect.left(), rect.top(), 3, rect.height())
                             : QRect(rect.left(), rect.bottom() - 2, rect.width(), 3),
                         ThemeColor("accent"));
    } else if (state == 1) {
        painter.fillRect(rect, ThemeColor("hover"));
    }
    DrawItemIcon(painter, IconRect(rect), index, state);

    const STabPage* page = GetItem(index);
    const QString text = page ? page->GetTitle() : QString();
    if (text.isEmpty()) {
        return;
    }
    QRect textRect = rect;
    int flags = 0;
    if (textPos_.x() >= 0) {
        textRect.setLeft(rect.left() + textPos_.x());
        flags |= Qt::AlignLeft;
    } else {
        flags |= Qt::AlignHCenter;
    }
    if (textPos_.y() >= 0) {
        textRect.setTop(rect.top() + textPos_.y());
        flags |= Qt::AlignTop;
    } else {
        flags |= Qt::AlignVCenter;
    }
    QFont f = font();
    f.setBold(state == 2);
    painter.setFont(f);
    QColor color =
        state == 2 ? ThemeColor("text") : (state == 1 ? QColor(Qt::white) : ThemeColor("text_dim"));
    if (ColorText().isValid() && state == 0) {
        color = ColorText();
    }
    painter.setPen(IsDisabled() ? ThemeColor("edge") : color);
    painter.drawText(textRect, flags, text);
}

void STabCtrl::DrawItemIcon(QPainter& painter, const QRect& iconRect, int index, int /*state*/) {
    if (!iconSkin_ || iconRect.isEmpty()) {
        return;
    }
    const STabPage* page = GetItem(index);
    const int icon = page && page->GetIconIndex() != -1 ? page->GetIconIndex() : index;
    iconSkin_->Draw(painter, iconRect, icon);
}

int STabCtrl::HitTest(const QPoint& pt) const {
    for (int i = 0; i < GetItemCount(); ++i) {
        if (GetItemRect(i).contains(pt)) {
            return i;
        }
    }
    return -1;
}

void STabCtrl::SetHoverItem(int index) {
    if (index == hoverItem_) {
        return;
    }
    const int old = hoverItem_;
    hoverItem_ = index;
    update(GetTitleRect());
    if (old >= 0) {
        EventArgs evt = MakeEvent(kEvtTabItemLeave);
        evt.index = old;
        FireEvent(evt);
    }
    if (index >= 0) {
        EventArgs evt = MakeEvent(kEvtTabItemHover);
        evt.index = index;
        FireEvent(evt);
    }
}

void STabCtrl::OnLButtonDown(QMouseEvent& event) {
    SWindow::OnLButtonDown(event);
    const int hit = HitTest(event.position().toPoint());
    SetHoverItem(hit);  // a press without a move before it (touch) still hovers first
    if (hit >= 0) {
        SetCurSel(hit);
    }
}

void STabCtrl::OnMouseMove(QMouseEvent& event) {
    SetHoverItem(HitTest(event.position().toPoint()));
}

void STabCtrl::OnMouseLeave() {
    SetHoverItem(-1);
    SWindow::OnMouseLeave();
}

}  // namespace kb::ui
