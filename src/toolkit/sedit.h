#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "toolkit/swnd.h"

class QLineEdit;
class QKeyEvent;

namespace kb::ui {

// "edit": a one-line text box (a QLineEdit inside). Every text change raises
// kEvtRichEditNotify with notifyCode kEnChange. SetText/GetText work on the box's text.
// Attributes: cueText, cueColor, readonly, number (digits only).
class SEdit : public SWindow {
    KB_UI_CLASS(SEdit, SWindow, "edit")
public:
    explicit SEdit(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    void SetText(const QString& text, bool translate = false) override;
    QString GetText(bool raw = false) const override;
    QLineEdit* LineEdit() const { return edit_; }
    void SetReadOnly(bool readOnly);
    void SetCueText(const QString& cue);

protected:
    // Hooks on the inner box's input, seen before the box. Return true to swallow the event.
    // Mouse presses and releases reach OnEditMouse even while the box is disabled.
    virtual bool OnEditKeyPress(QKeyEvent& event);
    virtual bool OnEditMouse(QMouseEvent& event);
    void OnLanguageChanged() override;
    void OnPaint(QPainter& painter) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateStyle();
    QLineEdit* edit_ = nullptr;
    QString cueSource_;
    QColor cueColor_;
};

}  // namespace kb::ui
