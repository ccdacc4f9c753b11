#include "toolkit/scombobox.h"

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

constexpr int kPopupPad = 4;       // between the list's edge and a row's highlight
constexpr int kPopupGap = 3;       // between the box and its drop-down list
constexpr int kTextPad = 8;        // before the box's text
constexpr int kChevronWidth = 22;  // the drawn drop button

}  // namespace

// ---- combo box ----------------------------------------------------------------------------

namespace {

// The Qt box with a drop button of our own (the owner's btnSkin, else a chevron).
class ChevronCombo : public QComboBox {
public:
    explicit ChevronCombo(SComboBox* owner) : QComboBox(owner), owner_(owner) {}

    // The list lines up with the owner's face (the Qt box may sit inside its margin) and leaves
    // a small gap below it; a list that had to open above stays where Qt put it.
    void showPopup() override {
        MakeList();
        QComboBox::showPopup();
        QWidget* popup = view()->window();
        if (popup == window()) {
            return;
        }
        const QPoint face = owner_->mapToGlobal(QPoint(0, 0));
        const int faceBottom = face.y() + owner_->height();
        if (popup->y() < mapToGlobal(QPoint(0, height())).y() - 1) {
            return;
        }
        const QRect screen = popup->screen() ? popup->screen()->availableGeometry() : QRect();
        const int gap =
            screen.isValid() && faceBottom + kPopupGap + popup->height() > screen.bottom() + 1
                ? 0
                : kPopupGap;
        popup->setGeometry(face.x(), faceBottom + gap, std::max(popup->width(), owner_->width()),
                           popup->height());
    }

    // Focus that came from the keyboard (Tab) gets a ring; a click's does not.
    bool ShowsFocusRing() const { return focusRing_ && hasFocus(); }

    // The drop-down list and its window, made when the list first opens: with their style
    // sheets they cost as much as the rest of the box, and a box may never be opened.
    void MakeList();
    bool HasList() const { return listMade_; }

protected:
    void focusInEvent(QFocusEvent* event) override {
        if (event->reason() != Qt::PopupFocusReason) {
            focusRing_ =
                event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
        }
        owner_->update();
        QComboBox::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        owner_->update();
        QComboBox::focusOutEvent(event);
    }

    // Qt's box makes its drop-down list to hand a new font to it; ours is made when the list
    // first opens and draws its rows in the owner's font.
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::FontChange && !listMade_) {
            QWidget::changeEvent(event);  // NOLINT(bugprone-parent-virtual-call)
            return;
        }
        QComboBox::changeEvent(event);
    }

    void enterEvent(QEnterEvent* event) override {
        update();
        QComboBox::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override {
        update();
        QComboBox::leaveEvent(event);
    }

    // The whole box is drawn here rather than by a style sheet: Qt's style sheet engine would
    // be set up and polish the box at start only for a face this simple. The sheet comes with
    // the drop-down list (MakeList).
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (!owner_->GetSkin()) {
            p.setPen(QPen(
                isEnabled() && underMouse() ? ThemeColor("accent") : ThemeColor("control_edge"),
                1));
            p.setBrush(ThemeColor("panel_dark"));
            p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
            if (ShowsFocusRing()) {
                DrawFocusRing(p, rect());
            }
        }
        ISkinObj* btn = owner_->BtnSkin();
        const int buttonWidth = btn ? btn->SkinSize().width() + 4 : kChevronWidth;
        const QRect textRect = rect().adjusted(kTextPad, 0, -buttonWidth, 0);
        p.setPen(isEnabled() ? ThemeColor("text") : ThemeColor("text_disabled"));
        // The owner's font, as the list's rows use: the style sheet would reset the box's own.
        p.setFont(owner_->font());
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(owner_->font())
                       .elidedText(currentText(), Qt::ElideRight, textRect.width()));
        if (btn) {
            const QSize size = btn->SkinSize();
            const QRect r(width() - size.width() - 4, (height() - size.height()) / 2, size.width(),
                          size.height());
            const int state = !isEnabled()                       ? 3
                              : listMade_ && view()->isVisible() ? 2
                              : underMouse()                     ? 1
                                                                 : 0;
            btn->Draw(p, r, state);
            return;
        }
        QPen pen(!isEnabled()   ? ThemeColor("text_disabled")
                 : underMouse() ? ThemeColor("accent")
                                : ThemeColor("text_dim"),
                 1.6);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        const QPointF c(width() - 12.5, height() / 2.0 + 0.5);
        p.drawPolyline(
            QPolygonF{{c.x() - 4, c.y() - 2}, {c.x(), c.y() + 2}, {c.x() + 4, c.y() - 2}});
    }

private:
    SComboBox* owner_;
    bool focusRing_ = false;
    bool listMade_ = false;
};

// Rows of the drop-down list. The current entry gets the accent (a gradient wash and a bar on
// the left), the row under the pointer or the keyboard cursor a lighter face; the owner's
// itemSkin (0 hover, 1 selected), when it has one, is drawn beneath.
class ComboItemDelegate : public QStyledItemDelegate {
public:
    ComboItemDelegate(SComboBox* owner, QObject* parent)
        : QStyledItemDelegate(parent), owner_(owner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool current = index.row() == owner_->Combo()->currentIndex();
        const bool hover = (option.state & (QStyle::State_MouseOver | QStyle::State_Selected)) &&
                           (option.state & QStyle::State_Enabled);
        const QRect row = option.rect.adjusted(kPopupPad, 1, -kPopupPad, -1);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillRect(option.rect, ThemeColor("popup"));
        ISkinObj* skin = owner_->ItemSkin();
        if (skin && (current || hover)) {
            skin->Draw(*painter, row, current ? 1 : 0);
        }
        const QColor accent = ThemeColor("accent");
        if (current) {
            QLinearGradient wash(row.topLeft(), row.topRight());
            QColor from = accent;
            QColor to = ThemeColor("accent2");
            from.setAlpha(hover ? 0x70 : 0x55);
            to.setAlpha(hover ? 0x38 : 0x20);
            wash.setColorAt(0, from);
            wash.setColorAt(1, to);
            painter->setPen(Qt::NoPen);
            painter->setBrush(wash);
            painter->drawRoundedRect(QRectF(row), 4, 4);
            painter->setBrush(accent);
            painter->drawRoundedRect(QRectF(row.left(), row.top() + 6, 3, row.height() - 12), 1.5,
                                     1.5);
        } else if (hover && !skin) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(ThemeColor("popup_hover"));
            painter->drawRoundedRect(QRectF(row), 4, 4);
        }
        painter->setPen(!(option.state & QStyle::State_Enabled) ? ThemeColor("text_disabled")
                        : current || hover                      ? QColor(Qt::white)
                                                                : ThemeColor("text"));
        painter->setFont(owner_->font());
        painter->drawText(row.adjusted(12, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QFontMetrics metrics(owner_->font());
        size.setWidth(metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) +
                      2 * kPopupPad + 20);
        size.setHeight(std::max(metrics.height() + 8, SComboBox::kItemHeight));
        return size;
    }

private:
    SComboBox* owner_;
};

void ChevronCombo::MakeList() {
    if (listMade_) {
        return;
    }
    listMade_ = true;
    // "combobox-popup: 0" asks for a list that drops below the box (and keeps to
    // maxVisibleItems) instead of a menu laid over it.
    setStyleSheet(ThemeStyleSheet(QStringLiteral(
        "QComboBox { combobox-popup: 0; }"
        "QComboBox QAbstractItemView { background: @color/popup; color: @color/text;"
        " border: 1px solid @color/edge; border-radius: 6px; padding: 3px 0; outline: none; }")));
    auto* list = new QListView(this);
    list->setMouseTracking(true);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setStyleSheet(ThemeStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 2px; }"
        "QScrollBar::handle:vertical { background: @color/control_edge; border-radius: 2px;"
        " min-height: 20px; }"
        "QScrollBar::handle:vertical:hover { background: @color/accent; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")));
    setView(list);
    setItemDelegate(new ComboItemDelegate(owner_, this));
    // The pop-up's own window: no frame of the platform, and see-through outside the rounded
    // list so its corners show what lies beneath.
    if (QWidget* popup = list->window(); popup != owner_->window()) {
        popup->setWindowFlag(Qt::FramelessWindowHint);
        popup->setAttribute(Qt::WA_TranslucentBackground);
        popup->installEventFilter(owner_);
    }
}

}  // namespace

SComboBox::SComboBox(QWidget* parent) : SWindow(parent), combo_(new ChevronCombo(this)) {
    combo_->setCursor(Qt::PointingHandCursor);
    QObject::connect(combo_, &QComboBox::activated, this,
                     [this](int index) { OnActivated(index); });
}

bool SComboBox::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "curSel")) {
        pendingSel_ = ParseIntValue(value);
        if (!SetCurSel(pendingSel_, false)) {
            return GetCount() == 0;  // applied once the items exist
        }
        return true;
    }
    if (Is(name, "dropHeight")) {
        combo_->setMaxVisibleItems(std::max(1, ParseIntValue(value) / kItemHeight));
        return true;
    }
    if (Is(name, "btnSkin") || Is(name, "itemSkin")) {
        ISkinObj* skin = SkinByName(value);
        if (!skin) {
            return false;
        }
        (Is(name, "btnSkin") ? btnSkin_ : itemSkin_) = skin;
        combo_->update();
        return true;
    }
    // A skinned box draws its face from the skin; the Qt box on top draws only its text.
    return SWindow::SetAttribute(name, value, loading);
}

bool SComboBox::CreateChildren(const pugi::xml_node& element) {
    const SApplication* app = SApplication::Instance();
    for (const pugi::xml_node& item : element.children("item")) {
        QString text = QString::fromUtf8(item.attribute("text").as_string());
        if (app) {
            text = app->ResolveString(text);
        }
        AddString(text, item.attribute("data").as_llong(0));
    }
    if (pendingSel_ >= 0) {
        SetCurSel(pendingSel_, false);
    }
    return true;
}

bool SComboBox::SetCurSel(int index, bool notify) {
    if (index >= GetCount()) {
        return false;
    }
    if (index < 0) {
        index = -1;
    }
    if (index == curSel_) {
        return false;
    }
    const int old = curSel_;
    curSel_ = index;
    syncing_ = true;
    combo_->setCurrentIndex(index);
    syncing_ = false;
    if (notify) {
        EventArgs evt = MakeEvent(kEvtComboSelChanged);
        evt.oldSel = old;
        evt.newSel = index;
        FireEvent(evt);
    }
    return true;
}

void SComboBox::OnActivated(int index) {
    if (syncing_) {
        return;
    }
    if (index != curSel_) {
        SetCurSel(index, true);
    }
}

int SComboBox::GetCount() const {
    return combo_->count();
}

QString SComboBox::GetLBText(int index) const {
    return index >= 0 && index < GetCount() ? combo_->itemText(index) : QString();
}

int SComboBox::AddString(const QString& text, qintptr itemData) {
    return InsertString(-1, text, itemData);
}

int SComboBox::InsertString(int index, const QString& text, qintptr itemData) {
    if (index < 0 || index > GetCount()) {
        index = GetCount();
    }
    syncing_ = true;
    sources_.insert(index, text);
    combo_->insertItem(index, Translate(text), QVariant::fromValue<qlonglong>(itemData));
    if (curSel_ >= index && curSel_ >= 0) {
        ++curSel_;
    }
    // QComboBox selects the first item it gets; the selection stays ours.
    combo_->setCurrentIndex(curSel_);
    syncing_ = false;
    return index;
}

bool SComboBox::DeleteString(int index) {
    if (index < 0 || index >= GetCount()) {
        return false;
    }
    syncing_ = true;
    sources_.removeAt(index);
    combo_->removeItem(index);
    if (curSel_ == index) {
        curSel_ = -1;
    } else if (curSel_ > index) {
        --curSel_;
    }
    combo_->setCurrentIndex(curSel_);
    syncing_ = false;
    return true;
}

void SComboBox::ResetContent() {
    syncing_ = true;
    sources_.clear();
    combo_->clear();
    curSel_ = -1;
    syncing_ = false;
}

qintptr SComboBox::GetItemData(int index) const {
    if (index < 0 || index >= GetCount()) {
        return 0;
    }
    return static_cast<qintptr>(combo_->itemData(index).toLongLong());
}

void SComboBox::OnLanguageChanged() {
    for (int i = 0; i < GetCount() && i < sources_.size(); ++i) {
        combo_->setItemText(i, Translate(sources_[i]));
    }
    SWindow::OnLanguageChanged();
}

void SComboBox::OnPaint(QPainter& painter) {
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, rect(), GetStateIndex4());
        if (static_cast<const ChevronCombo*>(combo_)->ShowsFocusRing()) {
            DrawFocusRing(painter, rect());
        }
    }
}

void SComboBox::resizeEvent(QResizeEvent* event) {
    combo_->setGeometry(GetClientRectLocal());
    SWindow::resizeEvent(event);
}

// The open list holds the pointer, so the face never hears it leave: its hover is looked at
// again once the list closes.
bool SComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && static_cast<const ChevronCombo*>(combo_)->HasList() &&
        watched == combo_->view()->window() && watched != window()) {
        SetHoverState(rect().contains(mapFromGlobal(QCursor::pos())));
    }
    return SWindow::eventFilter(watched, event);
}

}  // namespace kb::ui
