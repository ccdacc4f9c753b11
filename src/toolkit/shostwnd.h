#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "toolkit/swnd.h"

class QEventLoop;

namespace kb::ui {

// Receives the host's animation ticks (every 10 ms while registered).
class ITimelineHandler {
public:
    virtual ~ITimelineHandler() = default;
    virtual void OnNextFrame() = 0;
};

// Window-level notifications a host passes to its message hook (Win32 numbering).
enum HostMsg : unsigned {
    kWmCreate = 0x0001,
    kWmDestroy = 0x0002,
    kWmClose = 0x0010,
    kWmInitDialog = 0x0110,
    kWmCommand = 0x0111,  // wParam: low word command id, high word notification code
    kWmSysCommand = 0x0112,
    kWmDeviceChange = 0x0219,
};
inline constexpr qintptr kScMinimize = 0xF020;
inline constexpr qintptr kScMaximize = 0xF030;
inline constexpr qintptr kScClose = 0xF060;
inline constexpr qintptr kScRestore = 0xF120;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

constexpr qintptr MakeWParam(int low, int high) {
    return static_cast<qintptr>((static_cast<unsigned>(high & 0xFFFF) << 16) |
                                static_cast<unsigned>(low & 0xFFFF));
}
constexpr int LowWord(qintptr v) {
    return static_cast<int>(v & 0xFFFF);
}
constexpr int HighWord(qintptr v) {
    return static_cast<int>((v >> 16) & 0xFFFF);
}

// A frameless, skinned top-level window built from a layout ("LAYOUT:XML_MAINWND").
// The layout root's attributes size (W,H), title, trCtx, skin, colorBkgnd, radius describe it;
// its children become widgets under GetRoot(), which fills the window.
class SHostWnd : public QWidget {
public:
    explicit SHostWnd(const QString& layoutName);
    ~SHostWnd() override;

    // Loads the layout and builds the widgets, then sends kWmCreate. A layout that does not
    // load or parse leaves the window empty and returns false. `owner` becomes the parent
    // window (the host stays a separate top-level window).
    bool CreateHost(QWidget* owner = nullptr);
    bool IsCreated() const { return created_; }
    const QString& LayoutName() const { return layoutName_; }
    SWindow* GetRoot() const { return root_; }

    SWindow* FindChildByName(const QString& name, int depth = -1) const;
    SWindow* FindChildByID(int id, int depth = -1) const;
    template <class T>
    T* FindChildByName2(const QString& name, int depth = -1) const {
        return root_ ? root_->FindChildByName2<T>(name, depth) : nullptr;
    }
    template <class T>
    T* FindChildByID2(int id, int depth = -1) const {
        return root_ ? root_->FindChildByID2<T>(id, depth) : nullptr;
    }

    // Runs the message hook, then (when it did not handle the message) the default handling:
    // kWmClose destroys the window; kWmDestroy ends the message loop when this is the main
    // window; kWmSysCommand minimises, maximises, restores or closes.
    qintptr SendHostMessage(unsigned msg, qintptr wParam = 0, qintptr lParam = 0);
    // The same, later from the event loop.
    void PostHostMessage(unsigned msg, qintptr wParam = 0, qintptr lParam = 0);
    // Hides the window and sends kWmDestroy (once). The object itself stays for its owner.
    void DestroyWindow();
    bool IsDestroyed() const { return destroyed_; }
    // When set, destroying this window ends SApplication::Run with exit code 1.
    void SetMainWindow(bool main) { mainWindow_ = main; }
    void CenterOnScreen();

    // Widgets' events arrive here when no subscriber handled them.
    bool DispatchEvent(EventArgs& evt);

    // Translates the layout's title again into the window title (the system's title bar and
    // task list); the root runs it on the set-language notification.
    void RetranslateTitle();

    // Animation timeline: a 10 ms timer runs while at least one handler is registered.
    // Registering twice has no effect; handlers may unregister from inside a tick.
    void RegisterTimelineHandler(ITimelineHandler* handler);
    void UnregisterTimelineHandler(ITimelineHandler* handler);
    bool IsTimelineRunning() const { return timer_.isActive(); }
    size_t TimelineHandlerCount() const { return timeline_.size(); }
    // One tick to every registered handler (the timer calls it; tests may too).
    void RunTimelineTick();
    static constexpr int kTimelineIntervalMs = 10;

protected:
    // The control-event hook: dispatch by kind and sender name or id; return true when handled.
    virtual bool OnEvent(EventArgs& /*evt*/) { return false; }
    // The message hook, before the default handling. Return true (and set result) to stop it.
    virtual bool OnHostMessage(unsigned /*msg*/, qintptr /*wParam*/, qintptr /*lParam*/,
                               qintptr& /*result*/) {
        return false;
    }
    virtual qintptr DefHostMessage(unsigned msg, qintptr wParam, qintptr lParam);

    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Where the layout's content goes: the whole window, or centred at the layout's size while
    // the window is maximized or full screen.
    QRect ContentRect() const;
    // A maximized window shows its restore button ("btn_restore", "btnRestore") in place of
    // its maximize button ("btn_max", "btnMax"); a normal one the other way round.
    void UpdateWindowButtons();

    QString layoutName_;
    SWindow* root_ = nullptr;
    QString titleSource_;  // the layout's title, untranslated
    bool created_ = false;
    bool destroyed_ = false;
    bool mainWindow_ = false;
    ISkinObj* bkSkin_ = nullptr;
    QColor bkColor_;
    int radius_ = 0;
    QSize layoutSize_;
    QTimer timer_;
    std::vector<ITimelineHandler*> timeline_;
};

// A modal dialog over an owner, which is disabled while the dialog runs.
class SHostDialog : public SHostWnd {
public:
    explicit SHostDialog(const QString& layoutName);
    ~SHostDialog() override;

    // Creates the window when needed, sends kWmInitDialog, disables the owner, shows the dialog
    // and waits; returns the code of the first EndDialog call. The owner is enabled again and
    // the dialog hidden before it returns.
    int Run(QWidget* owner = nullptr);
    // Ends the dialog with `code`; later calls are ignored.
    void EndDialog(int code);
    bool IsRunning() const { return loop_ != nullptr; }

protected:
    // kWmClose ends the dialog with kIdCancel.
    qintptr DefHostMessage(unsigned msg, qintptr wParam, qintptr lParam) override;
    // Escape sends kWmClose.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QEventLoop* loop_ = nullptr;
    bool ended_ = false;
    int code_ = 0;
};

}  // namespace kb::ui
