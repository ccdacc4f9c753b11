#include "toolkit/simagewnd.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QWindow>
#include <algorithm>
#include <pugixml.hpp>

#include "toolkit/attribute_value.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "toolkit/sskin.h"
#include "toolkit/theme.h"
#include "toolkit/widget_parts.h"

namespace kb::ui {

using namespace widget_parts;

SImageWnd::SImageWnd(QWidget* parent) : SWindow(parent) {
    SetClickThrough(true);
}

bool SImageWnd::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "src")) {
        const SApplication* app = SApplication::Instance();
        QPixmap image = app ? app->LoadPixmap(value) : QPixmap();
        if (image.isNull()) {
            return false;  // the image shown before stays
        }
        SetImage(image);
        return true;
    }
    if (Is(name, "state") || Is(name, "iconIndex")) {
        SetIcon(ParseIntValue(value));
        return true;
    }
    return SWindow::SetAttribute(name, value, loading);
}

void SImageWnd::SetIcon(int state) {
    state_ = state;
    update();
}

void SImageWnd::SetImage(const QPixmap& image) {
    image_ = image;
    update();
}

QSize SImageWnd::GetDesiredSize() const {
    if (!image_.isNull() && !GetSkin()) {
        return image_.deviceIndependentSize().toSize().grownBy(GetMargin());
    }
    return SWindow::GetDesiredSize();
}

void SImageWnd::OnPaint(QPainter& painter) {
    if (ColorBkgnd().isValid()) {
        painter.fillRect(rect(), ColorBkgnd());
    }
    const QRect client = GetClientRectLocal();
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, client, state_);
    } else if (!image_.isNull()) {
        painter.drawPixmap(client, image_);
    }
}

}  // namespace kb::ui
