#pragma once

// What the toolkit's basic widgets share inside the toolkit: name tests, skins by name, the
// face colours of unskinned controls and the focus ring.
#include <QColor>
#include <QPainter>
#include <QString>

#include "toolkit/sapp.h"
#include "toolkit/swnd.h"
#include "toolkit/theme.h"

namespace kb::ui::widget_parts {

inline bool Is(const QString& name, const char* key) {
    return name.compare(QLatin1String(key), Qt::CaseInsensitive) == 0;
}

inline ISkinObj* SkinByName(const QString& name) {
    const SApplication* app = SApplication::Instance();
    return app ? app->GetSkin(name) : nullptr;
}

// An entry of the application's colour table, else the built-in default.
inline QColor FaceColor(int stateIndex4) {
    switch (stateIndex4) {
        case 1:
            return ThemeColor("face_hover");
        case 2:
            return ThemeColor("face_pressed");
        case 3:
            return ThemeColor("panel");
        default:
            return ThemeColor("face");
    }
}

// Every toolkit widget below `root`, depth first.
template <class Fn>
void ForEachDescendant(SWindow* root, Fn fn) {
    for (SWindow* child : root->GetChildWindows()) {
        fn(child);
        ForEachDescendant(child, fn);
    }
}

// The accent ring of a control that has the keyboard focus.
inline void DrawFocusRing(QPainter& painter, const QRect& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ThemeColor("accent"), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect).adjusted(0.75, 0.75, -0.75, -0.75), 5, 5);
    painter.restore();
}

}  // namespace kb::ui::widget_parts
