#pragma once

#include <QString>
#include <functional>

namespace kb::ui {

class SWindow;

// Event kinds. Widgets may define further kinds of their own (any other int).
enum EventKind : int {
    kEvtCommand = 10000,             // click on a button, link, check, radio, menu-like widget
    kEvtComboSelChanged = 10001,     // oldSel / newSel
    kEvtSliderPos = 10002,           // pos
    kEvtListViewSelChanged = 10003,  // oldSel / newSel
    kEvtTabSelChanged = 10004,       // oldSel / newSel
    kEvtTabItemHover = 10005,        // index = header under the pointer ("on_tab_item_hover")
    kEvtTabItemLeave = 10006,        // index = header the pointer left ("on_tab_item_leave")
    kEvtRichEditNotify = 10007,      // notifyCode (kEnChange on every text change)
    kEvtHeaderClick = 10008,         // index = clicked column of a multi-column list header
    kEvtKeyEnter = 10000500,         // raised by the program's edit box when Enter is pressed
};

// Notify code of kEvtRichEditNotify for a text change.
inline constexpr int kEnChange = 0x300;

// One event record. Only the fields of its kind carry meaning; the rest keep their defaults.
struct EventArgs {
    int kind = 0;
    SWindow* sender = nullptr;
    int senderId = 0;
    QString senderName;
    bool handled = false;

    int oldSel = -1;     // selection changes
    int newSel = -1;     // selection changes
    int pos = 0;         // slider position
    int notifyCode = 0;  // rich-edit notify
    int index = -1;      // tab header / list header index

    bool Is(int k, const QString& name) const { return kind == k && senderName == name; }
    bool IsId(int k, int lo, int hi) const { return kind == k && senderId >= lo && senderId <= hi; }
};

// A subscriber gets the event and returns whether it handled it.
using EventHandler = std::function<bool(EventArgs&)>;

// Binds a member function: Subscribe(kind, MemberHandler(this, &CMainDlg::OnProfile)).
template <class T>
EventHandler MemberHandler(T* obj, bool (T::*fn)(EventArgs&)) {
    return [obj, fn](EventArgs& e) { return (obj->*fn)(e); };
}

}  // namespace kb::ui
