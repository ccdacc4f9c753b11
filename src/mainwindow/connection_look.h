#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <vector>

namespace kb::ui {
class SWindow;
}  // namespace kb::ui

namespace kb {

class LightingPanelView;

// How the main window shows the connection: the status text and its colour, the controls that
// need the keyboard greyed with a tooltip saying why, and the notice line that stands in for
// the hint for a while after an action whose reports failed.
class ConnectionLook {
public:
    ConnectionLook();
    ConnectionLook(const ConnectionLook&) = delete;
    ConnectionLook& operator=(const ConnectionLook&) = delete;

    // The status text, the hint, the notice line and the controls that need the keyboard below
    // root, the lighting panel among them. The keyboard picture is not among them: its dialog
    // edits the macro library offline.
    void Find(ui::SWindow& root, LightingPanelView* lighting);

    // Shows the status; greys the controls (or brings them back) when it changed. True when it
    // changed.
    bool Show(bool connected);
    // "Connecting…" in the status line, before the first exchange.
    void ShowConnecting();
    bool Connected() const { return connected_; }

    // The notice line in place of the hint, translated in the main window's context, for
    // kNoticeMs.
    void ShowNotice(const char* text);
    void HideNotice();
    // The notice showing, empty when none shows.
    QString Notice() const;

private:
    std::vector<ui::SWindow*> Controls() const;

    ui::SWindow* status_ = nullptr;
    ui::SWindow* hint_ = nullptr;
    ui::SWindow* notice_ = nullptr;
    ui::SWindow* profile_ = nullptr;
    ui::SWindow* factoryRestore_ = nullptr;
    LightingPanelView* lighting_ = nullptr;
    bool connected_ = true;
    // Tooltips replaced while disconnected: control, source, translated.
    struct SavedTip {
        QPointer<ui::SWindow> window;
        QString source;
        bool translated = false;
    };
    std::vector<SavedTip> savedTips_;
    QTimer noticeTimer_;
};

}  // namespace kb
