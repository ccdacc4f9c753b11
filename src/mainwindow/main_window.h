#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <array>
#include <functional>
#include <iosfwd>
#include <optional>
#include <vector>

#include "config/device_config.h"
#include "mainwindow/backup_restore_ui.h"
#include "mainwindow/connection_look.h"
#include "mainwindow/language.h"
#include "mainwindow/lighting_panel.h"
#include "platform/platform_services.h"
#include "session/keyboard_session.h"
#include "toolkit/shostwnd.h"
#include "widgets/coord_button_image.h"

namespace kb::ui {
class SComboBox;
class SSliderBar;
}  // namespace kb::ui

namespace kb {

// What the main window works with; the composition owns all of it and keeps it alive longer
// than the window.
struct MainWindowServices {
    KeyboardSession& session;  // the keyboard and what was sent to each key
    platform::PlatformServices& platform;
    const DeviceConfig& config;
};

class CMainDlg;

// Runs the key-assignment dialog modally over the main window for the selected keys and sets
// what the user chose on OK. Returns the dialog's end code: 1 OK, 65580 delete, anything else
// cancels.
using KeyDialogRunner =
    std::function<int(CMainDlg& owner, const KeySelection& keys, KeyChoice& chosen)>;

inline constexpr const char* kMainLayout = "LAYOUT:XML_MAINWND";
inline constexpr const char* kTextConnected = "Connected";
inline constexpr const char* kTextDisconnected = "Disconnected";
inline constexpr const char* kTextConnecting = "Connecting…";
inline constexpr const char* kTextWarningCaption = "Warning";
inline constexpr const char* kTextOpenFailed = "Failed to open USB";
inline constexpr const char* kTextRestoreConfirm =
    "All settings will be restored, are you sure you want to continue?";
// Tooltip of the controls that need the keyboard while it is not connected.
inline constexpr const char* kTextNotConnected = "The keyboard is not connected";
// Status line after a user's action whose reports failed.
inline constexpr const char* kTextNoResponse = "The keyboard did not respond";
// How long the status line shows that notice.
inline constexpr int kNoticeMs = 8000;

// Colours used when the colour table has no "accent" (connected, the language in use) or
// "danger" (disconnected).
inline constexpr QRgb kDefaultAccentColor = 0xFF00C8FF;
inline constexpr QRgb kDefaultDisconnectedColor = 0xFFE5606B;

inline constexpr int kIdBtnMore = 65537;
inline constexpr int kIdVersion = 65543;
inline constexpr int kIdBtnDelete = 65580;
inline constexpr int kIdTrayIcon = 110;
inline constexpr int kAllKeys = 0x7FFFFFFF;

inline constexpr int kMenuUpgrade = 1;
inline constexpr int kMenuExit = 6;
inline constexpr int kMenuBackUp = 7;
inline constexpr int kMenuRestore = 8;

// What a key does on the keyboard, in the language in use: Macro "Hello" ×3, → Esc, Mute,
// Copy (Ctrl+C), assigned elsewhere; keys by their display names in the given language.
QString KeyDetailText(const RememberedKey& key,
                      KeyNameLanguage language = KeyNameLanguage::English);

enum class LightingSync { ToControls, ToRecord };

// The program's main window: the keyboard picture, profiles, lighting, connection status, the
// window buttons and the menus. It owns the device channel and the keyboard protocol.
class CMainDlg : public ui::SHostWnd, public ui::ICoordButtonClickListener, public KeyboardView {
public:
    explicit CMainDlg(const MainWindowServices& services);
    ~CMainDlg() override;
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // Also greys the controls that need the keyboard (and drops the key marks) while it is not
    // connected, and brings them back with the connection.
    void SetConnectionStatus(bool connected);
    // True while the controls that need the keyboard are enabled.
    bool ControlsConnected() const { return look_.Connected(); }
    // The notice of the status line, empty when none shows.
    QString Notice() const;
    // Takes the notice away and shows the hint again (also done by a timer).
    void HideNotice();
    void SyncLightingControls(LightingSync direction);
    void SendLighting();
    void RestoreFactorySettings();
    qintptr OnDeviceChange();
    void ShowMoreMenu();
    void OnMenuCommand(int notifyCode, int commandId);
    // 1: Chinese, anything else: English. The button of the language in use is marked (checked,
    // in the accent colour).
    void SwitchLanguage(int language);
    // 1 when the translator manager's language is the Chinese translation's, 0 when it is the
    // English one's, -1 otherwise.
    int ActiveLanguage() const;
    void RunUpgradeTool();
    void OpenVendorSite();
    // The more menu's backup and restore of every profile's assignments and the lighting.
    void BackUpSettings();
    void RestoreSettings();
    // The list of the current profile's assigned keys; a row chosen there opens the key
    // dialog on its key.
    void ShowKeyOverview();

    // ICoordButtonClickListener
    int OnCoordButtonClick(int id, QString name, int event, unsigned flags, int x, int y) override;

    // KeyboardView
    void ClearKeyMarks() override;
    void MarkKey(int keyId) override;
    void ShowWarning(const std::string& text) override;

    // For the key-assignment dialog: what the selected key was given in the current profile
    // (null when unknown).
    const KeyChoice* SelectedKeyChoice() const;
    // Told of the connection after each device change while set (an open key dialog shows it);
    // empty: nobody.
    void SetConnectionWatcher(std::function<void(bool)> watcher) {
        connectionWatcher_ = std::move(watcher);
    }

    void SetKeyDialogRunner(KeyDialogRunner runner) { dialogRunner_ = std::move(runner); }
    // Leaves the start-up exchange with the keyboard out of the initialisation: it runs once the
    // window has drawn its first frame, so the user sees the window at once. Call before the
    // initialisation message.
    void DeferStartupConnection() { startupConnection_ = StartupConnection::Deferred; }
    // Told of each language the user switches to (1: Chinese, 0: English), to keep it.
    void SetLanguageChosenHandler(std::function<void(int)> handler) {
        languageChosen_ = std::move(handler);
    }
    // The web address of the "Visit website" link; empty when the link is hidden.
    QUrl VendorSiteUrl() const;
    const KeySelection& Selection() const { return selection_; }
    int CurrentProfileIndex() const { return session_.CurrentProfileIndex(); }

protected:
    bool OnEvent(ui::EventArgs& evt) override;
    bool OnHostMessage(unsigned msg, qintptr wParam, qintptr lParam, qintptr& result) override;

private:
    void OnInitDialog();
    void ConnectAtStartup();
    bool OnProfileChanged(ui::EventArgs& evt);
    bool OnLedModeChanged(ui::EventArgs& evt);
    bool OnCommandEvent(const ui::EventArgs& evt);
    void OnLightingControlChanged();
    // Makes `index` the current profile (see KeyboardProtocol::ChangeProfile) under the busy
    // cursor.
    bool SelectProfileAndReadBack(int index);
    void ResetToFactory();
    bool OpenDeviceChannel();
    void ReportOpenFailure();
    // Runs an exchange the user asked for; when reports of it failed and no warning was shown
    // meanwhile, the status line says the keyboard did not respond. Nested runs report once.
    template <class Exchange>
    void RunUserExchange(Exchange&& exchange);
    void ShowNoResponse();
    void RemarkKeysFromTables();
    void MinimizeToTray();
    int CurrentEffect() const;
    void SetMarker(bool set);
    void ShowKeyDetails();
    void ShowLighting(int effect);
    BackupRestoreContext BackupContext();

    enum class StartupConnection { InInitialisation, Deferred, AfterFirstFrame, Done };

    MainWindowServices services_;
    StartupConnection startupConnection_ = StartupConnection::InInitialisation;
    KeyboardSession& session_;
    KeySelection selection_;
    ui::CoordButtonImage* keyboard_ = nullptr;
    ui::SComboBox* profile_ = nullptr;
    LightingPanelView lighting_;
    ConnectionLook look_;
    LanguageSwitch language_;
    KeyDialogRunner dialogRunner_;
    std::function<void(int)> languageChosen_;
    std::function<void(bool)> connectionWatcher_;
    bool inDeviceChange_ = false;
    int userExchangeDepth_ = 0;
    bool warningShown_ = false;
    bool deviceChangePending_ = false;
};

}  // namespace kb
