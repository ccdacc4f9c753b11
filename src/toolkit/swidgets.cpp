#include "toolkit/swidgets.h"

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

namespace kb::ui {

namespace {

// Dark theme defaults for widgets without a skin.
constexpr int kPopupPad = 4;  // between the list's edge and a row's highlight
constexpr int kPopupGap = 3;  // between the box and its drop-down list

bool Is(const QString& name, const char* key) {
    return name.compare(QLatin1String(key), Qt::CaseInsensitive) == 0;
}

ISkinObj* SkinByName(const QString& name) {
    const SApplication* app = SApplication::Instance();
    return app ? app->GetSkin(name) : nullptr;
}

// An entry of the application's colour table, else the built-in default.
QColor FaceColor(int stateIndex4) {
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
void DrawFocusRing(QPainter& painter, const QRect& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ThemeColor("accent"), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect).adjusted(0.75, 0.75, -0.75, -0.75), 5, 5);
    painter.restore();
}

}  // namespace

// ---- caption ------------------------------------------------------------------------------

SCaption::SCaption(QWidget* parent) : SWindow(parent) {}

void SCaption::OnLButtonDown(QMouseEvent& event) {
    QWidget* top = window();
    if (top == this) {
        return;
    }
    // The window system moves the window where it can (Wayland allows nothing else).
    if (top->windowHandle() && top->windowHandle()->startSystemMove()) {
        return;
    }
    dragging_ = true;
    dragOffset_ = event.globalPosition().toPoint() - top->frameGeometry().topLeft();
}

void SCaption::OnLButtonUp(QMouseEvent& /*event*/) {
    dragging_ = false;
}

void SCaption::OnMouseMove(QMouseEvent& event) {
    if (dragging_ && (event.buttons() & Qt::LeftButton)) {
        window()->move(event.globalPosition().toPoint() - dragOffset_);
    }
}

void SCaption::OnLButtonDblClk(QMouseEvent& /*event*/) {
    if (SHostWnd* host = GetHost()) {
        host->SendHostMessage(kWmSysCommand, host->isMaximized() ? kScRestore : kScMaximize);
    }
}

// ---- text and link ------------------------------------------------------------------------

SStatic::SStatic(QWidget* parent) : SWindow(parent) {
    SetClickThrough(true);
}

bool SStatic::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "multiLines")) {
        multiLines_ = ParseIntValue(value) != 0;
        update();
        return true;
    }
    return SWindow::SetAttribute(name, value, loading);
}

void SStatic::DrawWndText(QPainter& painter, const QRect& rect, const QString& text) {
    if (!multiLines_) {
        SWindow::DrawWndText(painter, rect, text);
        return;
    }
    painter.setPen(!isEnabled()            ? ThemeColor("text_disabled")
                   : ColorText().isValid() ? ColorText()
                                           : ThemeColor("text"));
    painter.setFont(font());
    painter.drawText(rect, static_cast<int>(TextAlign()) | Qt::TextWordWrap, text);
}

SLink::SLink(QWidget* parent) : SStatic(parent) {
    SetClickThrough(false);
    setCursor(Qt::PointingHandCursor);
}

void SLink::DrawWndText(QPainter& painter, const QRect& rect, const QString& text) {
    QFont f = font();
    f.setUnderline(IsHover());
    painter.setFont(f);
    painter.setPen(!isEnabled()            ? ThemeColor("text_disabled")
                   : ColorText().isValid() ? ColorText()
                                           : ThemeColor("accent"));
    painter.drawText(rect, static_cast<int>(TextAlign()), text);
}

void SLink::OnClick() {
    EventArgs evt = MakeEvent(kEvtCommand);
    FireEvent(evt);
}

// ---- image --------------------------------------------------------------------------------

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

// ---- buttons ------------------------------------------------------------------------------

SButton::SButton(QWidget* parent) : SWindow(parent) {
    SetTextAlign(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void SButton::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool activates = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!activates || !focusFromKeyboard_ || event->modifiers() != Qt::NoModifier ||
        event->isAutoRepeat()) {
        SWindow::keyPressEvent(event);
        return;
    }
    if (!IsDisabled()) {
        OnClick();  // last: a handler may end a dialog
    }
}

void SButton::DrawFocus(QPainter& painter) {
    if (focusFromKeyboard_) {
        DrawFocusRing(painter, rect());
    }
}

void SButton::focusInEvent(QFocusEvent* event) {
    focusFromKeyboard_ =
        event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    SWindow::focusInEvent(event);
    update();
}

void SButton::focusOutEvent(QFocusEvent* event) {
    focusFromKeyboard_ = false;
    SWindow::focusOutEvent(event);
    update();
}

QSize SButton::GetDesiredSize() const {
    if (GetSkin()) {
        return SWindow::GetDesiredSize();
    }
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(GetText()) + 24, fm.height() + 12).grownBy(GetMargin());
}

void SButton::OnPaint(QPainter& painter) {
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, rect(), GetStateIndex4());
    } else {
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const int state = GetStateIndex4();
        painter.setBrush(ColorBkgnd().isValid() && state == 0 ? ColorBkgnd() : FaceColor(state));
        painter.setPen(
            state == 1 ? ThemeColor("accent")
                       : (ColorBorder().isValid() ? ColorBorder() : ThemeColor("control_edge")));
        painter.drawRoundedRect(box, 4, 4);
    }
    const QString text = GetText();
    if (!text.isEmpty()) {
        DrawWndText(painter, GetTextRect(), text);
    }
    if (hasFocus()) {
        DrawFocus(painter);
    }
}

void SButton::OnClick() {
    EventArgs evt = MakeEvent(kEvtCommand);
    FireEvent(evt);
}

SImageButton::SImageButton(QWidget* parent) : SButton(parent) {}

// ---- edit ---------------------------------------------------------------------------------

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

// ---- check box and radio ------------------------------------------------------------------
// ----------------------------------------------------------------------------

namespace {

constexpr int kIndicator = 16;
constexpr int kIndicatorGap = 8;

QRect IndicatorAt(const QRect& client, Qt::Alignment align) {
    int x = client.left();
    if (align & Qt::AlignHCenter) {
        x = client.center().x() - kIndicator / 2;
    } else if (align & Qt::AlignRight) {
        x = client.right() + 1 - kIndicator;
    }
    int y = client.center().y() - kIndicator / 2 + 1;
    if (align & Qt::AlignTop) {
        y = client.top();
    } else if (align & Qt::AlignBottom) {
        y = client.bottom() + 1 - kIndicator;
    }
    return {x, y, kIndicator, kIndicator};
}

// Skin state of a check or radio: the full 8 states when the skin has them, else the
// four-state look with the last state meaning "checked".
int ToggleSkinState(const SWindow& w, const ISkinObj& skin) {
    const int states = skin.States();
    if (states >= 8) {
        return w.GetStateIndex8();
    }
    if (w.IsChecked()) {
        return states - 1;
    }
    return std::min(w.GetStateIndex4(), states - 1);
}

}  // namespace

SToggleButton::SToggleButton(QWidget* parent) : SButton(parent) {
    SetTextAlign(Qt::AlignLeft | Qt::AlignVCenter);
}

bool SToggleButton::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "checked")) {
        SetCheck(ParseIntValue(value) != 0);
        return true;
    }
    if (Is(name, "focusSkin")) {
        focusSkin_ = SkinByName(value);
        return focusSkin_ != nullptr;
    }
    return SButton::SetAttribute(name, value, loading);
}

QSize SToggleButton::GetDesiredSize() const {
    if (GetSkin()) {
        return SButton::GetDesiredSize();
    }
    const QFontMetrics fm(font());
    return QSize(kIndicator + kIndicatorGap + fm.horizontalAdvance(GetText()),
                 std::max(kIndicator, fm.height()))
        .grownBy(GetMargin());
}

QRect SToggleButton::IndicatorRect() const {
    return IndicatorAt(GetClientRectLocal(), Qt::AlignLeft | Qt::AlignVCenter);
}

QRect SToggleButton::GetTextRect() const {
    if (GetSkin()) {
        return GetClientRectLocal();
    }
    return GetClientRectLocal().adjusted(kIndicator + kIndicatorGap, 0, 0, 0);
}

void SToggleButton::OnPaint(QPainter& painter) {
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, GetClientRectLocal(), ToggleSkinState(*this, *skin));
    } else {
        DrawIndicator(painter, QRectF(IndicatorRect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    const QString text = GetText();
    if (!text.isEmpty()) {
        DrawWndText(painter, GetTextRect(), text);
    }
    if (hasFocus()) {
        DrawFocus(painter);
    }
}

void SToggleButton::DrawFocus(QPainter& painter) {
    if (focusSkin_) {
        focusSkin_->Draw(painter, GetClientRectLocal(), 0);
    }
}

SCheckBox::SCheckBox(QWidget* parent) : SToggleButton(parent) {}

void SCheckBox::DrawIndicator(QPainter& painter, const QRectF& box) {
    const bool on = IsChecked();
    painter.setPen(IsHover() || on ? ThemeColor("accent") : ThemeColor("control_edge"));
    painter.setBrush(on ? ThemeColor("accent") : ThemeColor("panel_dark"));
    if (IsDisabled()) {
        painter.setPen(ThemeColor("control_edge"));
        painter.setBrush(ThemeColor("panel"));
    }
    painter.drawRoundedRect(box, 3, 3);
    if (on) {
        QPen pen(IsDisabled() ? ThemeColor("text_disabled") : ThemeColor("panel_dark"), 2.0);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        const QRectF r = box.adjusted(3.5, 3.5, -3.5, -3.5);
        QPainterPath tick;
        tick.moveTo(r.left(), r.center().y());
        tick.lineTo(r.left() + r.width() * 0.4, r.bottom());
        tick.lineTo(r.right(), r.top());
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
    }
}

void SCheckBox::OnClick() {
    SetCheck(!IsChecked());
    EventArgs evt = MakeEvent(kEvtCommand);
    FireEvent(evt);
}

// ---- radio --------------------------------------------------------------------------------

SRadioBox::SRadioBox(QWidget* parent) : SToggleButton(parent) {}

bool SRadioBox::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "group")) {
        group_ = value;
        return true;
    }
    if (Is(name, "iconAlign") || Is(name, "iconValign")) {
        const QString v = value.trimmed().toLower();
        if (Is(name, "iconAlign")) {
            iconAlign_ &= ~Qt::AlignHorizontal_Mask;
            iconAlign_ |= v == QLatin1String("center")  ? Qt::AlignHCenter
                          : v == QLatin1String("right") ? Qt::AlignRight
                                                        : Qt::AlignLeft;
        } else {
            iconAlign_ &= ~Qt::AlignVertical_Mask;
            iconAlign_ |= v == QLatin1String("top")      ? Qt::AlignTop
                          : v == QLatin1String("bottom") ? Qt::AlignBottom
                                                         : Qt::AlignVCenter;
        }
        update();
        return true;
    }
    return SToggleButton::SetAttribute(name, value, loading);
}

void SRadioBox::SetCheck(bool checked) {
    SButton::SetCheck(checked);
    if (checked) {
        UncheckPeers();
    }
}

void SRadioBox::UncheckPeers() {
    SHostWnd* host = GetHost();
    SWindow* scope = host && host->GetRoot() ? host->GetRoot() : GetParentWnd();
    if (!scope) {
        return;
    }
    // Without a group, radios are exclusive among their siblings that have none either.
    ForEachDescendant(scope, [this](SWindow* w) {
        auto* radio = dynamic_cast<SRadioBox*>(w);
        if (!radio || radio == this || radio->group_ != group_) {
            return;
        }
        if (group_.isEmpty() && radio->parentWidget() != parentWidget()) {
            return;
        }
        radio->SButton::SetCheck(false);
    });
}

QRect SRadioBox::IndicatorRect() const {
    return IndicatorAt(GetClientRectLocal(), iconAlign_);
}

void SRadioBox::DrawIndicator(QPainter& painter, const QRectF& box) {
    painter.setPen(IsHover() || IsChecked() ? ThemeColor("accent") : ThemeColor("control_edge"));
    painter.setBrush(IsDisabled() ? ThemeColor("panel") : ThemeColor("panel_dark"));
    painter.drawEllipse(box);
    if (IsChecked()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(IsDisabled() ? ThemeColor("text_disabled") : ThemeColor("accent"));
        painter.drawEllipse(box.adjusted(4, 4, -4, -4));
    }
}

void SRadioBox::OnClick() {
    SetCheck(true);
    EventArgs evt = MakeEvent(kEvtCommand);
    FireEvent(evt);
}

// ---- combo box ----------------------------------------------------------------------------

namespace {

// The Qt box with a drop button of our own (the owner's btnSkin, else a chevron).
class ChevronCombo : public QComboBox {
public:
    explicit ChevronCombo(SComboBox* owner) : QComboBox(owner), owner_(owner) {}

    // The list lines up with the owner's face (the Qt box may sit inside its margin) and leaves
    // a small gap below it; a list that had to open above stays where Qt put it.
    void showPopup() override {
        QComboBox::showPopup();
        QWidget* popup = view()->window();
        if (popup == window()) {
            return;
        }
        const QPoint face = owner_->mapToGlobal(QPoint(0, 0));
        const int faceBottom = face.y() + owner_->height();
        if (popup->y() < mapToGlobal(QPoint(0, height())).y() - 1) {
            return;
        }
        const QRect screen = popup->screen() ? popup->screen()->availableGeometry() : QRect();
        const int gap =
            screen.isValid() && faceBottom + kPopupGap + popup->height() > screen.bottom() + 1
                ? 0
                : kPopupGap;
        popup->setGeometry(face.x(), faceBottom + gap, std::max(popup->width(), owner_->width()),
                           popup->height());
    }

    // Focus that came from the keyboard (Tab) gets a ring; a click's does not.
    bool ShowsFocusRing() const { return focusRing_ && hasFocus(); }

protected:
    void focusInEvent(QFocusEvent* event) override {
        if (event->reason() != Qt::PopupFocusReason) {
            focusRing_ =
                event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
        }
        owner_->update();
        QComboBox::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        owner_->update();
        QComboBox::focusOutEvent(event);
    }

    void paintEvent(QPaintEvent* event) override {
        QComboBox::paintEvent(event);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (!owner_->GetSkin() && ShowsFocusRing()) {
            DrawFocusRing(p, rect());
        }
        if (ISkinObj* btn = owner_->BtnSkin()) {
            const QSize size = btn->SkinSize();
            const QRect r(width() - size.width() - 4, (height() - size.height()) / 2, size.width(),
                          size.height());
            const int state = !isEnabled() ? 3 : view()->isVisible() ? 2 : underMouse() ? 1 : 0;
            btn->Draw(p, r, state);
            return;
        }
        QPen pen(!isEnabled()   ? ThemeColor("text_disabled")
                 : underMouse() ? ThemeColor("accent")
                                : ThemeColor("text_dim"),
                 1.6);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        const QPointF c(width() - 12.5, height() / 2.0 + 0.5);
        p.drawPolyline(
            QPolygonF{{c.x() - 4, c.y() - 2}, {c.x(), c.y() + 2}, {c.x() + 4, c.y() - 2}});
    }

private:
    SComboBox* owner_;
    bool focusRing_ = false;
};

// Rows of the drop-down list. The current entry gets the accent (a gradient wash and a bar on
// the left), the row under the pointer or the keyboard cursor a lighter face; the owner's
// itemSkin (0 hover, 1 selected), when it has one, is drawn beneath.
class ComboItemDelegate : public QStyledItemDelegate {
public:
    ComboItemDelegate(SComboBox* owner, QObject* parent)
        : QStyledItemDelegate(parent), owner_(owner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool current = index.row() == owner_->Combo()->currentIndex();
        const bool hover = (option.state & (QStyle::State_MouseOver | QStyle::State_Selected)) &&
                           (option.state & QStyle::State_Enabled);
        const QRect row = option.rect.adjusted(kPopupPad, 1, -kPopupPad, -1);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillRect(option.rect, ThemeColor("popup"));
        ISkinObj* skin = owner_->ItemSkin();
        if (skin && (current || hover)) {
            skin->Draw(*painter, row, current ? 1 : 0);
        }
        const QColor accent = ThemeColor("accent");
        if (current) {
            QLinearGradient wash(row.topLeft(), row.topRight());
            QColor from = accent;
            QColor to = ThemeColor("accent2");
            from.setAlpha(hover ? 0x70 : 0x55);
            to.setAlpha(hover ? 0x38 : 0x20);
            wash.setColorAt(0, from);
            wash.setColorAt(1, to);
            painter->setPen(Qt::NoPen);
            painter->setBrush(wash);
            painter->drawRoundedRect(QRectF(row), 4, 4);
            painter->setBrush(accent);
            painter->drawRoundedRect(QRectF(row.left(), row.top() + 6, 3, row.height() - 12), 1.5,
                                     1.5);
        } else if (hover && !skin) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(ThemeColor("popup_hover"));
            painter->drawRoundedRect(QRectF(row), 4, 4);
        }
        painter->setPen(!(option.state & QStyle::State_Enabled) ? ThemeColor("text_disabled")
                        : current || hover                      ? QColor(Qt::white)
                                                                : ThemeColor("text"));
        painter->setFont(owner_->font());
        painter->drawText(row.adjusted(12, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QFontMetrics metrics(owner_->font());
        size.setWidth(metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) +
                      2 * kPopupPad + 20);
        size.setHeight(std::max(metrics.height() + 8, SComboBox::kItemHeight));
        return size;
    }

private:
    SComboBox* owner_;
};

}  // namespace

SComboBox::SComboBox(QWidget* parent) : SWindow(parent), combo_(new ChevronCombo(this)) {
    combo_->setCursor(Qt::PointingHandCursor);
    // "combobox-popup: 0" asks for a list that drops below the box (and keeps to
    // maxVisibleItems) instead of a menu laid over it.
    combo_->setStyleSheet(ThemeStyleSheet(QStringLiteral(
        "QComboBox { background: @color/panel_dark; color: @color/text;"
        " border: 1px solid @color/control_edge; border-radius: 4px; padding: 0 8px;"
        " combobox-popup: 0; }"
        "QComboBox:hover { border-color: @color/accent; }"
        "QComboBox:disabled { color: @color/text_disabled; }"
        "QComboBox::drop-down { border: none; width: 22px; }"
        "QComboBox::down-arrow { image: none; }"
        "QComboBox QAbstractItemView { background: @color/popup; color: @color/text;"
        " border: 1px solid @color/edge; border-radius: 6px; padding: 3px 0; outline: none; }")));
    auto* list = new QListView(combo_);
    list->setMouseTracking(true);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setStyleSheet(ThemeStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 2px; }"
        "QScrollBar::handle:vertical { background: @color/control_edge; border-radius: 2px;"
        " min-height: 20px; }"
        "QScrollBar::handle:vertical:hover { background: @color/accent; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")));
    combo_->setView(list);
    combo_->setItemDelegate(new ComboItemDelegate(this, combo_));
    // The pop-up's own window: no frame of the platform, and see-through outside the rounded
    // list so its corners show what lies beneath.
    if (QWidget* popup = list->window(); popup != this->window()) {
        popup->setWindowFlag(Qt::FramelessWindowHint);
        popup->setAttribute(Qt::WA_TranslucentBackground);
        popup->installEventFilter(this);
    }
    QObject::connect(combo_, &QComboBox::activated, this,
                     [this](int index) { OnActivated(index); });
}

bool SComboBox::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "curSel")) {
        pendingSel_ = ParseIntValue(value);
        if (!SetCurSel(pendingSel_, false)) {
            return GetCount() == 0;  // applied once the items exist
        }
        return true;
    }
    if (Is(name, "dropHeight")) {
        combo_->setMaxVisibleItems(std::max(1, ParseIntValue(value) / kItemHeight));
        return true;
    }
    if (Is(name, "btnSkin") || Is(name, "itemSkin")) {
        ISkinObj* skin = SkinByName(value);
        if (!skin) {
            return false;
        }
        (Is(name, "btnSkin") ? btnSkin_ : itemSkin_) = skin;
        combo_->update();
        return true;
    }
    const bool ok = SWindow::SetAttribute(name, value, loading);
    if (ok && Is(name, "skin")) {
        // A skinned box draws its face from the skin; the Qt box on top stays transparent.
        combo_->setStyleSheet(
            combo_->styleSheet() +
            QStringLiteral("QComboBox { background: transparent; border: none; }"));
    }
    return ok;
}

bool SComboBox::CreateChildren(const pugi::xml_node& element) {
    const SApplication* app = SApplication::Instance();
    for (const pugi::xml_node& item : element.children("item")) {
        QString text = QString::fromUtf8(item.attribute("text").as_string());
        if (app) {
            text = app->ResolveString(text);
        }
        AddString(text, item.attribute("data").as_llong(0));
    }
    if (pendingSel_ >= 0) {
        SetCurSel(pendingSel_, false);
    }
    return true;
}

bool SComboBox::SetCurSel(int index, bool notify) {
    if (index >= GetCount()) {
        return false;
    }
    if (index < 0) {
        index = -1;
    }
    if (index == curSel_) {
        return false;
    }
    const int old = curSel_;
    curSel_ = index;
    syncing_ = true;
    combo_->setCurrentIndex(index);
    syncing_ = false;
    if (notify) {
        EventArgs evt = MakeEvent(kEvtComboSelChanged);
        evt.oldSel = old;
        evt.newSel = index;
        FireEvent(evt);
    }
    return true;
}

void SComboBox::OnActivated(int index) {
    if (syncing_) {
        return;
    }
    if (index != curSel_) {
        SetCurSel(index, true);
    }
}

int SComboBox::GetCount() const {
    return combo_->count();
}

QString SComboBox::GetLBText(int index) const {
    return index >= 0 && index < GetCount() ? combo_->itemText(index) : QString();
}

int SComboBox::AddString(const QString& text, qintptr itemData) {
    return InsertString(-1, text, itemData);
}

int SComboBox::InsertString(int index, const QString& text, qintptr itemData) {
    if (index < 0 || index > GetCount()) {
        index = GetCount();
    }
    syncing_ = true;
    sources_.insert(index, text);
    combo_->insertItem(index, Translate(text), QVariant::fromValue<qlonglong>(itemData));
    if (curSel_ >= index && curSel_ >= 0) {
        ++curSel_;
    }
    // QComboBox selects the first item it gets; the selection stays ours.
    combo_->setCurrentIndex(curSel_);
    syncing_ = false;
    return index;
}

bool SComboBox::DeleteString(int index) {
    if (index < 0 || index >= GetCount()) {
        return false;
    }
    syncing_ = true;
    sources_.removeAt(index);
    combo_->removeItem(index);
    if (curSel_ == index) {
        curSel_ = -1;
    } else if (curSel_ > index) {
        --curSel_;
    }
    combo_->setCurrentIndex(curSel_);
    syncing_ = false;
    return true;
}

void SComboBox::ResetContent() {
    syncing_ = true;
    sources_.clear();
    combo_->clear();
    curSel_ = -1;
    syncing_ = false;
}

qintptr SComboBox::GetItemData(int index) const {
    if (index < 0 || index >= GetCount()) {
        return 0;
    }
    return static_cast<qintptr>(combo_->itemData(index).toLongLong());
}

void SComboBox::OnLanguageChanged() {
    for (int i = 0; i < GetCount() && i < sources_.size(); ++i) {
        combo_->setItemText(i, Translate(sources_[i]));
    }
    SWindow::OnLanguageChanged();
}

void SComboBox::OnPaint(QPainter& painter) {
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, rect(), GetStateIndex4());
        if (static_cast<const ChevronCombo*>(combo_)->ShowsFocusRing()) {
            DrawFocusRing(painter, rect());
        }
    }
}

void SComboBox::resizeEvent(QResizeEvent* event) {
    combo_->setGeometry(GetClientRectLocal());
    SWindow::resizeEvent(event);
}

// The open list holds the pointer, so the face never hears it leave: its hover is looked at
// again once the list closes.
bool SComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched == combo_->view()->window() &&
        watched != window()) {
        SetHoverState(rect().contains(mapFromGlobal(QCursor::pos())));
    }
    return SWindow::eventFilter(watched, event);
}

// ---- slider -------------------------------------------------------------------------------

namespace {
constexpr int kThumb = 14;
constexpr int kTrack = 4;
}  // namespace

SSliderBar::SSliderBar(QWidget* parent) : SWindow(parent) {
    setCursor(Qt::PointingHandCursor);
}

bool SSliderBar::SetAttribute(const QString& name, const QString& value, bool loading) {
    if (Is(name, "min")) {
        SetRange(ParseIntValue(value), std::max(ParseIntValue(value), max_));
        return true;
    }
    if (Is(name, "max")) {
        SetRange(std::min(min_, ParseIntValue(value)), ParseIntValue(value));
        return true;
    }
    if (Is(name, "value")) {
        SetValue(ParseIntValue(value));
        return true;
    }
    if (Is(name, "vertical")) {
        vertical_ = ParseIntValue(value) != 0;
        update();
        return true;
    }
    if (Is(name, "thumbSkin") || Is(name, "posSkin")) {
        ISkinObj* skin = SkinByName(value);
        if (!skin) {
            return false;
        }
        (Is(name, "thumbSkin") ? thumbSkin_ : posSkin_) = skin;
        update();
        return true;
    }
    return SWindow::SetAttribute(name, value, loading);
}

void SSliderBar::SetValue(int value) {
    value_ = std::clamp(value, min_, max_);
    update();
}

void SSliderBar::SetRange(int minValue, int maxValue) {
    min_ = minValue;
    max_ = std::max(minValue, maxValue);
    SetValue(value_);
}

QRect SSliderBar::TrackRect() const {
    const QRect client = GetClientRectLocal();
    const QSize thumb = thumbSkin_ ? thumbSkin_->SkinSize() : QSize(kThumb, kThumb);
    const int thick =
        GetSkin() ? (vertical_ ? GetSkin()->SkinSize().width() : GetSkin()->SkinSize().height())
                  : kTrack;
    if (vertical_) {
        const int half = thumb.height() / 2;
        return {client.center().x() - thick / 2, client.top() + half, thick,
                std::max(1, client.height() - 2 * half)};
    }
    const int half = thumb.width() / 2;
    return {client.left() + half, client.center().y() - thick / 2 + 1,
            std::max(1, client.width() - 2 * half), thick};
}

QRect SSliderBar::ThumbRect() const {
    const QRect track = TrackRect();
    const QSize thumb = thumbSkin_ ? thumbSkin_->SkinSize() : QSize(kThumb, kThumb);
    const double frac = max_ > min_ ? double(value_ - min_) / double(max_ - min_) : 0.0;
    if (vertical_) {
        const int y = track.bottom() - static_cast<int>(frac * (track.height() - 1));
        return {track.center().x() - thumb.width() / 2 + 1, y - thumb.height() / 2, thumb.width(),
                thumb.height()};
    }
    const int x = track.left() + static_cast<int>(frac * (track.width() - 1));
    return {x - thumb.width() / 2, track.center().y() - thumb.height() / 2 + 1, thumb.width(),
            thumb.height()};
}

int SSliderBar::ValueAt(const QPoint& pt) const {
    const QRect track = TrackRect();
    double frac = vertical_ ? double(track.bottom() - pt.y()) / std::max(1, track.height() - 1)
                            : double(pt.x() - track.left()) / std::max(1, track.width() - 1);
    frac = std::clamp(frac, 0.0, 1.0);
    return min_ + static_cast<int>(frac * (max_ - min_) + 0.5);
}

void SSliderBar::DragTo(const QPoint& pt) {
    const int v = ValueAt(pt);
    if (v == value_) {
        return;
    }
    SetValue(v);
    EventArgs evt = MakeEvent(kEvtSliderPos);
    evt.pos = value_;
    FireEvent(evt);
}

void SSliderBar::OnPaint(QPainter& painter) {
    if (ColorBkgnd().isValid()) {
        painter.fillRect(rect(), ColorBkgnd());
    }
    const QRect track = TrackRect();
    const QRect thumb = ThumbRect();
    QRect filled = track;
    if (vertical_) {
        filled.setTop(thumb.center().y());
    } else {
        filled.setRight(thumb.center().x());
    }
    if (ISkinObj* skin = GetSkin()) {
        skin->Draw(painter, track, 0);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(ThemeColor("edge"));
        painter.drawRoundedRect(track, kTrack / 2.0, kTrack / 2.0);
    }
    if (posSkin_) {
        posSkin_->Draw(painter, filled, 0);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(IsDisabled() ? ThemeColor("text_disabled") : ThemeColor("accent"));
        painter.drawRoundedRect(filled, kTrack / 2.0, kTrack / 2.0);
    }
    if (thumbSkin_) {
        thumbSkin_->Draw(painter, thumb, GetStateIndex4());
    } else {
        painter.setPen(QPen(IsDisabled() ? ThemeColor("text_disabled") : ThemeColor("accent"), 2));
        painter.setBrush(IsHover() || dragging_ ? QColor(Qt::white) : ThemeColor("text"));
        painter.drawEllipse(QRectF(thumb).adjusted(1, 1, -1, -1));
    }
}

void SSliderBar::OnLButtonDown(QMouseEvent& event) {
    SWindow::OnLButtonDown(event);
    dragging_ = true;
    DragTo(event.position().toPoint());
}

void SSliderBar::OnLButtonUp(QMouseEvent& event) {
    dragging_ = false;
    SetPressedState(false);
    update();
    (void)event;
}

void SSliderBar::OnMouseMove(QMouseEvent& event) {
    if (dragging_ && (event.buttons() & Qt::LeftButton)) {
        DragTo(event.position().toPoint());
    }
}

}  // namespace kb::ui
