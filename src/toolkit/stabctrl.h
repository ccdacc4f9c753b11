#pragma once

#include <vector>

#include "toolkit/swnd.h"

namespace kb::ui {

// "page": one page of a tab control. Attributes: title (translated), iconIndex (-1 = use the
// page index as icon state).
class STabPage : public SWindow {
    KB_UI_CLASS(STabPage, SWindow, "page")
public:
    explicit STabPage(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    QString GetTitle() const;  // translated
    void SetTitle(const QString& title, bool translate = true);
    int GetIconIndex() const { return iconIndex_; }
    void SetIconIndex(int index) { iconIndex_ = index; }

protected:
    void OnLanguageChanged() override;

private:
    QString titleSource_;
    bool titleTr_ = true;
    QString titleShown_;
    int iconIndex_ = -1;
};

// "tabctrl": a strip of headers over a page area. Pages come from child elements through
// CreatePageFromXml. Attributes: curSel, tabWidth, tabHeight, tabInterSize, tabInterSkin,
// tabSkin (header states: normal 0, hover 1, selected 2), iconSkin, icon-x, icon-y, text-x,
// text-y (-1 = centred), tabAlign (top / left), skin (frame over the page area).
//
// Header item states passed to DrawItem: 0 normal, 1 under the pointer, 2 selected.
// Events: kEvtTabSelChanged (oldSel, newSel) on a selection change; while the pointer moves
// over the strip, when the header under it changes: kEvtTabItemLeave for the previous header
// (if any), then kEvtTabItemHover for the new one (if any); leaving the control sends a leave
// for the last header. Both carry the header index in EventArgs::index.
class STabCtrl : public SWindow {
    KB_UI_CLASS(STabCtrl, SWindow, "tabctrl")
public:
    enum class Align { Top, Left };

    explicit STabCtrl(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    bool CreateChildren(const pugi::xml_node& element) override;
    void OnCreated() override;

    int GetCurSel() const { return curSel_; }
    // Shows page `index` and raises kEvtTabSelChanged when it changed. False for an index out
    // of range or the current one.
    bool SetCurSel(int index);
    int GetItemCount() const { return static_cast<int>(pages_.size()); }
    STabPage* GetItem(int index) const;
    // Appends a page built in code; returns its index.
    int InsertItem(STabPage* page, int index = -1);
    int HoverItem() const { return hoverItem_; }

    // Geometry (local coordinates).
    QRect GetTitleRect() const;                   // the whole header strip
    QRect GetItemRect(int index) const;           // one header; empty for a bad index
    QRect GetPageRect() const;                    // the page area
    QRect IconRect(const QRect& itemRect) const;  // icon place within a header

    // Tab strip settings, for derived controls.
    Align TabAlign() const { return align_; }
    QSize TabSize() const { return tabSize_; }
    int TabInterSize() const { return interSize_; }
    ISkinObj* TabInterSkin() const { return interSkin_; }
    ISkinObj* TabSkin() const { return tabSkin_; }
    ISkinObj* IconSkin() const { return iconSkin_; }
    QPoint IconPos() const { return iconPos_; }
    QPoint TextPos() const { return textPos_; }

protected:
    // Builds a page from one child element; nullptr when the element is not a page of this
    // control (it is then skipped). Default: elements whose tag is a registered class that is
    // an STabPage ("page" and tags deriving from it).
    virtual STabPage* CreatePageFromXml(const pugi::xml_node& element);
    // Draws one header: tab skin in `state`, icon (DrawItemIcon), title.
    virtual void DrawItem(QPainter& painter, const QRect& rect, int index, int state);
    // Draws the icon in its place: iconSkin state = the page's iconIndex, or index when -1.
    virtual void DrawItemIcon(QPainter& painter, const QRect& iconRect, int index, int state);
    // Default paint: strip separators + headers, then the frame skin over the page area.
    void OnPaint(QPainter& painter) override;
    void OnLButtonDown(QMouseEvent& event) override;
    void OnMouseMove(QMouseEvent& event) override;
    void OnMouseLeave() override;
    void resizeEvent(QResizeEvent* event) override;
    // Watches the pages for the pointer entering them.
    bool eventFilter(QObject* watched, QEvent* event) override;
    int HitTest(const QPoint& pt) const;  // header index under pt, -1 when none
    void SetHoverItem(int index);         // raises leave / hover events

private:
    void LayoutPages();
    void AddPage(STabPage* page, int index);
    std::vector<STabPage*> pages_;
    int curSel_ = -1;
    int pendingSel_ = 0;
    int hoverItem_ = -1;
    Align align_ = Align::Top;
    QSize tabSize_{100, 30};
    int interSize_ = 0;
    ISkinObj* interSkin_ = nullptr;
    ISkinObj* tabSkin_ = nullptr;
    ISkinObj* iconSkin_ = nullptr;
    QPoint iconPos_{0, 0};
    QPoint textPos_{-1, -1};
};

}  // namespace kb::ui
