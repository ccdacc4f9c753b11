#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "toolkit/swnd.h"

namespace kb::ui {

// "text": a label.
class SStatic : public SWindow {
    KB_UI_CLASS(SStatic, SWindow, "text")
public:
    explicit SStatic(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;

protected:
    void DrawWndText(QPainter& painter, const QRect& rect, const QString& text) override;

private:
    bool multiLines_ = false;  // attribute "multiLines": word wrap
};

// "link": a clickable text; raises kEvtCommand.
class SLink : public SStatic {
    KB_UI_CLASS(SLink, SStatic, "link")
public:
    explicit SLink(QWidget* parent = nullptr);

protected:
    void DrawWndText(QPainter& painter, const QRect& rect, const QString& text) override;
    void OnClick() override;
};

}  // namespace kb::ui
