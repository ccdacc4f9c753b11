#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kb::ui {

// Message-box types.
inline constexpr int kMbOk = 0;             // one OK button
inline constexpr int kMbOkCancel = 1;       // OK and Cancel
inline constexpr int kMbOkInformation = 2;  // one OK button, the information icon

// The layout the box is drawn from, and the translation context used when it is missing.
inline constexpr const char* kMsgBoxLayout = "LAYOUT:SYS_XML_MSGBOX";
inline constexpr const char* kMsgBoxContext = "msgbox";

// Shows a modal message box over `owner` (may be null) and returns the pressed button's id:
// kIdOk (1) or kIdCancel (2). Closing an OK-only box answers kIdOk; closing an OK/Cancel box
// answers kIdCancel. Text and caption are translated in the layout's context. Drawn from
// kMsgBoxLayout (controls msgtitle, msgicon, msgtext, btnSwitch, button1st..button3rd); when that
// layout does not load, a QMessageBox with the same owner, text, caption and buttons is used.
int SMessageBox(QWidget* owner, const QString& text, const QString& caption, int type);

// For tests: called with the box (the host dialog, or the fallback QMessageBox) once it is shown
// and waiting for an answer. The hook must answer it, for example by clicking a button.
using MessageBoxHook = std::function<void(QWidget* box)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace kb::ui
