#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "toolkit/swnd.h"

namespace kb::ui {

// "caption": dragging it moves the frameless host window; a double click toggles maximised.
class SCaption : public SWindow {
    KB_UI_CLASS(SCaption, SWindow, "caption")
public:
    explicit SCaption(QWidget* parent = nullptr);

protected:
    void OnLButtonDown(QMouseEvent& event) override;
    void OnLButtonUp(QMouseEvent& event) override;
    void OnMouseMove(QMouseEvent& event) override;
    void OnLButtonDblClk(QMouseEvent& event) override;

private:
    bool pressed_ = false;
    bool dragging_ = false;
    QPoint pressPos_;
    QPoint dragOffset_;
};

}  // namespace kb::ui
