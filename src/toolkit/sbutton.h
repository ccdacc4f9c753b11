#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "toolkit/swnd.h"

class QKeyEvent;

namespace kb::ui {

// "button": a push button with text; skin states normal, hover, pressed, disabled.
// A release over the button after a press raises kEvtCommand.
// Tab reaches it (a click does not move the focus); Space or Enter then clicks it. Focus given
// otherwise (a window coming up) neither shows nor clicks.
class SButton : public SWindow {
    KB_UI_CLASS(SButton, SWindow, "button")
public:
    explicit SButton(QWidget* parent = nullptr);
    QSize GetDesiredSize() const override;

protected:
    void OnPaint(QPainter& painter) override;
    void OnClick() override;
    void DrawFocus(QPainter& painter) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool focusFromKeyboard_ = false;
};

// "imgbtn": a button drawn from a 4-state skin only.
class SImageButton : public SButton {
    KB_UI_CLASS(SImageButton, SButton, "imgbtn")
public:
    explicit SImageButton(QWidget* parent = nullptr);
};

}  // namespace kb::ui
