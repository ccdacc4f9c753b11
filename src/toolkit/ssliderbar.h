#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "toolkit/swnd.h"

namespace kb::ui {

// "sliderbar": an integer value between min and max. Attributes min, max, value, vertical,
// skin (the track), posSkin (the filled part), thumbSkin. Dragging raises kEvtSliderPos (pos).
class SSliderBar : public SWindow {
    KB_UI_CLASS(SSliderBar, SWindow, "sliderbar")
public:
    explicit SSliderBar(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    int GetValue() const { return value_; }
    // Clamped into [min, max]; repaints. Raises no event.
    void SetValue(int value);
    void SetRange(int minValue, int maxValue);
    int GetMin() const { return min_; }
    int GetMax() const { return max_; }
    bool IsVertical() const { return vertical_; }
    // Track, thumb and filled rectangles (local coordinates).
    QRect TrackRect() const;
    QRect ThumbRect() const;

protected:
    void OnPaint(QPainter& painter) override;
    void OnLButtonDown(QMouseEvent& event) override;
    void OnLButtonUp(QMouseEvent& event) override;
    void OnMouseMove(QMouseEvent& event) override;
    // The arrows, Home, End and the page keys move the value as a drag does.
    void keyPressEvent(QKeyEvent* event) override;
    void DrawFocus(QPainter& painter) override;

private:
    int ValueAt(const QPoint& pt) const;
    void DragTo(const QPoint& pt);
    void MoveTo(int value);
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    bool vertical_ = false;
    bool dragging_ = false;
    ISkinObj* thumbSkin_ = nullptr;
    ISkinObj* posSkin_ = nullptr;
};

}  // namespace kb::ui
