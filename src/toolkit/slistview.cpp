#include "toolkit/slistview.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <pugixml.hpp>

#include "toolkit/attribute_value.h"
#include "toolkit/sapp.h"
#include "toolkit/sskin.h"
#include "toolkit/theme.h"
#include "toolkit/widget_parts.h"

namespace kb::ui {

namespace {

bool Is(const QString& name, const char* key) {
    return name.compare(QLatin1String(key), Qt::CaseInsensitive) == 0;
}

const char* kScrollStyle =
    "QScrollArea { background: transparent; border: none; }"
    "QScrollBar:vertical { background: transparent; width: 8px; margin: 0; }"
    "QScrollBar::handle:vertical { background: @color/control_edge; border-radius: 4px;"
    " min-height: 24px; }"
    "QScrollBar::handle:vertical:hover { background: @color/accent; }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }";

}  // namespace

// ---- adapters -----------------------------------------------------------------------------

SAdapterBase::~SAdapterBase() = default;

void SAdapterBase::NotifyDataSetChanged() {
    // A copy: an observer may detach while being told.
    const std::vector<IDataSetObserver*> observers = observers_;
    for (IDataSetObserver* observer : observers) {
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) {
            observer->OnDataSetChanged();
        }
    }
}

void SAdapterBase::RegisterObserver(IDataSetObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void SAdapterBase::UnregisterObserver(IDataSetObserver* observer) {
    std::erase(observers_, observer);
}

QString SMcAdapterBase::GetColumnName(int /*column*/) const {
    return {};
}

bool SMcAdapterBase::OnSort(int /*column*/, std::vector<SortMark>& /*marks*/) {
    return false;
}

// ---- row panel ----------------------------------------------------------------------------

SItemPanel::SItemPanel(SListView* list, QWidget* parent) : SWindow(parent), list_(list) {}

void SItemPanel::SetSelected(bool selected) {
    if (selected_ != selected) {
        selected_ = selected;
        update();
    }
}

void SItemPanel::NotifyPressed() {
    if (list_) {
        list_->OnItemPressed(this);
    }
}

void SItemPanel::OnPaint(QPainter& painter) {
    const int state = selected_ ? 2 : (IsHover() ? 1 : 0);
    if (list_ && list_->itemSkin_) {
        list_->itemSkin_->Draw(painter, rect(), state);
    } else if (selected_) {
        painter.fillRect(rect(), list_ && list_->colorSelBkgnd_.isValid()
                                     ? list_->colorSelBkgnd_
                                     : ThemeColor("selection"));
        painter.fillRect(QRect(0, 0, 3, height()), ThemeColor("accent"));
    } else if (IsHover()) {
        painter.fillRect(rect(), ThemeColor("hover"));
    } else if (list_ && list_->colorItemBkgnd_.isValid()) {
        painter.fillRect(rect(), list_->colorItemBkgnd_);
    }
    // The focused list marks the row the arrows move from (the first while none is selected).
    if (list_ && list_->hasFocus() && (selected_ || (list_->GetSel() < 0 && Index() == 0))) {
        widget_parts::DrawFocusRing(painter, rect().adjusted(1, 1, -1, -1));
    }
}

bool SItemPanel::eventFilter(QObject* watched, QEvent* event) {
    // A press anywhere in the row selects it; the child still gets the press.
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        NotifyPressed();
    }
    return SWindow::eventFilter(watched, event);
}

void SItemPanel::childEvent(QChildEvent* event) {
    SWindow::childEvent(event);
}

// ---- list view ----------------------------------------------------------------------------

SListView::SListView(QWidget* parent)
    : SWindow(parent), scroll_(new QScrollArea(this)), content_(new QWidget) {
    // The list itself is the Tab stop; its rows' fields take focus by click or Enter.
    setFocusPolicy(Qt::StrongFocus);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setStyleSheet(ThemeStyleSheet(QLatin1String(kScrollStyle)));
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setWidget(content_);
    // After setWidget, which turns the content's background filling on.
    content_->setAutoFillBackground(false);
    scroll_->setWidgetResizable(false);
}

SListView::~SListView() {
    if (adapter_) {
        adapter_->UnregisterObserver(this);
    }
}

bool SListView::SetAttribute(const QString& name, const QString& value, bool loading) {
    const SApplication* app = SApplication::Instance();
    if (Is(name, "itemHeight")) {
        itemHeight_ = std::max(1, ParseIntValue(value));
        LayoutRows();
        return true;
    }
    if (Is(name, "colorSelText") || Is(name, "colorSelBkgnd") || Is(name, "colorItemBkgnd")) {
        QColor color;
        if (!app || !app->ParseColor(value, color)) {
            return false;
        }
        (Is(name, "colorSelText")    ? colorSelText_
         : Is(name, "colorSelBkgnd") ? colorSelBkgnd_
                                     : colorItemBkgnd_) = color;
        update();
        return true;
    }
    if (Is(name, "itemSkin")) {
        itemSkin_ = app ? app->GetSkin(value) : nullptr;
        return itemSkin_ != nullptr;
    }
    return SWindow::SetAttribute(name, value, loading);
}

bool SListView::CreateChildren(const pugi::xml_node& element) {
    const pugi::xml_node tmpl = element.child("template");
    if (tmpl) {
        template_ = std::make_unique<pugi::xml_document>();
        template_->append_copy(tmpl);
    }
    return true;
}

const pugi::xml_node SListView::TemplateNode() const {
    return template_ ? template_->document_element() : pugi::xml_node();
}

void SListView::SetAdapter(std::shared_ptr<SAdapterBase> adapter) {
    if (adapter_) {
        adapter_->UnregisterObserver(this);
    }
    adapter_ = std::move(adapter);
    if (adapter_) {
        adapter_->RegisterObserver(this);
    }
    Refresh();
}

SItemPanel* SListView::GetItemPanel(int index) const {
    if (index < 0 || index >= GetItemCount()) {
        return nullptr;
    }
    return rows_[static_cast<size_t>(index)];
}

void SListView::OnDataSetChanged() {
    Refresh();
}

void SListView::Refresh() {
    const int count = adapter_ ? std::max(0, adapter_->GetCount()) : 0;
    while (GetItemCount() > count) {
        SItemPanel* panel = rows_.back();
        rows_.pop_back();
        // Later: the row may be the sender of the event that led here.
        panel->hide();
        panel->setParent(nullptr);
        panel->deleteLater();
    }
    const pugi::xml_node tmpl = TemplateNode();
    while (GetItemCount() < count) {
        auto* panel = new SItemPanel(this, content_);
        panel->CreateChildren(tmpl);
        ++templateBuilds_;
        for (QWidget* w : panel->findChildren<QWidget*>()) {
            w->installEventFilter(panel);
        }
        panel->show();
        rows_.push_back(panel);
    }
    if (sel_ >= count) {
        sel_ = -1;
    }
    for (int i = 0; i < count; ++i) {
        SItemPanel* panel = rows_[static_cast<size_t>(i)];
        panel->SetUserData(i);
        panel->SetSelected(i == sel_);
        adapter_->GetView(i, panel, tmpl);
    }
    PlaceRowsInTabOrder();
    LayoutRows();
}

void SListView::PlaceRowsInTabOrder() {
    // Rows are built after the rest of the window, which puts their fields at the end of the
    // focus chain; they belong right after the list, so Tab from a field being edited goes
    // on to the control after the list. Tab itself stops at the list only.
    QWidget* previous = this;
    for (SItemPanel* row : rows_) {
        for (QWidget* field : row->findChildren<QWidget*>()) {
            if (field->focusPolicy() & Qt::TabFocus) {
                field->setFocusPolicy(Qt::ClickFocus);
                field->setProperty("kbRowField", true);
            }
            if (field->property("kbRowField").toBool()) {
                QWidget::setTabOrder(previous, field);
                previous = field;
            }
        }
    }
}

void SListView::SelectByKeyboard(int index) {
    const int count = GetItemCount();
    if (count == 0) {
        return;
    }
    index = std::clamp(index, 0, count - 1);
    EnsureVisible(index);
    OnItemPressed(GetItemPanel(index));
}

bool SListView::EditSelectedRow() {
    SItemPanel* row = GetItemPanel(sel_);
    if (row == nullptr) {
        return false;
    }
    for (QLineEdit* field : row->findChildren<QLineEdit*>()) {
        if (!field->isReadOnly() && field->isEnabled() && field->isVisible()) {
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
            return true;
        }
    }
    return false;
}

void SListView::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier)) {
        SWindow::keyPressEvent(event);
        return;
    }
    const int page = std::max(1, RowsArea().height() / std::max(1, itemHeight_) - 1);
    switch (event->key()) {
        case Qt::Key_Up:
            SelectByKeyboard(sel_ < 0 ? 0 : sel_ - 1);
            return;
        case Qt::Key_Down:
            SelectByKeyboard(sel_ < 0 ? 0 : sel_ + 1);
            return;
        case Qt::Key_Home:
            SelectByKeyboard(0);
            return;
        case Qt::Key_End:
            SelectByKeyboard(GetItemCount() - 1);
            return;
        case Qt::Key_PageUp:
            SelectByKeyboard(sel_ < 0 ? 0 : sel_ - page);
            return;
        case Qt::Key_PageDown:
            SelectByKeyboard(sel_ < 0 ? 0 : sel_ + page);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F2:
            if (EditSelectedRow()) {
                return;
            }
            break;
        default:
            break;
    }
    SWindow::keyPressEvent(event);
}

void SListView::focusInEvent(QFocusEvent* event) {
    SWindow::focusInEvent(event);
    for (SItemPanel* row : rows_) {
        row->update();
    }
}

void SListView::focusOutEvent(QFocusEvent* event) {
    SWindow::focusOutEvent(event);
    for (SItemPanel* row : rows_) {
        row->update();
    }
}

void SListView::LayoutRows() {
    const QRect area = RowsArea();
    scroll_->setGeometry(area);
    const int width =
        scroll_->viewport()->width() > 0 ? scroll_->viewport()->width() : area.width();
    content_->resize(width, itemHeight_ * GetItemCount());
    for (int i = 0; i < GetItemCount(); ++i) {
        SItemPanel* panel = rows_[static_cast<size_t>(i)];
        panel->setGeometry(0, i * itemHeight_, width, itemHeight_);
        ArrangeRow(panel);
    }
}

QRect SListView::RowsArea() const {
    return GetClientRectLocal();
}

QWidget* SListView::RowsContainer() const {
    return content_;
}

void SListView::resizeEvent(QResizeEvent* event) {
    SWindow::resizeEvent(event);
    LayoutRows();
}

void SListView::showEvent(QShowEvent* event) {
    SWindow::showEvent(event);
    LayoutRows();
}

void SListView::SetSel(int index, bool notify) {
    if (index < 0 || index >= GetItemCount()) {
        index = -1;
    }
    if (index == sel_) {
        return;
    }
    const int old = sel_;
    sel_ = index;
    for (int i = 0; i < GetItemCount(); ++i) {
        rows_[static_cast<size_t>(i)]->SetSelected(i == sel_);
    }
    EnsureVisible(sel_);
    if (notify) {
        EventArgs evt = MakeEvent(kEvtListViewSelChanged);
        evt.oldSel = old;
        evt.newSel = sel_;
        FireEvent(evt);
    }
}

void SListView::EnsureVisible(int index) {
    if (SItemPanel* panel = GetItemPanel(index)) {
        scroll_->ensureWidgetVisible(panel, 0, 0);
    }
}

void SListView::OnItemPressed(SItemPanel* panel) {
    if (!panel) {
        return;
    }
    SetSel(panel->Index(), true);
    EventArgs evt = panel->MakeEvent(kEvtCommand);
    panel->FireEvent(evt);
}

// ---- multi-column list view ---------------------------------------------------------------

SMcListView::SMcListView(QWidget* parent) : SListView(parent) {}

bool SMcListView::IsClass(const QString& tag) const {
    return tag.compare(QLatin1String(kClassTag), Qt::CaseInsensitive) == 0 || SWindow::IsClass(tag);
}

bool SMcListView::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "headerHeight")) {
        headerHeight_ = std::max(0, ParseIntValue(value));
        LayoutRows();
        return true;
    }
    return SListView::SetAttribute(name, value, loading);
}

bool SMcListView::CreateChildren(const pugi::xml_node& element) {
    const SApplication* app = SApplication::Instance();
    for (const pugi::xml_node& item : element.child("header").children("item")) {
        QString text = QString::fromUtf8(item.attribute("text").as_string());
        if (app) {
            text = app->ResolveString(text);
        }
        InsertColumn(
            GetColumnCount(), QString::fromUtf8(item.attribute("name").as_string()), text,
            item.attribute("width") ? ParseIntegerAttribute(item.attribute("width").value()) : 80);
    }
    return SListView::CreateChildren(element);
}

void SMcListView::SetAdapter(std::shared_ptr<SMcAdapterBase> adapter) {
    mcAdapter_ = adapter.get();
    SListView::SetAdapter(std::move(adapter));
}

void SMcListView::InsertColumn(int index, const QString& name, const QString& text, int width) {
    index = std::clamp(index, 0, GetColumnCount());
    columns_.insert(columns_.begin() + index, McColumn{name, text, std::max(0, width)});
    LayoutRows();
    update();
}

SortMark SMcListView::GetSortMark(int column) const {
    if (column < 0 || column >= GetColumnCount()) {
        return SortMark::None;
    }
    return columns_[static_cast<size_t>(column)].mark;
}

void SMcListView::SetSortMark(int column, SortMark mark) {
    if (column >= 0 && column < GetColumnCount()) {
        columns_[static_cast<size_t>(column)].mark = mark;
        update(0, 0, width(), headerHeight_ + GetMargin().top());
    }
}

QRect SMcListView::ColumnRect(int column) const {
    if (column < 0 || column >= GetColumnCount()) {
        return {};
    }
    const QRect client = GetClientRectLocal();
    int x = client.left();
    for (int i = 0; i < column; ++i) {
        x += columns_[static_cast<size_t>(i)].width;
    }
    return {x, client.top(), columns_[static_cast<size_t>(column)].width, headerHeight_};
}

QRect SMcListView::RowsArea() const {
    return GetClientRectLocal().adjusted(0, headerHeight_, 0, 0);
}

int SMcListView::ColumnAt(const QPoint& pt) const {
    for (int i = 0; i < GetColumnCount(); ++i) {
        if (ColumnRect(i).contains(pt)) {
            return i;
        }
    }
    return -1;
}

void SMcListView::ClickHeader(int column) {
    if (column < 0 || column >= GetColumnCount()) {
        return;
    }
    EventArgs evt = MakeEvent(kEvtHeaderClick);
    evt.index = column;
    FireEvent(evt);
    if (!mcAdapter_) {
        return;
    }
    std::vector<SortMark> marks;
    for (const McColumn& c : columns_) {
        marks.push_back(c.mark);
    }
    if (!mcAdapter_->OnSort(column, marks)) {
        return;
    }
    for (size_t i = 0; i < columns_.size() && i < marks.size(); ++i) {
        columns_[i].mark = marks[i];
    }
    update();
    OnDataSetChanged();
}

void SMcListView::ArrangeRow(SItemPanel* panel) {
    int x = 0;
    for (int i = 0; i < GetColumnCount(); ++i) {
        const McColumn& column = columns_[static_cast<size_t>(i)];
        QString name = mcAdapter_ ? mcAdapter_->GetColumnName(i) : QString();
        if (name.isEmpty()) {
            name = column.name;
        }
        if (SWindow* cell = panel->FindChildByName(name, 1)) {
            cell->setGeometry(x, 0, column.width, panel->height());
        }
        x += column.width;
    }
}

void SMcListView::OnPaint(QPainter& painter) {
    DrawBackground(painter);
    const QRect client = GetClientRectLocal();
    painter.fillRect(QRect(client.left(), client.top(), client.width(), headerHeight_),
                     ThemeColor("panel"));
    painter.setFont(font());
    for (int i = 0; i < GetColumnCount(); ++i) {
        const McColumn& column = columns_[static_cast<size_t>(i)];
        const QRect r = ColumnRect(i);
        if (i == hoverColumn_) {
            painter.fillRect(r, ThemeColor("face"));
        }
        painter.setPen(ThemeColor("edge"));
        painter.drawLine(r.right(), r.top() + 6, r.right(), r.bottom() - 6);
        painter.setPen(ColorText().isValid() ? ColorText() : ThemeColor("text_dim"));
        painter.drawText(r.adjusted(10, 0, -18, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         Translate(column.text));
        if (column.mark != SortMark::None) {
            const QPointF c(r.right() - 10, r.center().y() + 0.5);
            QPolygonF tri;
            if (column.mark == SortMark::Up) {
                tri << QPointF(c.x() - 4, c.y() + 2) << QPointF(c.x() + 4, c.y() + 2)
                    << QPointF(c.x(), c.y() - 3);
            } else {
                tri << QPointF(c.x() - 4, c.y() - 2) << QPointF(c.x() + 4, c.y() - 2)
                    << QPointF(c.x(), c.y() + 3);
            }
            painter.setPen(Qt::NoPen);
            painter.setBrush(ThemeColor("accent"));
            painter.drawPolygon(tri);
        }
    }
    painter.setPen(ThemeColor("edge"));
    painter.drawLine(client.left(), client.top() + headerHeight_ - 1, client.right(),
                     client.top() + headerHeight_ - 1);
}

void SMcListView::OnLButtonUp(QMouseEvent& event) {
    const bool wasPressed = IsPressed();
    SListView::OnLButtonUp(event);
    if (wasPressed) {
        ClickHeader(ColumnAt(event.position().toPoint()));
    }
}

void SMcListView::OnMouseMove(QMouseEvent& event) {
    const int column = ColumnAt(event.position().toPoint());
    if (column != hoverColumn_) {
        hoverColumn_ = column;
        update();
    }
}

void SMcListView::OnMouseLeave() {
    hoverColumn_ = -1;
    SListView::OnMouseLeave();
}

void SMcListView::OnLanguageChanged() {
    SListView::OnLanguageChanged();
    update();
}

}  // namespace kb::ui
