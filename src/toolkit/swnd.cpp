#include "toolkit/swnd.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <pugixml.hpp>

#include "toolkit/attribute_value.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "toolkit/sskin.h"
#include "toolkit/theme.h"

namespace kb::ui {

namespace {

DebugHook& Hook() {
    static DebugHook hook;
    return hook;
}

// Limits on building one layout, so that a hostile or looping layout file can neither exhaust the
// stack nor keep loading for minutes: elements nested deeper (includes counted through) are left
// out, as are includes nested deeper or beyond the total count.
constexpr int kMaxNestingDepth = 256;
constexpr int kMaxIncludeDepth = 8;
constexpr int kMaxIncludes = 64;

struct LayoutBuild {
    int open = 0;   // build calls under way; the outermost one starts a new build
    int depth = 0;  // levels of elements open above the children being built
    int includeDepth = 0;
    int includes = 0;  // includes followed so far in this build
    bool warned = false;
};
LayoutBuild g_build;

// Marks one build call; the outermost resets the counts.
class BuildCall {
public:
    BuildCall() {
        if (g_build.open++ == 0) {
            g_build = LayoutBuild{1};
        }
    }
    ~BuildCall() { --g_build.open; }
    BuildCall(const BuildCall&) = delete;
    BuildCall& operator=(const BuildCall&) = delete;
};

void WarnLayoutLimit(const char* what) {
    if (!g_build.warned) {
        g_build.warned = true;
        qWarning("Layout: %s; the rest is left out", what);
    }
}

// Direct toolkit children of a widget, looking through plain Qt widgets in between.
void CollectChildren(const QObject* parent, std::vector<SWindow*>& out) {
    for (QObject* obj : parent->children()) {
        if (auto* wnd = dynamic_cast<SWindow*>(obj)) {
            out.push_back(wnd);
        } else if (obj->isWidgetType()) {
            CollectChildren(obj, out);
        }
    }
}

// Positions, sizes and margins of a layout are kept to this many pixels either way, so that
// adding them up (right = left + width) stays within int.
constexpr int kMaxCoordinate = 1000000;

std::vector<int> ParseInts(const QString& value) {
    std::vector<int> out;
    for (const QString& part : value.split(QLatin1Char(','))) {
        out.push_back(std::clamp(ParseIntValue(part), -kMaxCoordinate, kMaxCoordinate));
    }
    return out;
}

}  // namespace

void SetDebugHook(DebugHook hook) {
    Hook() = std::move(hook);
}

void DebugReport(const QString& text) {
    if (Hook()) {
        Hook()(text);
    }
}

SWindow::SWindow(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

SWindow::~SWindow() = default;

bool SWindow::IsClass(const QString& tag) const {
    return tag.compare(QLatin1String(kClassTag), Qt::CaseInsensitive) == 0;
}

// ---- text ---------------------------------------------------------------------------------

QString SWindow::Translate(const QString& source) const {
    const SApplication* app = SApplication::Instance();
    return app ? app->Tr(TrContext(), source) : source;
}

void SWindow::SetText(const QString& text, bool translate) {
    textSource_ = text;
    textTr_ = translate;
    textShown_ = translate ? Translate(text) : text;
    UpdateAccessibleName();
    update();
}

// Screen readers name a control by its text, or by its tooltip when it shows no text (the
// image buttons, the colour swatches). A widget that names itself sets kbOwnAccessibleName.
void SWindow::UpdateAccessibleName() {
    if (property("kbOwnAccessibleName").toBool()) {
        return;
    }
    const QString name = textShown_.isEmpty() ? tipShown_ : textShown_;
    if (name != accessibleName()) {
        setAccessibleName(name);
        if (QWidget* proxy = focusProxy()) {
            proxy->setAccessibleName(name);
        }
    }
}

QString SWindow::GetText(bool raw) const {
    return raw ? textSource_ : textShown_;
}

void SWindow::SetToolTipText(const QString& tip, bool translate) {
    tipSource_ = tip;
    tipTr_ = translate;
    tipShown_ = translate ? Translate(tip) : tip;
    setToolTip(tipShown_);
    UpdateAccessibleName();
}

QString SWindow::TrContext() const {
    if (!trCtx_.isEmpty()) {
        return trCtx_;
    }
    const SWindow* parent = GetParentWnd();
    return parent ? parent->TrContext() : QString();
}

void SWindow::OnLanguageChanged() {
    if (textTr_) {
        textShown_ = Translate(textSource_);
    }
    if (tipTr_) {
        tipShown_ = Translate(tipSource_);
        setToolTip(tipShown_);
    }
    UpdateAccessibleName();
    update();
}

// ---- state --------------------------------------------------------------------------------

void SWindow::SetVisible(bool visible) {
    setVisible(visible);
}

void SWindow::EnableWindow(bool enable) {
    setEnabled(enable);
}

void SWindow::SetCheck(bool checked) {
    if (checked_ == checked) {
        return;
    }
    const int old = GetState();
    checked_ = checked;
    OnStateChanged(old, GetState());
}

int SWindow::GetState() const {
    int state = kStateNormal;
    if (hover_) {
        state |= kStateHover;
    }
    if (pressed_) {
        state |= kStatePushDown;
    }
    if (!isEnabled()) {
        state |= kStateDisabled;
    }
    if (checked_) {
        state |= kStateChecked;
    }
    return state;
}

int SWindow::GetStateIndex4() const {
    if (!isEnabled()) {
        return 3;
    }
    if (pressed_) {
        return 2;
    }
    return hover_ ? 1 : 0;
}

int SWindow::GetStateIndex8() const {
    return GetStateIndex4() + (checked_ ? 4 : 0);
}

void SWindow::SetHoverState(bool hover) {
    if (hover_ == hover) {
        return;
    }
    const int old = GetState();
    hover_ = hover;
    OnStateChanged(old, GetState());
}

void SWindow::SetPressedState(bool pressed) {
    if (pressed_ == pressed) {
        return;
    }
    const int old = GetState();
    pressed_ = pressed;
    OnStateChanged(old, GetState());
}

void SWindow::OnStateChanged(int /*oldState*/, int /*newState*/) {
    update();
}

void SWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        const int now = GetState();
        OnStateChanged(now ^ kStateDisabled, now);
    }
    QWidget::changeEvent(event);
}

// ---- geometry -----------------------------------------------------------------------------

QRect SWindow::GetWindowRect() const {
    const QWidget* top = window();
    return {top == this ? QPoint(0, 0) : mapTo(top, QPoint(0, 0)), size()};
}

QRect SWindow::GetClientRect() const {
    return GetWindowRect().marginsRemoved(margin_);
}

void SWindow::SetMargin(const QMargins& margin) {
    margin_ = margin;
    for (SWindow* child : GetChildWindows()) {
        if (child->parentWidget() == this && child->layoutPos_.isValid()) {
            child->Move(child->layoutPos_);
        }
    }
    update();
}

void SWindow::Move(const QRect& rectInParentClient) {
    layoutPos_ = rectInParentClient;
    QPoint offset;
    if (auto* parent = dynamic_cast<SWindow*>(parentWidget())) {
        offset = QPoint(parent->margin_.left(), parent->margin_.top());
    }
    setGeometry(rectInParentClient.translated(offset));
}

QSize SWindow::GetDesiredSize() const {
    if (skin_ && skin_->States() > 0) {
        return skin_->SkinSize();
    }
    const QFontMetrics fm(font());
    const QSize text = textShown_.isEmpty() ? QSize(0, fm.height())
                                            : QSize(fm.horizontalAdvance(textShown_), fm.height());
    return text.grownBy(margin_);
}

// ---- look ---------------------------------------------------------------------------------

void SWindow::SetSkin(ISkinObj* skin) {
    skin_ = skin;
    update();
}

void SWindow::SetColorText(const QColor& c) {
    colorText_ = c;
    update();
}

void SWindow::SetColorBkgnd(const QColor& c) {
    colorBkgnd_ = c;
    update();
}

void SWindow::SetColorBorder(const QColor& c) {
    colorBorder_ = c;
    update();
}

void SWindow::SetTextAlign(Qt::Alignment align) {
    align_ = align;
    update();
}

// ---- tree ---------------------------------------------------------------------------------

SWindow* SWindow::GetParentWnd() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* wnd = dynamic_cast<SWindow*>(w)) {
            return wnd;
        }
    }
    return nullptr;
}

SHostWnd* SWindow::GetHost() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* host = dynamic_cast<SHostWnd*>(w)) {
            return host;
        }
    }
    return nullptr;
}

std::vector<SWindow*> SWindow::GetChildWindows() const {
    std::vector<SWindow*> out;
    CollectChildren(this, out);
    return out;
}

namespace {

// Breadth first, so a nearer widget wins over a deeper one of the same name.
template <class Pred>
SWindow* FindBreadthFirst(const SWindow* start, int depth, Pred pred) {
    std::vector<SWindow*> level = start->GetChildWindows();
    for (int d = 1; !level.empty() && (depth < 0 || d <= depth); ++d) {
        std::vector<SWindow*> next;
        for (SWindow* w : level) {
            if (pred(w)) {
                return w;
            }
            const std::vector<SWindow*> kids = w->GetChildWindows();
            next.insert(next.end(), kids.begin(), kids.end());
        }
        level = std::move(next);
    }
    return nullptr;
}

}  // namespace

SWindow* SWindow::FindChildByName(const QString& name, int depth) const {
    if (name.isEmpty()) {
        return nullptr;
    }
    return FindBreadthFirst(this, depth, [&](SWindow* w) { return w->GetName() == name; });
}

SWindow* SWindow::FindChildByID(int id, int depth) const {
    return FindBreadthFirst(this, depth, [&](SWindow* w) { return w->GetID() == id; });
}

SWindow* SWindow::FindChildByName2(const QString& name, const QString& classTag, int depth) const {
    SWindow* found = FindChildByName(name, depth);
    if (found && found->IsClass(classTag)) {
        return found;
    }
    DebugReport(QStringLiteral("FindChildByName2 Failed, no window of class [%1] with name of "
                               "[%2] was found within [%3] levels")
                    .arg(classTag, name)
                    .arg(depth));
    return nullptr;
}

SWindow* SWindow::FindChildByID2(int id, const QString& classTag, int depth) const {
    SWindow* found = FindChildByID(id, depth);
    if (found && found->IsClass(classTag)) {
        return found;
    }
    DebugReport(QStringLiteral("FindChildByID2 Failed, no window of class [%1] with id of [%2] "
                               "was found within [%3] levels")
                    .arg(classTag)
                    .arg(id)
                    .arg(depth));
    return nullptr;
}

// ---- events -------------------------------------------------------------------------------

void SWindow::SubscribeEvent(int kind, EventHandler handler) {
    if (handler) {
        subscribers_[kind].push_back(std::move(handler));
    }
}

void SWindow::UnsubscribeEvent(int kind) {
    subscribers_.erase(kind);
}

EventArgs SWindow::MakeEvent(int kind) {
    EventArgs evt;
    evt.kind = kind;
    evt.sender = this;
    evt.senderId = id_;
    evt.senderName = name_;
    return evt;
}

bool SWindow::FireEvent(EventArgs& evt) {
    evt.sender = this;
    evt.senderId = id_;
    evt.senderName = name_;
    const auto it = subscribers_.find(evt.kind);
    if (it != subscribers_.end()) {
        // A copy: a handler may subscribe or unsubscribe while we walk the list.
        const std::vector<EventHandler> handlers = it->second;
        for (const EventHandler& handler : handlers) {
            if (handler(evt)) {
                evt.handled = true;
                return true;
            }
        }
    }
    if (SHostWnd* host = GetHost()) {
        if (host->DispatchEvent(evt)) {
            evt.handled = true;
        }
    }
    return evt.handled;
}

// ---- messages and timeline ----------------------------------------------------------------

qintptr SWindow::SendWndMessage(unsigned msg, qintptr wParam, qintptr lParam) {
    if (msg == kMsgSetLanguage) {
        OnLanguageChanged();
        if (SHostWnd* host = GetHost(); host && host->GetRoot() == this) {
            host->RetranslateTitle();
        }
        for (SWindow* child : GetChildWindows()) {
            child->SendWndMessage(msg, wParam, lParam);
        }
    }
    return 0;
}

bool SWindow::RegisterTimelineHandler(ITimelineHandler* handler) {
    SHostWnd* host = GetHost();
    if (!host || !handler) {
        return false;
    }
    host->RegisterTimelineHandler(handler);
    return true;
}

bool SWindow::UnregisterTimelineHandler(ITimelineHandler* handler) {
    SHostWnd* host = GetHost();
    if (!host || !handler) {
        return false;
    }
    host->UnregisterTimelineHandler(handler);
    return true;
}

// ---- layout -------------------------------------------------------------------------------

bool SWindow::InitFromXml(const pugi::xml_node& element) {
    if (!element) {
        return false;
    }
    const SApplication* app = SApplication::Instance();
    QString pos;
    for (const pugi::xml_attribute& attr : element.attributes()) {
        const QString name = QString::fromUtf8(attr.name());
        QString value = QString::fromUtf8(attr.value());
        if (app) {
            value = app->ResolveString(value);
        }
        if (name.compare(QLatin1String("pos"), Qt::CaseInsensitive) == 0) {
            pos = value;  // placed last, when the desired size is known
            continue;
        }
        SetAttribute(name, value, true);
    }
    if (id_ == 0 && !name_.isEmpty() && app) {
        id_ = app->IdOfName(name_);
    }
    if (!pos.isEmpty()) {
        SetAttribute(QStringLiteral("pos"), pos, true);
    }
    const BuildCall call;
    if (g_build.depth + 1 < kMaxNestingDepth) {
        ++g_build.depth;
        CreateChildren(element);
        --g_build.depth;
    } else if (element.first_child()) {
        WarnLayoutLimit("elements nested too deep");
    }
    OnCreated();
    return true;
}

bool SWindow::SetAttribute(const QString& name, const QString& value, bool /*loading*/) {
    const QString key = name.toLower();
    SApplication* app = SApplication::Instance();
    if (key == QLatin1String("name")) {
        name_ = value;
    } else if (key == QLatin1String("id")) {
        id_ = ParseIntValue(value);
    } else if (key == QLatin1String("pos")) {
        const std::vector<int> v = ParseInts(value);
        // Measured only when the layout leaves a side out: measuring text loads its font.
        const bool sized = v.size() > 3 && v[2] >= 0 && v[3] >= 0;
        const QSize desired = sized ? QSize() : GetDesiredSize();
        const int x = v.size() > 0 ? v[0] : 0;
        const int y = v.size() > 1 ? v[1] : 0;
        const int w = v.size() > 2 && v[2] >= 0 ? v[2] : desired.width();
        const int h = v.size() > 3 && v[3] >= 0 ? v[3] : desired.height();
        Move(QRect(x, y, w, h));
    } else if (key == QLatin1String("text")) {
        SetText(value, true);
    } else if (key == QLatin1String("tip")) {
        SetToolTipText(value, true);
    } else if (key == QLatin1String("trctx")) {
        trCtx_ = value;
    } else if (key == QLatin1String("visible")) {
        setVisible(ParseIntValue(value) != 0);
    } else if (key == QLatin1String("enable")) {
        setEnabled(ParseIntValue(value) != 0);
    } else if (key == QLatin1String("skin")) {
        ISkinObj* skin = app ? app->GetSkin(value) : nullptr;
        if (!skin && !value.isEmpty()) {
            return false;
        }
        SetSkin(skin);
    } else if (key == QLatin1String("colortext") || key == QLatin1String("colorbkgnd") ||
               key == QLatin1String("colorborder")) {
        QColor color;
        if (!app || !app->ParseColor(value, color)) {
            return false;
        }
        if (key == QLatin1String("colortext")) {
            SetColorText(color);
        } else if (key == QLatin1String("colorbkgnd")) {
            SetColorBkgnd(color);
        } else {
            SetColorBorder(color);
        }
    } else if (key == QLatin1String("font")) {
        QFont f = font();
        for (const QString& part : value.split(QLatin1Char(','))) {
            const QString k = part.section(QLatin1Char(':'), 0, 0).trimmed().toLower();
            const QString v = part.section(QLatin1Char(':'), 1).trimmed();
            if (k == QLatin1String("size") && ParseIntValue(v) > 0) {
                f.setPixelSize(ParseIntValue(v));
            } else if (k == QLatin1String("bold")) {
                f.setBold(ParseIntValue(v) != 0);
            } else if (k == QLatin1String("face") && !v.isEmpty()) {
                f.setFamilies({v});
            } else if (k == QLatin1String("hinting")) {
                // "none" spares a text in another script the auto-hinter, which reads dozens
                // of reference glyphs (megabytes of a CJK font) before drawing two.
                f.setHintingPreference(v.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0
                                           ? QFont::PreferNoHinting
                                           : QFont::PreferDefaultHinting);
            }
        }
        setFont(f);
    } else if (key == QLatin1String("align")) {
        const QString v = value.trimmed().toLower();
        Qt::Alignment h = Qt::AlignLeft;
        if (v == QLatin1String("center")) {
            h = Qt::AlignHCenter;
        } else if (v == QLatin1String("right")) {
            h = Qt::AlignRight;
        }
        SetTextAlign(h | Qt::AlignVCenter);
    } else if (key == QLatin1String("margin")) {
        const std::vector<int> v = ParseInts(value);
        if (v.size() == 1) {
            SetMargin(QMargins(v[0], v[0], v[0], v[0]));
        } else if (v.size() == 4) {
            SetMargin(QMargins(v[0], v[1], v[2], v[3]));
        } else {
            return false;
        }
    } else if (key == QLatin1String("data")) {
        userData_ = ParseIntValue(value);
    } else {
        return false;
    }
    return true;
}

bool SWindow::CreateChildren(const pugi::xml_node& element) {
    const BuildCall call;
    for (const pugi::xml_node& child : element.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        if (std::strcmp(child.name(), "include") == 0) {
            const SApplication* app = SApplication::Instance();
            if (!app) {
                continue;
            }
            if (g_build.includeDepth >= kMaxIncludeDepth || g_build.includes >= kMaxIncludes) {
                WarnLayoutLimit("too many includes");
                continue;
            }
            ++g_build.includes;
            pugi::xml_document doc;
            if (!app->LoadXml(doc, QString::fromUtf8(child.attribute("src").as_string()))) {
                continue;
            }
            ++g_build.includeDepth;
            CreateChildren(doc.document_element());
            --g_build.includeDepth;
            continue;
        }
        CreateChildFromXml(child);
    }
    return true;
}

SWindow* SWindow::CreateChildFromXml(const pugi::xml_node& element) {
    const SApplication* app = SApplication::Instance();
    if (!app) {
        return nullptr;
    }
    SWindow* child = app->CreateWidget(QString::fromUtf8(element.name()), this);
    if (!child) {
        return nullptr;  // unknown tag: skipped with its children
    }
    child->show();  // the layout's visible="0" hides it again
    child->InitFromXml(element);
    return child;
}

// ---- painting -----------------------------------------------------------------------------

void SWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    OnPaint(painter);
}

void SWindow::OnPaint(QPainter& painter) {
    DrawBackground(painter);
    const QString text = GetText();
    if (!text.isEmpty()) {
        DrawWndText(painter, GetTextRect(), text);
    }
    if (hasFocus()) {
        DrawFocus(painter);
    }
}

void SWindow::DrawBackground(QPainter& painter) {
    if (skin_) {
        skin_->Draw(painter, rect(), GetStateIndex4());
    } else if (colorBkgnd_.isValid()) {
        painter.fillRect(rect(), colorBkgnd_);
    }
    if (colorBorder_.isValid()) {
        painter.setPen(colorBorder_);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void SWindow::DrawWndText(QPainter& painter, const QRect& rect, const QString& text) {
    QColor color = colorText_.isValid() ? colorText_ : ThemeColor("text");
    if (!isEnabled()) {
        color = ThemeColor("label_disabled");
    }
    painter.setPen(color);
    painter.setFont(font());
    const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
    painter.drawText(rect, static_cast<int>(align_), shown);
}

void SWindow::DrawFocus(QPainter& /*painter*/) {}

QRect SWindow::GetTextRect() const {
    return GetClientRectLocal();
}

// ---- mouse --------------------------------------------------------------------------------

void SWindow::mousePressEvent(QMouseEvent* event) {
    if (clickThrough_ || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    OnLButtonDown(*event);
}

void SWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (clickThrough_ || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    OnLButtonUp(*event);
}

void SWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (clickThrough_ || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    OnLButtonDblClk(*event);
}

void SWindow::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(*event);
    if (clickThrough_) {
        event->ignore();
    }
}

void SWindow::enterEvent(QEnterEvent* /*event*/) {
    OnMouseHover();
}

void SWindow::leaveEvent(QEvent* /*event*/) {
    OnMouseLeave();
}

void SWindow::OnLButtonDown(QMouseEvent& /*event*/) {
    if (focusPolicy() & Qt::ClickFocus) {
        setFocus(Qt::MouseFocusReason);
    }
    SetPressedState(true);
}

void SWindow::OnLButtonUp(QMouseEvent& event) {
    const bool wasPressed = pressed_;
    SetPressedState(false);
    if (wasPressed && rect().contains(event.position().toPoint())) {
        OnClick();  // last: a handler may end a dialog or rebuild the tree
    }
}

void SWindow::OnLButtonDblClk(QMouseEvent& event) {
    OnLButtonDown(event);
}

void SWindow::OnMouseMove(QMouseEvent& /*event*/) {}

void SWindow::OnMouseHover() {
    SetHoverState(true);
}

void SWindow::OnMouseLeave() {
    SetHoverState(false);
}

}  // namespace kb::ui
