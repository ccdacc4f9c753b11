#pragma once

#include <memory>
#include <vector>

#include "toolkit/swnd.h"

class QScrollArea;

namespace pugi {
class xml_document;
}

namespace kb::ui {

class SListView;

// Something watching an adapter's data.
class IDataSetObserver {
public:
    virtual ~IDataSetObserver() = default;
    virtual void OnDataSetChanged() = 0;
};

// Supplies the rows of a "listview".
class SAdapterBase {
public:
    virtual ~SAdapterBase();
    virtual int GetCount() = 0;
    // Fills the view of row `position`. `item` is the row's root window: on first use the view
    // has already built the layout's <template> into it (so item->GetChildWindows() is not
    // empty); its user data is the row index. Find the row's widgets by name under `item`.
    virtual void GetView(int position, SWindow* item, const pugi::xml_node& xmlTemplate) = 0;
    // Makes every attached view query the count and the rows again.
    void NotifyDataSetChanged();

    void RegisterObserver(IDataSetObserver* observer);
    void UnregisterObserver(IDataSetObserver* observer);

private:
    std::vector<IDataSetObserver*> observers_;
};

// Header sort mark of one column.
enum class SortMark { None, Up, Down };

// Supplies the rows and columns of a "mclistview".
class SMcAdapterBase : public SAdapterBase {
public:
    // Name of the row widget placed under header column `column`. Default: the header item's
    // name (an empty result also falls back to it).
    virtual QString GetColumnName(int column) const;
    // A header click on `column`. `marks` holds the current mark of every column; the adapter
    // may change them (and reorder its data). Return true to apply the marks and refresh.
    virtual bool OnSort(int column, std::vector<SortMark>& marks);
};

// Root window of one list row ("itempanel"); a click on it or inside it selects the row and
// raises kEvtCommand from the panel.
class SItemPanel : public SWindow {
    KB_UI_CLASS(SItemPanel, SWindow, "itempanel")
public:
    SItemPanel(SListView* list, QWidget* parent);
    int Index() const { return static_cast<int>(GetUserData()); }
    bool IsSelected() const { return selected_; }
    void SetSelected(bool selected);
    // Called by the list when a press lands on the panel or one of its descendants.
    void NotifyPressed();

protected:
    void OnPaint(QPainter& painter) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    SListView* list_;
    bool selected_ = false;
};

// "listview": rows of itemHeight pixels from an adapter, built from the child <template>.
// Attributes: itemHeight, colorSelText, colorSelBkgnd, colorItemBkgnd (row backgrounds),
// itemSkin (row skin: normal, hover, selected).
class SListView : public SWindow, protected IDataSetObserver {
    KB_UI_CLASS(SListView, SWindow, "listview")
public:
    explicit SListView(QWidget* parent = nullptr);
    ~SListView() override;
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    bool CreateChildren(const pugi::xml_node& element) override;

    void SetAdapter(std::shared_ptr<SAdapterBase> adapter);
    SAdapterBase* GetAdapter() const { return adapter_.get(); }
    int GetItemCount() const { return static_cast<int>(rows_.size()); }
    SItemPanel* GetItemPanel(int index) const;  // nullptr when out of range
    int GetSel() const { return sel_; }
    // Selects a row (-1 = none); with notify a kEvtListViewSelChanged (oldSel, newSel) follows
    // when the selection changed. An index past the end selects nothing.
    void SetSel(int index, bool notify = false);
    void EnsureVisible(int index);
    int ItemHeight() const { return itemHeight_; }
    // How many rows have built their template so far (each row builds it once).
    int TemplateBuilds() const { return templateBuilds_; }
    const pugi::xml_node TemplateNode() const;

    // Called by a row panel when it was clicked.
    void OnItemPressed(SItemPanel* panel);
    // The list is one Tab stop: arrows, Home, End and the page keys select rows as a click
    // does; Enter or F2 edits the selected row's first editable field.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

protected:
    void OnDataSetChanged() override;
    void resizeEvent(QResizeEvent* event) override;
    // Rows laid out while hidden saw a stale viewport width; lay them out again once shown.
    void showEvent(QShowEvent* event) override;
    virtual void LayoutRows();
    // Places the row's widgets after the adapter filled it (multi-column lists use it).
    virtual void ArrangeRow(SItemPanel* /*panel*/) {}
    // Area the rows scroll in (local coordinates).
    virtual QRect RowsArea() const;
    QWidget* RowsContainer() const;

    friend class SItemPanel;
    QColor colorSelBkgnd_;
    QColor colorSelText_;
    QColor colorItemBkgnd_;
    ISkinObj* itemSkin_ = nullptr;

private:
    void Refresh();
    void PlaceRowsInTabOrder();
    // Moves the selection to row index (clamped) as a click on it would.
    void SelectByKeyboard(int index);
    bool EditSelectedRow();
    std::shared_ptr<SAdapterBase> adapter_;
    std::unique_ptr<pugi::xml_document> template_;
    std::vector<SItemPanel*> rows_;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    int itemHeight_ = 30;
    int sel_ = -1;
    int templateBuilds_ = 0;
};

// The header of a multi-column list.
struct McColumn {
    QString name;
    QString text;  // source text, translated when shown
    int width = 80;
    SortMark mark = SortMark::None;
};

// "mclistview": a list with a header of columns (<header><item name= text= width=/></header>)
// and a row <template>; row widgets named after the columns are placed under their column.
// A header click calls the adapter's OnSort. Attribute headerHeight (default 28).
class SMcListView : public SListView {
public:
    static constexpr const char* kClassTag = "mclistview";
    static constexpr const char* kBaseTag = "window";
    const char* GetClassTag() const override { return kClassTag; }
    // Answers for "mclistview" and "window" (not "listview").
    bool IsClass(const QString& tag) const override;

    explicit SMcListView(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    bool CreateChildren(const pugi::xml_node& element) override;

    void SetAdapter(std::shared_ptr<SMcAdapterBase> adapter);
    SMcAdapterBase* GetMcAdapter() const { return mcAdapter_; }
    int GetColumnCount() const { return static_cast<int>(columns_.size()); }
    const McColumn& GetColumn(int index) const { return columns_.at(static_cast<size_t>(index)); }
    void InsertColumn(int index, const QString& name, const QString& text, int width);
    SortMark GetSortMark(int column) const;
    void SetSortMark(int column, SortMark mark);
    int HeaderHeight() const { return headerHeight_; }
    // Header column rectangle (local coordinates).
    QRect ColumnRect(int column) const;
    // What a click on header column `column` does (also used by the mouse handler).
    void ClickHeader(int column);

protected:
    void OnPaint(QPainter& painter) override;
    void OnLButtonUp(QMouseEvent& event) override;
    void OnMouseMove(QMouseEvent& event) override;
    void OnMouseLeave() override;
    void OnLanguageChanged() override;
    void ArrangeRow(SItemPanel* panel) override;
    QRect RowsArea() const override;

private:
    int ColumnAt(const QPoint& pt) const;
    SMcAdapterBase* mcAdapter_ = nullptr;
    std::vector<McColumn> columns_;
    int headerHeight_ = 28;
    int hoverColumn_ = -1;
};

}  // namespace kb::ui
