#include "widgets/shell_notify_icon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <pugixml.hpp>

#include "toolkit/first_frame.h"
#include "toolkit/menu.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "widgets/widget_values.h"

namespace kb::ui {

namespace {

constexpr int kFallbackIconSize = 16;
constexpr int kTrayFallbackMs = 1000;
// The sizes a notification area asks for. The logo is drawn large (256 pixels) for other
// uses; only these are kept, a few kilobytes in place of a quarter of a megabyte.
constexpr int kTraySizes[] = {16, 22, 24, 32, 48, 64};

QIcon TrayIconFrom(const QString& ref) {
    const SApplication* app = SApplication::Instance();
    const QPixmap pixmap = app ? app->LoadPixmap(ref) : QPixmap();
    if (pixmap.isNull()) {
        return {};
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? std::max<qreal>(1.0, screen->devicePixelRatio()) : 1.0;
    QIcon icon;
    for (const int size : kTraySizes) {
        const int side = qRound(size * ratio);
        if (side >= std::max(pixmap.width(), pixmap.height())) {
            icon.addPixmap(pixmap);  // a small logo as it is
            break;
        }
        QPixmap scaled = pixmap.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(ratio);
        icon.addPixmap(scaled);
    }
    return icon;
}

QIcon FallbackIcon() {
    const SApplication* app = SApplication::Instance();
    QPixmap pixmap = app ? app->LoadPixmap(QStringLiteral("ICON:ICON_LOGO")) : QPixmap();
    if (pixmap.isNull()) {
        return {};
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? std::max<qreal>(1.0, screen->devicePixelRatio()) : 1.0;
    const int side = qRound(kFallbackIconSize * ratio);
    pixmap = pixmap.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    pixmap.setDevicePixelRatio(ratio);
    return QIcon(pixmap);
}

}  // namespace

SShellNotifyIcon::SShellNotifyIcon(QWidget* parent) : SWindow(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(0, 0);
}

SShellNotifyIcon::~SShellNotifyIcon() {
    if (tray_) {
        tray_->hide();  // leaves the notification area now, not whenever Qt gets to it
    }
}

bool SShellNotifyIcon::SetAttribute(const QString& name, const QString& value, bool loading) {
    const QString key = name.toLower();
    if (key == QLatin1String("ico")) {
        iconRefs_.clear();
        const SApplication* app = SApplication::Instance();
        for (const QString& part : value.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (app && app->HasResource(part.trimmed())) {
                iconRefs_.push_back(part.trimmed());
            }
        }
        shownIcon_ = QIcon();
        return !iconRefs_.empty();
    }
    if (key == QLatin1String("tip")) {
        if (value.isEmpty()) {
            return false;
        }
        tip_ = value;
        if (tray_) {
            tray_->setToolTip(tip_);
        }
        return true;
    }
    if (key == QLatin1String("menu")) {
        pugi::xml_document doc;
        const SApplication* app = SApplication::Instance();
        if (!app || !app->LoadXml(doc, value)) {
            return false;
        }
        const QString root = QString::fromUtf8(doc.document_element().name());
        menuName_ = value;
        if (root == QLatin1String("menu")) {
            menuKind_ = MenuKind::Classic;
        } else if (root == QLatin1String("menuRoot") || root == QLatin1String("menuItem")) {
            menuKind_ = MenuKind::Extended;
        } else {
            menuKind_ = MenuKind::None;
        }
        return true;
    }
    if (key == QLatin1String("deficoidx")) {
        defIconIdx_ = ParseIntValue(value);
        shownIcon_ = QIcon();
        return true;
    }
    if (key == QLatin1String("startframe") || key == QLatin1String("duration")) {
        return true;
    }
    return SWindow::SetAttribute(name, value, loading);
}

void SShellNotifyIcon::OnCreated() {
    SWindow::OnCreated();
    // A negative index would read outside the list just like a too large one.
    if (defIconIdx_ < 0 || defIconIdx_ >= static_cast<int>(iconRefs_.size())) {
        defIconIdx_ = 0;
    }
    // Without a notification area Qt keeps the icon hidden and adds it once a tray appears. It
    // goes there after the window's first frame, as asking the desktop for a notification area
    // takes a while, or after a second should the window not be drawn by then.
    QWidget* host = window();
    RunAfterFirstFrame(
        host != this ? host : nullptr, this, [this] { PutIntoTray(); }, kTrayFallbackMs);
}

void SShellNotifyIcon::PutIntoTray() {
    if (!inTray_) {
        inTray_ = true;
        TrayIcon()->show();
    }
}

const QIcon& SShellNotifyIcon::ShownIcon() const {
    if (shownIcon_.isNull()) {
        const auto index = static_cast<size_t>(defIconIdx_);
        shownIcon_ = index < iconRefs_.size() ? TrayIconFrom(iconRefs_[index]) : QIcon();
        if (shownIcon_.isNull()) {
            shownIcon_ = FallbackIcon();
        }
    }
    return shownIcon_;
}

QSystemTrayIcon* SShellNotifyIcon::TrayIcon() const {
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>();
        tray_->setIcon(ShownIcon());
        tray_->setToolTip(tip_);
        auto* self = const_cast<SShellNotifyIcon*>(this);
        QObject::connect(
            tray_.get(), &QSystemTrayIcon::activated, self,
            [self](QSystemTrayIcon::ActivationReason reason) { self->OnActivated(reason); });
    }
    return tray_.get();
}

bool SShellNotifyIcon::CanShowBalloon() const {
    return QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages();
}

void SShellNotifyIcon::ShowBalloon(const QString& text) {
    balloon_ = text.left(kMaxBalloonChars);
    if (CanShowBalloon()) {
        TrayIcon()->showMessage(QString(), balloon_, QSystemTrayIcon::NoIcon, kBalloonTimeoutMs);
    }
}

QWidget* SShellNotifyIcon::HostWindow() const {
    if (SHostWnd* host = GetHost()) {
        return host;
    }
    return window();
}

void SShellNotifyIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            HandleTrayMouse(kTrayLButtonDown);
            break;
        case QSystemTrayIcon::Context:
            HandleTrayMouse(kTrayRButtonDown);
            break;
        case QSystemTrayIcon::DoubleClick:
            HandleTrayMouse(kTrayLButtonDblClk);
            break;
        case QSystemTrayIcon::MiddleClick:
            HandleTrayMouse(kTrayMButtonDown);
            break;
        default:
            break;
    }
}

void SShellNotifyIcon::HandleTrayMouse(qintptr mouseMessage) {
    if (SHostWnd* host = GetHost()) {
        if (host->SendHostMessage(kWmTrayNotify, kTrayIconId, mouseMessage) != 0) {
            return;  // the host's hook handled it
        }
    }
    QWidget* window = HostWindow();
    if (mouseMessage == kTrayLButtonDown && window) {
        if (window->isVisible()) {
            window->hide();
        } else {
            window->show();
            window->raise();
            window->activateWindow();
        }
    } else if (mouseMessage == kTrayRButtonDown) {
        OpenMenu();
    }
}

bool SShellNotifyIcon::LoadTrayMenu(SMenu& menu) const {
    return menuKind_ != MenuKind::None && menu.LoadMenu(menuName_);
}

void SShellNotifyIcon::OpenMenu() {
    SMenu menu;
    if (!LoadTrayMenu(menu)) {
        return;
    }
    if (QWidget* owner = HostWindow()) {
        // A host owner gets the chosen command through its message hook.
        menu.TrackPopupMenu(owner, QCursor::pos());
    }
}

void SShellNotifyIcon::DeliverCommand(int id) {
    if (SHostWnd* host = GetHost()) {
        host->SendHostMessage(kWmCommand, MakeWParam(id, 0), 0);
    }
}

}  // namespace kb::ui
