#include "mainwindow/connection_look.h"

#include "mainwindow/lighting_panel.h"
#include "mainwindow/main_window.h"
#include "mainwindow/theme_colors.h"
#include "toolkit/swnd.h"

namespace kb {

ConnectionLook::ConnectionLook() {
    noticeTimer_.setSingleShot(true);
    noticeTimer_.setInterval(kNoticeMs);
    QObject::connect(&noticeTimer_, &QTimer::timeout, [this] { HideNotice(); });
}

void ConnectionLook::Find(ui::SWindow& root, LightingPanelView* lighting) {
    status_ = root.FindChildByID(kIdVersion);
    hint_ = root.FindChildByName(QStringLiteral("hint"));
    notice_ = root.FindChildByName(QStringLiteral("notice"));
    profile_ = root.FindChildByName(QStringLiteral("cmb_profile"));
    factoryRestore_ = root.FindChildByName(QStringLiteral("btn_restore_factory"));
    lighting_ = lighting;
}

std::vector<ui::SWindow*> ConnectionLook::Controls() const {
    std::vector<ui::SWindow*> controls{profile_, factoryRestore_};
    if (lighting_) {
        const std::vector<ui::SWindow*> panel = lighting_->Controls();
        controls.insert(controls.end(), panel.begin(), panel.end());
    }
    std::erase(controls, nullptr);
    return controls;
}

void ConnectionLook::ShowConnecting() {
    if (status_) {
        status_->SetText(QString::fromUtf8(kTextConnecting), true);
    }
}

bool ConnectionLook::Show(bool connected) {
    if (status_) {
        status_->SetText(QString::fromUtf8(connected ? kTextConnected : kTextDisconnected), false);
        status_->SetColorText(connected ? ThemeColor("accent", kDefaultAccentColor)
                                        : ThemeColor("danger", kDefaultDisconnectedColor));
    }
    if (connected == connected_) {
        return false;
    }
    connected_ = connected;
    if (connected) {
        for (const SavedTip& tip : savedTips_) {
            if (tip.window) {
                tip.window->SetToolTipText(tip.source, tip.translated);
            }
        }
        savedTips_.clear();
    } else {
        savedTips_.clear();
        for (ui::SWindow* control : Controls()) {
            savedTips_.push_back({control, control->ToolTipSource(), control->ToolTipTranslated()});
            control->SetToolTipText(QString::fromUtf8(kTextNotConnected), true);
        }
    }
    for (ui::SWindow* control : {profile_, factoryRestore_}) {
        if (control) {
            control->EnableWindow(connected);
        }
    }
    if (lighting_) {
        lighting_->Enable(connected);
    }
    return true;
}

void ConnectionLook::ShowNotice(const char* text) {
    if (hint_) {
        hint_->SetVisible(false);
    }
    if (notice_) {
        notice_->SetText(QString::fromUtf8(text), true);
        notice_->SetVisible(true);
    }
    noticeTimer_.start();
}

void ConnectionLook::HideNotice() {
    noticeTimer_.stop();
    if (notice_) {
        notice_->SetVisible(false);
        notice_->SetText(QString());
    }
    if (hint_) {
        hint_->SetVisible(true);
    }
}

QString ConnectionLook::Notice() const {
    return notice_ && notice_->IsVisible() ? notice_->GetText() : QString();
}

}  // namespace kb
