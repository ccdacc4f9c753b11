#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "toolkit/swnd.h"

namespace kb::ui {

// "img": shows a skin state (attributes "skin" + "state") or an image ("src" = type:name).
class SImageWnd : public SWindow {
    KB_UI_CLASS(SImageWnd, SWindow, "img")
public:
    explicit SImageWnd(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    // The skin state shown.
    void SetIcon(int state);
    int GetIcon() const { return state_; }
    void SetImage(const QPixmap& image);
    const QPixmap& GetImage() const { return image_; }
    QSize GetDesiredSize() const override;

protected:
    void OnPaint(QPainter& painter) override;

private:
    int state_ = 0;
    QPixmap image_;
};

}  // namespace kb::ui
