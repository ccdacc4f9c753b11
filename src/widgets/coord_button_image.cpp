#include "widgets/coord_button_image.h"

#include <QAccessible>
#include <QCursor>
#include <QFile>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QToolTip>
#include <algorithm>
#include <pugixml.hpp>
#include <string>

#include "toolkit/sapp.h"
#include "toolkit/theme.h"
#include "toolkit/widget_parts.h"
#include "widgets/widget_values.h"

namespace kb::ui {

namespace {

QString& FolderOverride() {
    static QString folder;
    return folder;
}

std::string WithoutChars(const char* text, const char* drop) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (std::string_view(drop).find(*p) == std::string_view::npos) {
            out.push_back(*p);
        }
    }
    return out;
}

int ClampSum(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    if (sum > INT32_MAX) {
        return INT32_MAX;
    }
    if (sum < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int>(sum);
}

constexpr unsigned kMouseLeftButton = 0x0001;  // MK_LBUTTON

// Windows mouse key-state flags, which the listener receives as they come with the message.
unsigned MouseFlags(const QMouseEvent& event) {
    unsigned flags = 0;
    const Qt::MouseButtons buttons = event.buttons();
    if (buttons & Qt::LeftButton) {
        flags |= 0x0001;
    }
    if (buttons & Qt::RightButton) {
        flags |= 0x0002;
    }
    if (event.modifiers() & Qt::ShiftModifier) {
        flags |= 0x0004;
    }
    if (event.modifiers() & Qt::ControlModifier) {
        flags |= 0x0008;
    }
    if (buttons & Qt::MiddleButton) {
        flags |= 0x0010;
    }
    return flags;
}

}  // namespace

QColor CoordKey::Color() const {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF), static_cast<int>((color >> 24) & 0xFF));
}

std::vector<CoordKey> ParseKeyCoordinates(const pugi::xml_node& document) {
    std::vector<CoordKey> keys;
    const pugi::xml_node root = document.child("positions");
    for (const pugi::xml_node& node : root.children()) {
        if (node.type() != pugi::node_element) {
            continue;
        }
        CoordKey key;
        if (const pugi::xml_attribute id = node.attribute("id")) {
            key.id = ParseDecimalPrefix(id.value());
        }
        key.name = QString::fromUtf8(node.attribute("name").value());
        if (const pugi::xml_attribute color = node.attribute("color")) {
            std::uint32_t value = 0;
            // A colour without hexadecimal digits keeps the default white.
            if (ScanHex32(WithoutChars(color.value(), " #"), value)) {
                key.color = value;
            }
        }
        if (const pugi::xml_attribute rect = node.attribute("rect")) {
            int v[4] = {0, 0, 0, 0};
            ScanCommaInts(WithoutChars(rect.value(), " "), v, 4);
            key.left = v[0];
            key.top = v[1];
            key.right = ClampSum(v[0], v[2]);
            key.bottom = ClampSum(v[1], v[3]);
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

std::vector<CoordKey> LoadKeyCoordinates(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()))) {
        return {};
    }
    return ParseKeyCoordinates(doc);
}

QString KeyCoordinatePath(const QString& programFolder, const QString& value) {
    QString path = programFolder;
    if (!value.startsWith(QLatin1Char('\\')) && !value.startsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    path += value;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

CoordButtonImage::CoordButtonImage(QWidget* parent) : SWindow(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setProperty("kbOwnAccessibleName", true);  // the focused key's name
}

CoordButtonImage::~CoordButtonImage() = default;

void CoordButtonImage::SetProgramFolderOverride(const QString& folder) {
    FolderOverride() = folder;
}

bool CoordButtonImage::SetAttribute(const QString& name, const QString& value, bool loading) {
    const QString key = name.toLower();
    const SApplication* app = SApplication::Instance();
    if (key == QLatin1String("bg") || key == QLatin1String("chking") ||
        key == QLatin1String("chked")) {
        if (!app || !app->HasResource(value)) {
            return false;  // the previous image stays
        }
        DeferredPixmap& slot = key == QLatin1String("bg")       ? bg_
                               : key == QLatin1String("chking") ? hoverImage_
                                                                : checkImage_;
        slot.source = value;
        update();
        return true;
    }
    if (key == QLatin1String("crdxml")) {
        crdxml_ = app ? app->ResolveString(value) : value;
        return true;
    }
    if (key == QLatin1String("type")) {
        type_ = ParseIntValue(value);
        return true;
    }
    return SWindow::SetAttribute(name, value, loading);
}

void CoordButtonImage::OnCreated() {
    if (!crdxml_.isEmpty()) {
        const QString folder =
            FolderOverride().isEmpty() ? SApplication::ProgramFolder() : FolderOverride();
        keys_ = LoadKeyCoordinates(KeyCoordinatePath(folder, crdxml_));
    }
    SWindow::OnCreated();
}

int CoordButtonImage::HasKey(int id) const {
    return FirstWithId(id) >= 0 ? 1 : 0;
}

int CoordButtonImage::FirstWithId(int id) const {
    for (size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CoordButtonImage::GetCheck(int id) const {
    const int i = FirstWithId(id);
    return i >= 0 ? keys_[static_cast<size_t>(i)].check : 0;
}

void CoordButtonImage::SetCheck(int id, int value) {
    if (id == kAllKeys) {
        for (CoordKey& key : keys_) {
            key.check = value;
        }
    } else if (const int i = FirstWithId(id); i >= 0) {
        keys_[static_cast<size_t>(i)].check = value;
    }
    update();
}

void CoordButtonImage::ToggleCheck(int id) {
    if (id == kAllKeys) {
        for (CoordKey& key : keys_) {
            key.check = key.check == 0 ? 1 : 0;
        }
    } else if (const int i = FirstWithId(id); i >= 0) {
        CoordKey& key = keys_[static_cast<size_t>(i)];
        key.check = key.check == 0 ? 1 : 0;
    }
    update();
}

void CoordButtonImage::SetKeyColor(int id, std::uint32_t color) {
    if (id == kAllKeys) {
        for (CoordKey& key : keys_) {
            key.color = color;
        }
    } else if (const int i = FirstWithId(id); i >= 0) {
        keys_[static_cast<size_t>(i)].color = color;
    }
    update();
}

void CoordButtonImage::SetKeyDetail(int id, const QColor& kind, const QString& detail) {
    for (CoordKey& key : keys_) {
        if (id == kAllKeys || key.id == id) {
            key.kind = kind;
            key.detail = detail;
            if (id != kAllKeys) {
                break;
            }
        }
    }
    // A tooltip showing for a key follows its new text.
    for (const CoordKey& key : keys_) {
        const QString shown = GetToolTipText();
        if (key.hover != 0 && TipOf(key) != shown) {
            SetToolTipText(TipOf(key));
            if (QToolTip::isVisible() && QToolTip::text() == shown) {
                QToolTip::showText(QCursor::pos(), TipOf(key), this);
            }
        }
    }
    update();
}

template <class Change>
void CoordButtonImage::ForKeys(int id, Change&& change) {
    if (id == kAllKeys) {
        for (CoordKey& key : keys_) {
            change(key);
        }
    } else if (const int i = FirstWithId(id); i >= 0) {
        change(keys_[static_cast<size_t>(i)]);
    }
}

void CoordButtonImage::SetKeyTitle(int id, const QString& title, const QString& legend) {
    ForKeys(id, [&](CoordKey& key) {
        key.title = title;
        key.legend = legend;
    });
    for (const CoordKey& key : keys_) {
        if (key.hover != 0 && TipOf(key) != GetToolTipText()) {
            SetToolTipText(TipOf(key));
        }
    }
    update();
}

void CoordButtonImage::SetKeyLabel(int id, const QString& label) {
    ForKeys(id, [&](CoordKey& key) { key.label = label; });
    update();
}

QString CoordButtonImage::TipOf(const CoordKey& key) const {
    const QString& name = key.title.isEmpty() ? key.name : key.title;
    return key.detail.isEmpty() ? name : name + QLatin1Char('\n') + key.detail;
}

// ---- painting -----------------------------------------------------------------------------

const QPixmap& CoordButtonImage::DeferredPixmap::Get() {
    if (!source.isEmpty()) {
        const SApplication* app = SApplication::Instance();
        QPixmap decoded = app ? app->LoadPixmap(source) : QPixmap();
        source.clear();
        if (!decoded.isNull()) {
            pixmap = std::move(decoded);  // one that does not decode leaves the previous one
        }
    }
    return pixmap;
}

void CoordButtonImage::DrawMarked(QPainter& painter, const QPixmap& image, bool hover) const {
    // Key rectangles are in the picture's own pixels; a high-density picture holds more.
    const qreal ratio = image.devicePixelRatio();
    for (const CoordKey& key : keys_) {
        if ((hover ? key.hover : key.check) == 0 || key.right <= key.left ||
            key.bottom <= key.top) {
            continue;
        }
        const QRectF target(key.left, key.top, key.right - key.left, key.bottom - key.top);
        const QRectF source(target.x() * ratio, target.y() * ratio, target.width() * ratio,
                            target.height() * ratio);
        painter.drawPixmap(target, image, source);
    }
}

void CoordButtonImage::OnPaint(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const CoordKey& key : keys_) {
        if (key.right > key.left && key.bottom > key.top) {
            painter.fillRect(QRect(key.left, key.top, key.right - key.left, key.bottom - key.top),
                             key.Color());
        }
    }
    if (const QPixmap& bg = bg_.Get(); !bg.isNull()) {
        painter.drawPixmap(QRectF(rect()), bg, QRectF(bg.rect()));
    }
    if (!isEnabled()) {
        // Greyed, without hover or marks: nothing of the keyboard can be known or changed.
        QColor veil = ThemeColor("bg");
        veil.setAlpha(150);
        painter.fillRect(rect(), veil);
        return;
    }
    const auto any = [this](int CoordKey::*mark) {
        return std::any_of(keys_.begin(), keys_.end(),
                           [mark](const CoordKey& key) { return key.*mark != 0; });
    };
    if (any(&CoordKey::hover)) {
        DrawMarked(painter, hoverImage_.Get(), true);
    }
    if (any(&CoordKey::check)) {
        DrawMarked(painter, checkImage_.Get(), false);
    }
    DrawKinds(painter);
    for (const CoordKey& key : keys_) {
        if (!key.label.isEmpty()) {
            DrawLabel(painter, key);
        }
    }
    if (hasFocus() && focusFromKeyboard_ && focusKey_ >= 0 &&
        focusKey_ < static_cast<int>(keys_.size())) {
        widget_parts::DrawFocusRing(painter, keys_[static_cast<size_t>(focusKey_)].Rect());
    }
}

// A frame and a bar along the bottom edge in the colour of the key's kind of assignment.
void CoordButtonImage::DrawKinds(QPainter& painter) const {
    constexpr int kFrame = 2;
    constexpr int kBar = 4;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const CoordKey& key : keys_) {
        if (!key.kind.isValid() || key.right - key.left <= 2 * (kFrame + 1) ||
            key.bottom - key.top <= 2 * (kFrame + kBar)) {
            continue;
        }
        const QRectF frame = QRectF(key.left, key.top, key.right - key.left, key.bottom - key.top)
                                 .adjusted(kFrame, kFrame, -kFrame, -kFrame);
        painter.setPen(QPen(key.kind, kFrame));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(frame, 3, 3);
        if (key.label.isEmpty()) {
            const QRectF bar(frame.left() + kFrame, frame.bottom() - kFrame - kBar,
                             frame.width() - 2 * kFrame, kBar);
            painter.fillRect(bar, key.kind);
        }
    }
    painter.restore();
}

// The cap's face gets a tint of the kind, its legend in a smaller size at the top and the label
// on a band of the kind's colour at the bottom: both stay legible on a 36-pixel cap at 100 %.
void CoordButtonImage::DrawLabel(QPainter& painter, const CoordKey& key) const {
    constexpr int kMinSide = 24;
    const QRectF cap(key.left, key.top, key.right - key.left, key.bottom - key.top);
    if (cap.width() < kMinSide || cap.height() < kMinSide) {
        return;
    }
    const QColor kind = key.kind.isValid() ? key.kind : ThemeColor("accent");
    // The picture's face sits inset towards the top; the frame of the kind stays around it.
    const QRectF face = cap.adjusted(4, 4, -4, -6);
    const QColor base = ThemeColor("face");
    const int tint = key.hover != 0 ? 34 : 20;  // per cent of the kind in the face
    const auto mix = [tint](int a, int b) { return (a * (100 - tint) + b * tint) / 100; };
    const QColor faceColour(mix(base.red(), kind.red()), mix(base.green(), kind.green()),
                            mix(base.blue(), kind.blue()));

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(faceColour);
    painter.drawRoundedRect(face, 3, 3);

    constexpr qreal kBand = 11;
    const QRectF band(face.left() + 1, face.bottom() - kBand - 1, face.width() - 2, kBand);
    const QRectF legendArea(face.left(), face.top(), face.width(), band.top() - face.top());

    const QString legend = !key.legend.isEmpty()  ? key.legend
                           : !key.title.isEmpty() ? key.title
                                                  : key.name;
    QFont font = this->font();
    font.setBold(legend.size() == 1);
    font.setPixelSize(legend.size() == 1 ? 12 : 10);
    while (QFontMetricsF(font).horizontalAdvance(legend) > legendArea.width() - 2 &&
           font.pixelSize() > 8) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    painter.setFont(font);
    painter.setPen(ThemeColor("text"));
    painter.drawText(legendArea, Qt::AlignCenter,
                     QFontMetricsF(font).elidedText(legend, Qt::ElideRight, legendArea.width()));

    painter.setPen(Qt::NoPen);
    painter.setBrush(kind);
    painter.drawRoundedRect(band, 2, 2);
    QFont small = this->font();
    small.setBold(true);
    small.setPixelSize(9);
    if (QFontMetricsF(small).horizontalAdvance(key.label) > band.width() - 2) {
        small.setPixelSize(8);
    }
    painter.setFont(small);
    // Dark text on the kind's bright colour, light text on a dark one.
    painter.setPen(kind.lightnessF() > 0.45 ? QColor(0x10, 0x13, 0x1a) : QColor(Qt::white));
    painter.drawText(band, Qt::AlignCenter,
                     QFontMetricsF(small).elidedText(key.label, Qt::ElideRight, band.width() - 2));
    painter.restore();
}

// ---- mouse --------------------------------------------------------------------------------

QPoint CoordButtonImage::ToClient(const QMouseEvent& event) const {
    const QPoint local = event.position().toPoint();
    return local - QPoint(GetMargin().left(), GetMargin().top());
}

int CoordButtonImage::HitFirst(int x, int y) const {
    for (size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i].Contains(x, y)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CoordButtonImage::OnLButtonDown(QMouseEvent& event) {
    const QPoint pt = ToClient(event);
    const int hit = HitFirst(pt.x(), pt.y());
    if (hit < 0) {
        return;
    }
    PressKey(static_cast<size_t>(hit), MouseFlags(event), pt);
}

void CoordButtonImage::PressKey(size_t index, unsigned flags, QPoint pt) {
    focusKey_ = static_cast<int>(index);  // the arrows go on from the key last chosen
    QPointer<CoordButtonImage> self(this);
    int result = 0;
    if (listener_) {
        const CoordKey key = keys_[index];
        result =
            listener_->OnCoordButtonClick(key.id, key.name, kEventPress, flags, pt.x(), pt.y());
        if (!self) {
            return;  // the listener closed the window
        }
    }
    if (result == 0) {
        const int id = keys_[index].id;
        if (type_ == 1) {
            for (CoordKey& key : keys_) {
                key.check = 0;
            }
            update();
            ToggleCheck(id);
        } else if (type_ == 2) {
            ToggleCheck(id);
        }
        update();
    }
    keys_[index].pressed = 1;
    update();
}

void CoordButtonImage::OnLButtonUp(QMouseEvent& event) {
    const QPoint pt = ToClient(event);
    const int hit = HitFirst(pt.x(), pt.y());
    if (hit < 0) {
        return;
    }
    ReleaseKey(static_cast<size_t>(hit), MouseFlags(event), pt);
}

void CoordButtonImage::ReleaseKey(size_t index, unsigned flags, QPoint pt) {
    if (keys_[index].pressed != 0 && listener_) {
        QPointer<CoordButtonImage> self(this);
        const CoordKey key = keys_[index];
        // The listener may run a modal dialog; the widget can be gone when it returns.
        listener_->OnCoordButtonClick(key.id, key.name, kEventRelease, flags, pt.x(), pt.y());
        if (!self) {
            return;
        }
    }
    keys_[index].pressed = 0;
    update();
}

void CoordButtonImage::OnMouseMove(QMouseEvent& event) {
    const QPoint pt = ToClient(event);
    QString tip;
    // Only the keys whose hover changed are drawn again: most moves stay inside one key.
    QRegion changed;
    for (CoordKey& key : keys_) {
        const int hover = key.Contains(pt.x(), pt.y()) ? 1 : 0;
        if (hover != key.hover) {
            key.hover = hover;
            changed += key.Rect();
        }
        if (key.hover != 0) {
            tip = TipOf(key);  // the last key holding the point names the tooltip
        }
    }
    const QString shown = GetToolTipText();
    if (tip != shown) {
        SetToolTipText(tip);
        // Qt keeps a tip on screen when the widget's text turns empty and changes it only
        // after the pointer rests: the gaps between keys would go on naming the last key.
        if (QToolTip::isVisible() && QToolTip::text() == shown) {
            if (tip.isEmpty()) {
                QToolTip::hideText();
            } else {
                QToolTip::showText(event.globalPosition().toPoint(), tip, this);
            }
        }
    }
    if (!changed.isEmpty()) {
        update(changed);
    }
}

void CoordButtonImage::OnMouseLeave() {
    QRegion changed;
    for (CoordKey& key : keys_) {
        if (key.hover != 0) {
            key.hover = 0;
            changed += key.Rect();
        }
    }
    SetToolTipText(QString());
    if (!changed.isEmpty()) {
        update(changed);
    }
}

// ---- keyboard -----------------------------------------------------------------------------

namespace {

bool HasArea(const CoordKey& key) {
    return key.right > key.left && key.bottom > key.top;
}

QPoint CentreOf(const CoordKey& key) {
    return {(key.left + key.right) / 2, (key.top + key.bottom) / 2};
}

}  // namespace

int CoordButtonImage::FirstKeyInReadingOrder() const {
    int best = -1;
    for (size_t i = 0; i < keys_.size(); ++i) {
        const CoordKey& key = keys_[i];
        if (!HasArea(key)) {
            continue;
        }
        const CoordKey* current = best >= 0 ? &keys_[static_cast<size_t>(best)] : nullptr;
        if (current == nullptr || key.top < current->top ||
            (key.top == current->top && key.left < current->left)) {
            best = static_cast<int>(i);
        }
    }
    return best;
}

int CoordButtonImage::NeighbourOf(int from, int dx, int dy) const {
    if (from < 0 || from >= static_cast<int>(keys_.size())) {
        return FirstKeyInReadingOrder();
    }
    const QPoint origin = CentreOf(keys_[static_cast<size_t>(from)]);
    int best = -1;
    long long bestScore = 0;
    for (size_t i = 0; i < keys_.size(); ++i) {
        if (static_cast<int>(i) == from || !HasArea(keys_[i])) {
            continue;
        }
        const QPoint d = CentreOf(keys_[i]) - origin;
        // Ahead along the direction, and nearest with the sideways distance weighing most:
        // Right from a key goes to the next key of its row, not to a nearer one above.
        const int along = d.x() * dx + d.y() * dy;
        const int across = std::abs(d.x() * dy) + std::abs(d.y() * dx);
        if (along <= 0) {
            continue;
        }
        const long long score = static_cast<long long>(along) + 3LL * across;
        if (best < 0 || score < bestScore) {
            best = static_cast<int>(i);
            bestScore = score;
        }
    }
    return best;
}

void CoordButtonImage::MoveFocusKey(int index) {
    if (index < 0 || index >= static_cast<int>(keys_.size())) {
        return;
    }
    focusKey_ = index;
    const CoordKey& key = keys_[static_cast<size_t>(index)];
    // Screen readers hear the key's name and what it does; sighted users see its tooltip.
    setAccessibleName(key.name);
    setAccessibleDescription(key.detail);
    if (QAccessible::isActive()) {
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
        QAccessibleEvent focused(this, QAccessible::Focus);
        QAccessible::updateAccessibility(&focused);
    }
    const QPoint margin(GetMargin().left(), GetMargin().top());
    const QRect area = key.Rect().translated(margin);
    QToolTip::showText(mapToGlobal(area.bottomLeft()), TipOf(key), this, area);
    update();
}

void CoordButtonImage::focusInEvent(QFocusEvent* event) {
    SWindow::focusInEvent(event);
    // A click names and rings nothing: the pointer shows where it is. The keyboard's focus
    // starts on the key last reached, at first the top-left one.
    focusFromKeyboard_ = event->reason() == Qt::TabFocusReason ||
                         event->reason() == Qt::BacktabFocusReason ||
                         event->reason() == Qt::ShortcutFocusReason;
    if (focusKey_ < 0) {
        focusKey_ = FirstKeyInReadingOrder();
    }
    if (focusFromKeyboard_ && focusKey_ >= 0) {
        MoveFocusKey(focusKey_);
    }
}

void CoordButtonImage::focusOutEvent(QFocusEvent* event) {
    SWindow::focusOutEvent(event);
    QToolTip::hideText();
    update();
}

void CoordButtonImage::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~Qt::KeypadModifier) {
        SWindow::keyPressEvent(event);
        return;
    }
    int dx = 0;
    int dy = 0;
    switch (event->key()) {
        case Qt::Key_Left:
            dx = -1;
            break;
        case Qt::Key_Right:
            dx = 1;
            break;
        case Qt::Key_Up:
            dy = -1;
            break;
        case Qt::Key_Down:
            dy = 1;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (!event->isAutoRepeat() && focusFromKeyboard_ && focusKey_ >= 0 &&
                focusKey_ < static_cast<int>(keys_.size())) {
                ActivateFocusKey();
            }
            return;
        default:
            SWindow::keyPressEvent(event);
            return;
    }
    const int next = focusFromKeyboard_ ? NeighbourOf(focusKey_, dx, dy) : focusKey_;
    focusFromKeyboard_ = true;
    if (next >= 0) {
        MoveFocusKey(next);
    }
}

// A key chosen from the keyboard takes the path of a click at its centre.
void CoordButtonImage::ActivateFocusKey() {
    QToolTip::hideText();
    const size_t index = static_cast<size_t>(focusKey_);
    const QPoint centre = CentreOf(keys_[index]);
    QPointer<CoordButtonImage> self(this);
    PressKey(index, kMouseLeftButton, centre);
    if (!self || index >= keys_.size()) {
        return;
    }
    keys_[index].pressed = 1;  // the release follows the press, as for the mouse
    ReleaseKey(index, kMouseLeftButton, centre);
}

}  // namespace kb::ui
