#include "toolkit/shostwnd.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <pugixml.hpp>

#include "toolkit/attribute_value.h"
#include "toolkit/sapp.h"
#include "toolkit/sskin.h"
#include "toolkit/theme.h"

namespace kb::ui {

namespace {}  // namespace

SHostWnd::SHostWnd(const QString& layoutName)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), layoutName_(layoutName) {
    timer_.setInterval(kTimelineIntervalMs);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { RunTimelineTick(); });
}

SHostWnd::~SHostWnd() {
    timer_.stop();
    timeline_.clear();
    // The widgets go first, while the host they unregister from still exists.
    delete root_;
    root_ = nullptr;
}

bool SHostWnd::CreateHost(QWidget* owner) {
    if (created_) {
        return root_ && !root_->GetChildWindows().empty();
    }
    created_ = true;
    root_ = new SWindow(this);
    root_->setGeometry(rect());
    root_->show();

    const SApplication* app = SApplication::Instance();
    pugi::xml_document doc;
    if (!app || !app->LoadXml(doc, layoutName_)) {
        return false;
    }
    const pugi::xml_node layout = doc.document_element();
    if (!layout) {
        return false;
    }
    auto attr = [&](const char* name) {
        return app->ResolveString(QString::fromUtf8(layout.attribute(name).as_string()));
    };
    const QString context = attr("trCtx");
    root_->SetTrContext(context);
    const QStringList size = attr("size").split(QLatin1Char(','));
    if (size.size() == 2 && ParseIntValue(size[0]) > 0 && ParseIntValue(size[1]) > 0) {
        layoutSize_ = QSize(ParseIntValue(size[0]), ParseIntValue(size[1]));
        resize(layoutSize_);
    }
    titleSource_ = attr("title");
    RetranslateTitle();
    if (const QString skin = attr("skin"); !skin.isEmpty()) {
        bkSkin_ = app->GetSkin(skin);
    }
    if (QColor color; app->ParseColor(attr("colorBkgnd"), color)) {
        bkColor_ = color;
    }
    radius_ = std::max(0, ParseIntValue(attr("radius")));
    if (radius_ > 0) {
        setAttribute(Qt::WA_TranslucentBackground);
    }
    root_->setGeometry(ContentRect());
    root_->CreateChildren(layout);
    UpdateWindowButtons();
    // The native window is made only now, with its title and translucency known: a Windows window
    // takes its alpha at creation, and one made earlier stays opaque with the program's name.
    if (owner) {
        // A separate top-level window that stays above its owner.
        winId();
        if (QWindow* handle = windowHandle(); handle && owner->window()->windowHandle()) {
            handle->setTransientParent(owner->window()->windowHandle());
        }
    }
    SendHostMessage(kWmCreate);
    return true;
}

void SHostWnd::RetranslateTitle() {
    const SApplication* app = SApplication::Instance();
    if (app && root_ && !titleSource_.isEmpty()) {
        setWindowTitle(app->Tr(root_->TrContext(), titleSource_));
    }
}

SWindow* SHostWnd::FindChildByName(const QString& name, int depth) const {
    return root_ ? root_->FindChildByName(name, depth) : nullptr;
}

SWindow* SHostWnd::FindChildByID(int id, int depth) const {
    return root_ ? root_->FindChildByID(id, depth) : nullptr;
}

qintptr SHostWnd::SendHostMessage(unsigned msg, qintptr wParam, qintptr lParam) {
    qintptr result = 0;
    if (OnHostMessage(msg, wParam, lParam, result)) {
        return result;
    }
    return DefHostMessage(msg, wParam, lParam);
}

void SHostWnd::PostHostMessage(unsigned msg, qintptr wParam, qintptr lParam) {
    QMetaObject::invokeMethod(
        this, [this, msg, wParam, lParam] { SendHostMessage(msg, wParam, lParam); },
        Qt::QueuedConnection);
}

qintptr SHostWnd::DefHostMessage(unsigned msg, qintptr wParam, qintptr /*lParam*/) {
    switch (msg) {
        case kWmClose:
            DestroyWindow();
            break;
        case kWmDestroy:
            if (mainWindow_) {
                QCoreApplication::exit(1);
            }
            break;
        case kWmSysCommand:
            switch (wParam & 0xFFF0) {
                case kScMinimize:
                    showMinimized();
                    break;
                case kScMaximize:
                    showMaximized();
                    break;
                case kScRestore:
                    showNormal();
                    break;
                case kScClose:
                    SendHostMessage(kWmClose);
                    break;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return 0;
}

void SHostWnd::DestroyWindow() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    timer_.stop();
    hide();
    SendHostMessage(kWmDestroy);
}

void SHostWnd::CenterOnScreen() {
    const QScreen* s = screen();
    if (!s) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
}

bool SHostWnd::DispatchEvent(EventArgs& evt) {
    if (OnEvent(evt)) {
        evt.handled = true;
    }
    return evt.handled;
}

void SHostWnd::RegisterTimelineHandler(ITimelineHandler* handler) {
    if (!handler || std::find(timeline_.begin(), timeline_.end(), handler) != timeline_.end()) {
        return;
    }
    timeline_.push_back(handler);
    if (!timer_.isActive() && !destroyed_) {
        timer_.start();
    }
}

void SHostWnd::UnregisterTimelineHandler(ITimelineHandler* handler) {
    std::erase(timeline_, handler);
    if (timeline_.empty()) {
        timer_.stop();
    }
}

void SHostWnd::RunTimelineTick() {
    // A copy: handlers may unregister themselves or others during the tick.
    const std::vector<ITimelineHandler*> handlers = timeline_;
    for (ITimelineHandler* handler : handlers) {
        if (std::find(timeline_.begin(), timeline_.end(), handler) != timeline_.end()) {
            handler->OnNextFrame();
        }
    }
}

void SHostWnd::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool maximized = isMaximized() || isFullScreen();
    if (radius_ > 0 && !maximized) {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), radius_, radius_);
        painter.setClipPath(clip);
    }
    if (bkSkin_) {
        bkSkin_->Draw(painter, rect(), 0);
    } else {
        painter.fillRect(rect(), bkColor_.isValid() ? bkColor_ : ThemeColor("bg"));
    }
}

void SHostWnd::closeEvent(QCloseEvent* event) {
    // The system's close goes through the message hook like every other close.
    event->ignore();
    SendHostMessage(kWmClose);
}

void SHostWnd::resizeEvent(QResizeEvent* event) {
    if (root_) {
        root_->setGeometry(ContentRect());
    }
    QWidget::resizeEvent(event);
}

void SHostWnd::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        UpdateWindowButtons();
        if (root_) {
            root_->setGeometry(ContentRect());
        }
        update();
    }
    QWidget::changeEvent(event);
}

QRect SHostWnd::ContentRect() const {
    const bool maximized = isMaximized() || isFullScreen();
    if (!maximized || !layoutSize_.isValid() || layoutSize_.width() >= width() ||
        layoutSize_.height() >= height()) {
        return rect();
    }
    QRect content(QPoint(0, 0), layoutSize_);
    content.moveCenter(rect().center());
    return content;
}

void SHostWnd::UpdateWindowButtons() {
    if (!root_) {
        return;
    }
    const bool maximized = isMaximized() || isFullScreen();
    for (const char* name : {"btn_max", "btnMax"}) {
        if (SWindow* button = root_->FindChildByName(QString::fromLatin1(name))) {
            button->SetVisible(!maximized);
        }
    }
    for (const char* name : {"btn_restore", "btnRestore"}) {
        if (SWindow* button = root_->FindChildByName(QString::fromLatin1(name))) {
            button->SetVisible(maximized);
        }
    }
}

// ---- modal dialog -------------------------------------------------------------------------

SHostDialog::SHostDialog(const QString& layoutName) : SHostWnd(layoutName) {}

SHostDialog::~SHostDialog() {
    if (loop_) {
        loop_->quit();
    }
}

int SHostDialog::Run(QWidget* owner) {
    if (loop_) {
        return -1;  // already running
    }
    ended_ = false;
    code_ = 0;
    if (!IsCreated()) {
        CreateHost(owner);
    }
    SendHostMessage(kWmInitDialog);
    if (ended_) {
        return code_;
    }
    QWidget* ownerWindow = owner ? owner->window() : nullptr;
    const bool ownerWasEnabled = ownerWindow && ownerWindow->isEnabled();
    if (ownerWindow) {
        ownerWindow->setEnabled(false);
        QRect frame = frameGeometry();
        frame.moveCenter(ownerWindow->frameGeometry().center());
        move(frame.topLeft());
    } else {
        CenterOnScreen();
    }
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    loop_ = &loop;
    if (!ended_) {
        loop.exec();
    }
    loop_ = nullptr;
    hide();
    if (ownerWindow && ownerWasEnabled) {
        ownerWindow->setEnabled(true);
        ownerWindow->activateWindow();
    }
    return code_;
}

void SHostDialog::EndDialog(int code) {
    if (ended_) {
        return;
    }
    ended_ = true;
    code_ = code;
    if (loop_) {
        loop_->quit();
    }
}

void SHostDialog::keyPressEvent(QKeyEvent* event) {
    // Escape that no control took closes the dialog, as its close command does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        SendHostMessage(kWmClose);
        return;
    }
    SHostWnd::keyPressEvent(event);
}

qintptr SHostDialog::DefHostMessage(unsigned msg, qintptr wParam, qintptr lParam) {
    if (msg == kWmClose) {
        EndDialog(kIdCancel);
        return 0;
    }
    return SHostWnd::DefHostMessage(msg, wParam, lParam);
}

}  // namespace kb::ui
