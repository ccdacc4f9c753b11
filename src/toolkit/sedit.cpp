#include "toolkit/sedit.h"

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

SEdit::SEdit(QWidget* parent) : SWindow(parent), edit_(new QLineEdit(this)) {
    edit_->setFrame(false);
    edit_->installEventFilter(this);
    edit_->setAttribute(Qt::WA_MacShowFocusRect, false);
    QObject::connect(edit_, &QLineEdit::textChanged, this, [this](const QString&) {
        EventArgs evt = MakeEvent(kEvtRichEditNotify);
        evt.notifyCode = kEnChange;
        FireEvent(evt);
    });
    UpdateStyle();
}

void SEdit::UpdateStyle() {
    const QColor text = ColorText().isValid() ? ColorText() : ThemeColor("text");
    const bool skinned = GetSkin() != nullptr;
    const QColor bk = ColorBkgnd().isValid() ? ColorBkgnd() : ThemeColor("panel_dark");
    edit_->setStyleSheet(
        QStringLiteral("QLineEdit { background: %1; color: %2; border: %3; border-radius: 4px;"
                       " padding: 0 6px; selection-background-color: %4; }"
                       "QLineEdit:focus { border: %5; }"
                       "QLineEdit:disabled { color: %6; }")
            .arg(skinned ? QStringLiteral("transparent") : bk.name(QColor::HexArgb), text.name(),
                 skinned ? QStringLiteral("none")
                         : QStringLiteral("1px solid ") + ThemeColor("control_edge").name(),
                 ThemeColor("accent").darker(150).name(),
                 skinned ? QStringLiteral("none")
                         : QStringLiteral("1px solid ") + ThemeColor("accent").name(),
                 ThemeColor("text_disabled").name()));
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::PlaceholderText,
                 cueColor_.isValid() ? cueColor_ : ThemeColor("text_dim"));
    edit_->setPalette(pal);
}

bool SEdit::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "cueText")) {
        cueSource_ = value;
        SetCueText(Translate(value));
        return true;
    }
    if (Is(name, "cueColor")) {
        const SApplication* app = SApplication::Instance();
        QColor color;
        if (!app || !app->ParseColor(value, color)) {
            return false;
        }
        cueColor_ = color;
        UpdateStyle();
        return true;
    }
    if (Is(name, "readonly")) {
        SetReadOnly(ParseIntValue(value) != 0);
        return true;
    }
    if (Is(name, "number")) {
        if (ParseIntValue(value) != 0) {
            edit_->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit_));
        } else {
            edit_->setValidator(nullptr);
        }
        return true;
    }
    if (Is(name, "align")) {
        const bool ok = SWindow::SetAttribute(name, value, loading);
        edit_->setAlignment(TextAlign());
        return ok;
    }
    const bool ok = SWindow::SetAttribute(name, value, loading);
    if (ok && (Is(name, "colorText") || Is(name, "colorBkgnd") || Is(name, "skin"))) {
        UpdateStyle();
    }
    return ok;
}

void SEdit::SetText(const QString& text, bool translate) {
    SWindow::SetText(text, translate);
    edit_->setText(SWindow::GetText());
}

QString SEdit::GetText(bool raw) const {
    return raw ? SWindow::GetText(true) : edit_->text();
}

void SEdit::SetReadOnly(bool readOnly) {
    edit_->setReadOnly(readOnly);
}

void SEdit::SetCueText(const QString& cue) {
    edit_->setPlaceholderText(cue);
}

bool SEdit::OnEditKeyPress(QKeyEvent& /*event*/) {
    return false;
}

bool SEdit::OnEditMouse(QMouseEvent& /*event*/) {
    return false;
}

void SEdit::OnLanguageChanged() {
    if (!cueSource_.isEmpty()) {
        SetCueText(Translate(cueSource_));
    }
    // The box's text is the user's: it is not translated again.
    update();
}

void SEdit::OnPaint(QPainter& painter) {
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, rect(), GetStateIndex4());
    }
}

void SEdit::resizeEvent(QResizeEvent* event) {
    edit_->setGeometry(GetClientRectLocal());
    SWindow::resizeEvent(event);
}

bool SEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_) {
        switch (event->type()) {
            case QEvent::KeyPress:
                return OnEditKeyPress(*static_cast<QKeyEvent*>(event));
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return OnEditMouse(*static_cast<QMouseEvent*>(event));
            default:
                break;
        }
    }
    return SWindow::eventFilter(watched, event);
}

}  // namespace kb::ui
