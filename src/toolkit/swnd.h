#pragma once

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "toolkit/sevent.h"

class QPainter;
class QMouseEvent;

namespace pugi {
class xml_node;
}

namespace kb::ui {

class ISkinObj;
class SHostWnd;
class ITimelineHandler;

// The set-language notification: every widget re-translates its texts and passes it on.
inline constexpr unsigned kMsgSetLanguage = 2025;

// Failed lookups (FindChildByName2 / FindChildByID2) report here. The default does nothing.
using DebugHook = std::function<void(const QString&)>;
void SetDebugHook(DebugHook hook);
void DebugReport(const QString& text);

// Put at the top of every widget class body: declares the class tag and chains the class test
// to the base, so IsClass answers for the class and all its bases.
#define KB_UI_CLASS(ThisClass, BaseClass, tag)                                  \
public:                                                                         \
    static constexpr const char* kClassTag = tag;                               \
    static constexpr const char* kBaseTag = BaseClass::kClassTag;               \
    const char* GetClassTag() const override {                                  \
        return kClassTag;                                                       \
    }                                                                           \
    bool IsClass(const QString& t) const override {                             \
        return t.compare(QLatin1String(kClassTag), Qt::CaseInsensitive) == 0 || \
               BaseClass::IsClass(t);                                           \
    }

// Widget state flags (GetState).
enum WndState : int {
    kStateNormal = 0,
    kStateHover = 1,
    kStatePushDown = 2,
    kStateDisabled = 4,
    kStateChecked = 8,
};

// The base of every toolkit widget ("window"): a plain container that Qt paints.
//
// Names avoid the Win32 macros (SetWindowText, SendMessage, DrawText, LoadImage...).
//
// Coordinates: painting and the mouse hooks use widget-local coordinates (0,0 = the widget's
// top-left); GetWindowRect / GetClientRect give the rectangles in host-window coordinates.
// The children of a widget are placed relative to its client area (rect less margin).
class SWindow : public QWidget {
public:
    static constexpr const char* kClassTag = "window";

    explicit SWindow(QWidget* parent = nullptr);
    ~SWindow() override;

    // ---- class test --------------------------------------------------------------------
    virtual const char* GetClassTag() const { return kClassTag; }
    // Tag comparison ignores case. Derived classes answer for their tag, then the base's.
    virtual bool IsClass(const QString& tag) const;

    // ---- identity ----------------------------------------------------------------------
    const QString& GetName() const { return name_; }
    void SetName(const QString& name) { name_ = name; }
    int GetID() const { return id_; }
    void SetID(int id) { id_ = id; }

    // ---- text --------------------------------------------------------------------------
    // translate = true keeps `text` as the source and shows its translation in TrContext();
    // it is translated again on every set-language notification. With false the text shows
    // as given (texts set by code, such as a status line, stay literal across switches).
    virtual void SetText(const QString& text, bool translate = false);
    // The text as shown (translated); raw = true gives the source text.
    virtual QString GetText(bool raw = false) const;
    void SetToolTipText(const QString& tip, bool translate = false);
    // The accessible name follows the shown text, else the tooltip.
    void UpdateAccessibleName();
    QString GetToolTipText() const { return tipShown_; }
    // The tooltip as set, before translation, and whether it is translated.
    const QString& ToolTipSource() const { return tipSource_; }
    bool ToolTipTranslated() const { return tipTr_; }
    // Translation context: the widget's own, else its parent's.
    QString TrContext() const;
    void SetTrContext(const QString& context) { trCtx_ = context; }

    // ---- state -------------------------------------------------------------------------
    void SetVisible(bool visible);
    bool IsVisible() const { return !isHidden(); }  // the widget's own flag
    void EnableWindow(bool enable);
    bool IsDisabled() const { return !isEnabled(); }
    virtual void SetCheck(bool checked);
    bool IsChecked() const { return checked_; }
    qintptr GetUserData() const { return userData_; }
    void SetUserData(qintptr value) { userData_ = value; }
    bool IsHover() const { return hover_; }
    bool IsPressed() const { return pressed_; }
    // Combination of WndState flags.
    int GetState() const;
    // Four-state skin index: disabled 3, pressed 2, hover 1, else 0.
    int GetStateIndex4() const;
    // Eight-state index: the four-state one, plus 4 when checked.
    int GetStateIndex8() const;

    // ---- geometry ----------------------------------------------------------------------
    QRect GetWindowRect() const;  // host coordinates
    QRect GetClientRect() const;  // host coordinates, less the margin
    QRect GetClientRectLocal() const { return rect().marginsRemoved(margin_); }
    const QMargins& GetMargin() const { return margin_; }
    void SetMargin(const QMargins& margin);
    // Places the widget at rect, given relative to the parent's client area.
    void Move(const QRect& rectInParentClient);
    void Invalidate() { update(); }
    void InvalidateRect(const QRect& localRect) { update(localRect); }
    // Size used when the layout's pos leaves width or height out (or gives -1).
    virtual QSize GetDesiredSize() const;
    // A click-through widget passes mouse presses on to the widget under it (labels, images,
    // plain containers); hover and tooltips still work.
    void SetClickThrough(bool through) { clickThrough_ = through; }
    bool IsClickThrough() const { return clickThrough_; }

    // ---- look --------------------------------------------------------------------------
    ISkinObj* GetSkin() const { return skin_; }
    void SetSkin(ISkinObj* skin);
    QColor ColorText() const { return colorText_; }
    QColor ColorBkgnd() const { return colorBkgnd_; }
    QColor ColorBorder() const { return colorBorder_; }
    void SetColorText(const QColor& c);
    void SetColorBkgnd(const QColor& c);
    void SetColorBorder(const QColor& c);
    Qt::Alignment TextAlign() const { return align_; }
    void SetTextAlign(Qt::Alignment align);

    // ---- tree --------------------------------------------------------------------------
    SWindow* GetParentWnd() const;  // nearest SWindow ancestor
    SHostWnd* GetHost() const;      // the host window holding this widget, or nullptr
    std::vector<SWindow*> GetChildWindows() const;  // direct toolkit children, in order
    // Searches all descendants (depth -1) or depth levels; nullptr when none matches.
    SWindow* FindChildByName(const QString& name, int depth = -1) const;
    SWindow* FindChildByID(int id, int depth = -1) const;
    // The same, also requiring IsClass(classTag); failures go to the debug hook.
    SWindow* FindChildByName2(const QString& name, const QString& classTag, int depth = -1) const;
    SWindow* FindChildByID2(int id, const QString& classTag, int depth = -1) const;
    template <class T>
    T* FindChildByName2(const QString& name, int depth = -1) const {
        return dynamic_cast<T*>(FindChildByName2(name, QLatin1String(T::kClassTag), depth));
    }
    template <class T>
    T* FindChildByID2(int id, int depth = -1) const {
        return dynamic_cast<T*>(FindChildByID2(id, QLatin1String(T::kClassTag), depth));
    }

    // ---- events ------------------------------------------------------------------------
    // Subscribers of a kind run in order until one handles the event; an unhandled event then
    // goes to the host's OnEvent.
    void SubscribeEvent(int kind, EventHandler handler);
    void UnsubscribeEvent(int kind);
    // Fills sender, id and name; returns whether someone handled it.
    bool FireEvent(EventArgs& evt);
    EventArgs MakeEvent(int kind);

    // ---- messages ----------------------------------------------------------------------
    // kMsgSetLanguage re-translates this widget and every descendant. Others return 0.
    virtual qintptr SendWndMessage(unsigned msg, qintptr wParam = 0, qintptr lParam = 0);

    // ---- animation timeline (through the host; false without a host) ---------------------
    bool RegisterTimelineHandler(ITimelineHandler* handler);
    bool UnregisterTimelineHandler(ITimelineHandler* handler);

    // ---- layout ------------------------------------------------------------------------
    // Applies the element's attributes, creates its children, then calls OnCreated.
    bool InitFromXml(const pugi::xml_node& element);
    // One attribute (name compared without case, value after "@string/" resolution).
    // Returns whether the attribute applied; derived classes handle theirs, then call the base.
    virtual bool SetAttribute(const QString& name, const QString& value, bool loading = false);
    // Creates the child widgets of element (handles <include>, skips unknown tags).
    // Containers with special children (pages, templates, items) override it.
    virtual bool CreateChildren(const pugi::xml_node& element);
    // Creates one child widget from a layout element through the factory registry; nullptr for
    // an unknown tag.
    SWindow* CreateChildFromXml(const pugi::xml_node& element);
    // Runs once the element has been read (attributes applied, children created).
    virtual void OnCreated() {}

protected:
    // ---- paint and mouse hooks (local coordinates) --------------------------------------
    // Default: background (skin state GetStateIndex4 or colour, border), then text.
    virtual void OnPaint(QPainter& painter);
    virtual void DrawBackground(QPainter& painter);
    virtual void DrawWndText(QPainter& painter, const QRect& rect, const QString& text);
    virtual void DrawFocus(QPainter& painter);
    // Where the text goes: the client rectangle by default (local coordinates).
    virtual QRect GetTextRect() const;

    // Defaults keep hover/pressed state and repaint; a release inside after a press calls OnClick.
    virtual void OnLButtonDown(QMouseEvent& event);
    virtual void OnLButtonUp(QMouseEvent& event);
    virtual void OnLButtonDblClk(QMouseEvent& event);
    virtual void OnMouseMove(QMouseEvent& event);
    virtual void OnMouseHover();  // pointer entered
    virtual void OnMouseLeave();  // pointer left
    virtual void OnClick() {}
    // Called after hover, press, enable or check changed (flags of WndState).
    virtual void OnStateChanged(int oldState, int newState);
    // Re-translates text and tooltip from their sources.
    virtual void OnLanguageChanged();

    // Qt plumbing; derived classes use the hooks above.
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

    void SetHoverState(bool hover);
    void SetPressedState(bool pressed);
    // Text shown for a source (through the translator when translatable).
    QString Translate(const QString& source) const;

private:
    QString name_;
    int id_ = 0;
    QString trCtx_;
    QString textSource_;
    QString textShown_;
    bool textTr_ = false;
    QString tipSource_;
    QString tipShown_;
    bool tipTr_ = false;
    bool checked_ = false;
    bool hover_ = false;
    bool pressed_ = false;
    bool clickThrough_ = false;
    qintptr userData_ = 0;
    QMargins margin_;
    ISkinObj* skin_ = nullptr;
    QColor colorText_;
    QColor colorBkgnd_;
    QColor colorBorder_;
    Qt::Alignment align_ = Qt::AlignLeft | Qt::AlignVCenter;
    QRect layoutPos_;  // x,y,w,h from the layout, relative to the parent's client area
    std::map<int, std::vector<EventHandler>> subscribers_;
};

}  // namespace kb::ui
