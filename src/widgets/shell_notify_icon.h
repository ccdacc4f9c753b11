#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <memory>
#include <vector>

#include "toolkit/swnd.h"

namespace kb::ui {

class SMenu;

// The tray notification offered to the host's message hook before the default handling:
// wParam = kTrayIconId, lParam = the mouse message. A hook that handles it returns non-zero.
inline constexpr unsigned kWmTrayNotify = 2135;  // WM_USER + 1111
inline constexpr qintptr kTrayIconId = 100;
inline constexpr qintptr kTrayLButtonDown = 0x201;
inline constexpr qintptr kTrayLButtonDblClk = 0x203;
inline constexpr qintptr kTrayRButtonDown = 0x204;
inline constexpr qintptr kTrayMButtonDown = 0x207;

// "shellnotifyicon": the program's icon in the notification area. Paints nothing.
// Attributes: ico (icon references separated by ";"), deficoidx, tip, menu ("SMENU:..." or
// "SMENUEX:..."), startframe and duration (accepted, unused).
// A left click hides the host window, or shows and raises it; a right click opens the menu at
// the cursor, whose command goes to the host as kWmCommand.
class SShellNotifyIcon : public SWindow {
    KB_UI_CLASS(SShellNotifyIcon, SWindow, "shellnotifyicon")
public:
    enum class MenuKind { None, Classic, Extended };
    static constexpr int kMaxBalloonChars = 255;
    static constexpr int kBalloonTimeoutMs = 1000;

    explicit SShellNotifyIcon(QWidget* parent = nullptr);
    ~SShellNotifyIcon() override;

    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    QSize GetDesiredSize() const override { return {0, 0}; }
    // Puts the icon into the notification area.
    void OnCreated() override;

    void ShowBalloon(const QString& text);
    // False while the desktop has no notification area that shows balloons.
    bool CanShowBalloon() const;

    // What a tray click does: offered to the host's hook first, then the default behaviour.
    void HandleTrayMouse(qintptr mouseMessage);
    // Loads the menu as it would open now; false without a menu.
    bool LoadTrayMenu(SMenu& menu) const;
    // Delivers a menu command to the host window.
    void DeliverCommand(int id);

    // Made on first use, at the latest when it goes into the notification area after the
    // window's first frame.
    QSystemTrayIcon* TrayIcon() const;
    size_t IconCount() const { return iconRefs_.size(); }
    int DefaultIconIndex() const { return defIconIdx_; }
    // Decoded when first asked for, at the latest as the icon goes into the notification area.
    const QIcon& ShownIcon() const;
    const QString& Tip() const { return tip_; }
    MenuKind GetMenuKind() const { return menuKind_; }
    const QString& MenuName() const { return menuName_; }
    const QString& LastBalloon() const { return balloon_; }

protected:
    void OnPaint(QPainter& /*painter*/) override {}

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);
    void PutIntoTray();
    void OpenMenu();
    QWidget* HostWindow() const;

    std::vector<QString> iconRefs_;  // resources, decoded only for the icon shown
    int defIconIdx_ = 0;
    MenuKind menuKind_ = MenuKind::None;
    QString menuName_;
    QString tip_;
    mutable QIcon shownIcon_;
    QString balloon_;
    mutable std::unique_ptr<QSystemTrayIcon> tray_;
    bool inTray_ = false;
};

}  // namespace kb::ui
