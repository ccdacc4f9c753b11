#include "mainwindow/main_window.h"

#include "mainwindow/backup_restore_ui.h"
#include "mainwindow/device_access.h"
#include "mainwindow/key_labels.h"
#include "mainwindow/profile_overview.h"
#include "mainwindow/theme_colors.h"
#include "mainwindow/window_helpers.h"

#include <QApplication>
#include <QByteArray>
#include <QColor>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include "toolkit/first_frame.h"
#include "toolkit/menu.h"
#include "toolkit/msgbox.h"
#include "toolkit/sapp.h"
#include "toolkit/swidgets.h"
#include "widgets/shell_notify_icon.h"
#include "widgets/upgrade_notice.h"

namespace kb {

namespace {

using ui::EventArgs;
using ui::SWindow;

constexpr int kLastProfileIndex = kProfileCount - 1;
constexpr int kStartupConnectionFallbackMs = 1000;

// The legend's swatches, in KeyKind order.
constexpr std::array<const char*, 5> kLegendNames{"legend_macro", "legend_key", "legend_media",
                                                  "legend_function", "legend_elsewhere"};

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

QString KeyDetailText(const RememberedKey& key, KeyNameLanguage language) {
    return QString::fromStdString(
        DescribeKey(key, language, [](const char* context, const std::string& text) {
            const ui::SApplication* app = ui::SApplication::Instance();
            const QString source = QString::fromStdString(text);
            return (app ? app->Tr(QString::fromUtf8(context), source) : source).toStdString();
        }));
}

CMainDlg::CMainDlg(const MainWindowServices& services)
    : ui::SHostWnd(Text(kMainLayout)),
      services_(services),
      session_(services.session),
      language_(services.config.chineseUi) {
    session_.SetView(this);
}

// The session stays open: the process ends right after the window goes.
CMainDlg::~CMainDlg() {
    session_.SetView(nullptr);
}

void CMainDlg::SetConnectionStatus(bool connected) {
    if (!look_.Show(connected)) {
        return;
    }
    // What the keys hold is not known while the keyboard is away: their marks, kinds and
    // labels go, and come back with the next read-back.
    if (connected) {
        RemarkKeysFromTables();
        ShowKeyDetails();
    } else {
        ClearKeyMarks();
        if (keyboard_) {
            keyboard_->SetKeyDetail(kAllKeys, QColor(), QString());
            keyboard_->SetKeyLabel(kAllKeys, QString());
        }
    }
}

void CMainDlg::RemarkKeysFromTables() {
    ClearKeyMarks();
    for (const SlotTable* table : {&session_.MacroSlots(), &session_.RemapSlots()}) {
        for (const std::uint8_t key : *table) {
            if (key != 0) {
                MarkKey(key);
            }
        }
    }
}

template <class Exchange>
void CMainDlg::RunUserExchange(Exchange&& exchange) {
    const std::uint64_t failedBefore = session_.FailedExchanges();
    if (userExchangeDepth_++ == 0) {
        warningShown_ = false;
    }
    exchange();
    // The memory follows what was read back; the keys show it.
    if (!IsDestroyed()) {
        ShowKeyDetails();
    }
    // Disconnected already says why nothing reaches the keyboard.
    if (--userExchangeDepth_ == 0 && session_.FailedExchanges() != failedBefore && !warningShown_ &&
        look_.Connected() && !IsDestroyed()) {
        ShowNoResponse();
    }
}

void CMainDlg::ShowNoResponse() {
    look_.ShowNotice(kTextNoResponse);
}

void CMainDlg::HideNotice() {
    look_.HideNotice();
}

QString CMainDlg::Notice() const {
    return look_.Notice();
}

bool CMainDlg::OnHostMessage(unsigned msg, qintptr wParam, qintptr lParam, qintptr& result) {
    switch (msg) {
        case ui::kWmInitDialog:
            OnInitDialog();
            result = 0;
            return true;
        case ui::kWmClose:
            DestroyWindow();
            result = 0;
            return true;
        case ui::kWmDestroy:
            SetMarker(false);
            DefHostMessage(msg, wParam, lParam);
            result = 0;
            return true;
        case ui::kWmDeviceChange:
            // A notification still queued when the window went away finds nobody to update.
            result = IsDestroyed() ? 0 : OnDeviceChange();
            return true;
        case ui::kWmCommand:
            OnMenuCommand(ui::HighWord(wParam), ui::LowWord(wParam));
            result = 0;
            return true;
        default:
            return false;
    }
}

void CMainDlg::SetMarker(bool set) {
    const ui::SApplication* app = ui::SApplication::Instance();
    const QString name = app ? app->InstanceName() : QString();
    if (name.isEmpty()) {
        return;
    }
    const QByteArray key = name.toUtf8();
    setProperty(key.constData(), set ? QVariant(1) : QVariant());
}

void CMainDlg::OnInitDialog() {
    SetMarker(true);

    keyboard_ = FindChildByName2<ui::CoordButtonImage>(QStringLiteral("img_keyboard"));
    if (keyboard_) {
        keyboard_->SetListener(this);
    }
    for (std::size_t kind = 0; kind < kLegendNames.size(); ++kind) {
        if (SWindow* swatch = FindChildByName(Text(kLegendNames[kind]))) {
            swatch->SetColorBkgnd(KindColor(static_cast<KeyKind>(kind)));
        }
    }

    // Selecting before subscribing keeps start-up from running the handlers.
    profile_ = FindChildByName2<ui::SComboBox>(QStringLiteral("cmb_profile"));
    if (profile_) {
        profile_->SetCurSel(0, true);
        profile_->SubscribeEvent(ui::kEvtComboSelChanged,
                                 ui::MemberHandler(this, &CMainDlg::OnProfileChanged));
        session_.SetCurrentProfileIndex(profile_->GetCurSel());
    }
    lighting_.Find(*GetRoot());
    look_.Find(*GetRoot(), &lighting_);
    // The panel shows the lighting last sent to this keyboard; nothing is sent for it.
    int effect = 0;
    if (const auto& lighting = session_.Memory().Memory().lighting) {
        session_.Lighting() = lighting->table;
        effect = lighting->effect;
    }
    if (ui::SComboBox* ledMode = lighting_.EffectList()) {
        ledMode->SetCurSel(effect, true);
        ledMode->SubscribeEvent(ui::kEvtComboSelChanged,
                                ui::MemberHandler(this, &CMainDlg::OnLedModeChanged));
    }

    language_.Find(*GetRoot());
    if (SWindow* link = FindChildByName(QStringLiteral("logo_link"))) {
        link->SetVisible(!VendorSiteUrl().isEmpty());
    }

    SyncLightingControls(LightingSync::ToControls);

    if (startupConnection_ == StartupConnection::Deferred) {
        look_.ShowConnecting();
        startupConnection_ = StartupConnection::AfterFirstFrame;
        // Should no frame ever be drawn (a platform without expose events), it connects
        // anyway. The window as the context drops the hook when it goes.
        ui::RunAfterFirstFrame(
            this, this,
            [this] {
                if (!IsDestroyed() && startupConnection_ == StartupConnection::AfterFirstFrame) {
                    ConnectAtStartup();
                }
            },
            kStartupConnectionFallbackMs);
        return;
    }
    ConnectAtStartup();
}

void CMainDlg::ConnectAtStartup() {
    startupConnection_ = StartupConnection::Done;
    if (OpenDeviceChannel()) {
        SetConnectionStatus(true);
    } else {
        ReportOpenFailure();
    }
    SelectProfileAndReadBack(session_.CurrentProfileIndex());
    ShowKeyDetails();

    QPointer<CMainDlg> self(this);
    services_.platform.WatchDeviceChanges([self] {
        if (CMainDlg* window = self.data()) {
            window->PostHostMessage(ui::kWmDeviceChange);
        }
    });
}

bool CMainDlg::OpenDeviceChannel() {
    BusyCursor busy;
    return session_.Connect();
}

void CMainDlg::ReportOpenFailure() {
    ui::SMessageBox(nullptr, Text(kTextOpenFailed), Text(kTextWarningCaption), ui::kMbOk);
    SetConnectionStatus(false);
    // A keyboard the system keeps from us is not absent: say what to do about it.
    if (session_.LastOpenFailure() == OpenFailure::NoPermission &&
        ExplainNoPermission(nullptr, services_.platform)) {
        PostHostMessage(ui::kWmDeviceChange);  // given access: look again
    }
}

bool CMainDlg::SelectProfileAndReadBack(int index) {
    BusyCursor busy;
    return session_.SelectProfile(index).done;
}

bool CMainDlg::OnEvent(EventArgs& evt) {
    bool handled = false;
    if (evt.kind == ui::kEvtCommand) {
        handled = OnCommandEvent(evt);
    } else if (evt.kind == ui::kEvtSliderPos &&
               (evt.senderName == QLatin1String("bar_speed") ||
                evt.senderName == QLatin1String("bar_brightness"))) {
        OnLightingControlChanged();
        handled = true;
    }
    if (handled) {
        evt.handled = true;
    }
    return handled;
}

bool CMainDlg::OnCommandEvent(const EventArgs& evt) {
    const QString& name = evt.senderName;
    if (name == QLatin1String("btn_more")) {
        ShowMoreMenu();
    } else if (name == QLatin1String("btn_close")) {
        DestroyWindow();
    } else if (name == QLatin1String("btn_min")) {
        MinimizeToTray();
    } else if (name == QLatin1String("btn_max")) {
        SendHostMessage(ui::kWmSysCommand, ui::kScMaximize);
    } else if (name == QLatin1String("btn_restore")) {
        SendHostMessage(ui::kWmSysCommand, ui::kScRestore);
    } else if (name == QLatin1String("zh_cn")) {
        SwitchLanguage(1);
    } else if (name == QLatin1String("btn_restore_factory")) {
        RestoreFactorySettings();
    } else if (name == QLatin1String("jp")) {
        SwitchLanguage(0);
    } else if (name == QLatin1String("logo_link")) {
        OpenVendorSite();
    } else if (name == QLatin1String("key_overview")) {
        ShowKeyOverview();
    } else if (LightingPanelView::IsLightingClick(evt.senderId)) {
        OnLightingControlChanged();
    } else {
        return false;
    }
    return true;
}

// Hiding leaves the tray icon as the way back; without a tray that would strand the window,
// so it is minimised instead.
void CMainDlg::MinimizeToTray() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
    } else {
        showMinimized();
    }
}

// ---- profiles and restore ------------------------------------------------------------------

bool CMainDlg::OnProfileChanged(EventArgs& /*evt*/) {
    RunUserExchange([this] { SelectProfileAndReadBack(profile_ ? profile_->GetCurSel() : -1); });
    return true;
}

void CMainDlg::RestoreFactorySettings() {
    if (ui::SMessageBox(this, Text(kTextRestoreConfirm), Text(kTextWarningCaption),
                        ui::kMbOkCancel) != ui::kIdOk) {
        return;
    }
    RunUserExchange([this] { ResetToFactory(); });
}

void CMainDlg::ResetToFactory() {
    BusyCursor busy;
    session_.RestoreFactorySettings([this] {
        // The lighting report and the profile select reach the keyboard only through these
        // notifications, that is only when a selection actually changes.
        if (ui::SComboBox* ledMode = lighting_.EffectList()) {
            ledMode->SetCurSel(0, true);
        }
        SyncLightingControls(LightingSync::ToControls);
        if (profile_) {
            profile_->SetCurSel(session_.CurrentProfileIndex(), true);
        }
    });
}

// ---- lighting ------------------------------------------------------------------------------

int CMainDlg::CurrentEffect() const {
    return lighting_.CurrentEffect();
}

bool CMainDlg::OnLedModeChanged(EventArgs& /*evt*/) {
    SyncLightingControls(LightingSync::ToControls);
    RunUserExchange([this] { SendLighting(); });
    return true;
}

void CMainDlg::OnLightingControlChanged() {
    SyncLightingControls(LightingSync::ToRecord);
    RunUserExchange([this] { SendLighting(); });
}

void CMainDlg::SendLighting() {
    BusyCursor busy;
    session_.SendLighting(CurrentEffect());
}

void CMainDlg::SyncLightingControls(LightingSync direction) {
    const int effect = CurrentEffect();
    if (effect < 0 || effect >= kEffectCount) {
        return;
    }
    LightingRecord& record = session_.Lighting()[static_cast<std::size_t>(effect)];
    if (direction == LightingSync::ToRecord) {
        lighting_.Store(effect, record);
    } else {
        lighting_.Show(effect, record);
    }
}

// ---- connection ----------------------------------------------------------------------------

qintptr CMainDlg::OnDeviceChange() {
    // A notification arriving while the warning of an earlier one is open is handled once
    // that one is done, instead of stacking another warning on top.
    if (inDeviceChange_) {
        deviceChangePending_ = true;
        return 0;
    }
    inDeviceChange_ = true;
    do {
        deviceChangePending_ = false;
        // One discovery: opening looks the keyboard up, and says when it is not there.
        if (OpenDeviceChannel()) {
            SetConnectionStatus(true);
            SelectProfileAndReadBack(session_.CurrentProfileIndex());
            ShowKeyDetails();
        } else if (session_.LastOpenFailure() == OpenFailure::NotFound) {
            SetConnectionStatus(false);
        } else {
            ReportOpenFailure();
        }
        if (connectionWatcher_) {
            connectionWatcher_(look_.Connected());
        }
    } while (deviceChangePending_ && !IsDestroyed());
    inDeviceChange_ = false;
    return 0;
}

// ---- menus, language, upgrade --------------------------------------------------------------

void CMainDlg::ShowMoreMenu() {
    SWindow* button = FindChildByID2<ui::SImageButton>(kIdBtnMore);
    if (!button) {
        return;
    }
    const QRect rect = button->GetWindowRect();
    const QPoint bottomLeft = mapToGlobal(QPoint(rect.left(), rect.top() + rect.height()));
    ui::SMenu menu;
    if (menu.LoadMenu(QStringLiteral("smenuex:menu_more"))) {
        menu.TrackPopupMenu(this, bottomLeft);
    }
}

void CMainDlg::OnMenuCommand(int notifyCode, int commandId) {
    if (notifyCode != 0) {
        return;
    }
    if (commandId == kMenuUpgrade) {
        RunUpgradeTool();
    } else if (commandId == kMenuBackUp) {
        BackUpSettings();
    } else if (commandId == kMenuRestore) {
        RestoreSettings();
    } else if (commandId == kMenuExit) {
        PostHostMessage(ui::kWmClose);
    }
}

void CMainDlg::SwitchLanguage(int language) {
    if (!language_.Switch(language, GetRoot())) {
        return;
    }
    if (languageChosen_) {
        languageChosen_(language == 1 ? 1 : 0);
    }
    ShowKeyDetails();
}

int CMainDlg::ActiveLanguage() const {
    return language_.Active();
}

void CMainDlg::RunUpgradeTool() {
    session_.Close();
    SetConnectionStatus(false);
#ifdef Q_OS_WIN
    const QString tool = ui::SApplication::ProgramFolder() + QStringLiteral("/update.exe");
#else
    const QString tool = ui::SApplication::ProgramFolder() + QStringLiteral("/update");
#endif
    hide();
    bool started = false;
    {
        BusyCursor busy;
        started = services_.platform.RunAndWait(tool);
    }
    show();
    if (!started) {
        // On the tray's balloon where the desktop shows one, else in a box over the window.
        ui::TellUpgradeFailed(this, FindChildByID2<ui::SShellNotifyIcon>(kIdTrayIcon),
                              Text(ui::UpgradeFailedSource()));
    }
    if (OpenDeviceChannel()) {
        SetConnectionStatus(true);
    } else {
        ReportOpenFailure();
    }
}

// Only web addresses are opened: the link is for the vendor's site, nothing else.
QUrl CMainDlg::VendorSiteUrl() const {
    const QUrl url(QString::fromStdString(services_.config.website), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        return {};
    }
    return url;
}

void CMainDlg::OpenVendorSite() {
    const QUrl url = VendorSiteUrl();
    if (!url.isEmpty()) {
        services_.platform.OpenUrl(url);
    }
}

// ---- key buttons ---------------------------------------------------------------------------

int CMainDlg::OnCoordButtonClick(int id, QString name, int event, unsigned /*flags*/, int /*x*/,
                                 int /*y*/) {
    if (event != 1) {
        return 0;
    }
    if (session_.CurrentProfileIndex() > kLastProfileIndex) {
        session_.SetCurrentProfileIndex(0);
    }
    selection_.insert({static_cast<std::uint8_t>(id & 0xFF), name.toStdString()});
    KeyChoice chosen;
    const int result = dialogRunner_ ? dialogRunner_(*this, selection_, chosen) : ui::kIdCancel;
    // The dialog takes OK only while the keyboard is there; should it have gone meanwhile,
    // nothing is sent.
    if (result == ui::kIdOk && look_.Connected()) {
        RunUserExchange([this, &chosen] {
            BusyCursor busy;
            session_.Assign(chosen, selection_);
        });
    } else if (result == kIdBtnDelete && !selection_.empty() && look_.Connected()) {
        RunUserExchange([this] {
            BusyCursor busy;
            session_.Clear(selection_);
        });
    }
    selection_.clear();
    return 0;
}

void CMainDlg::ClearKeyMarks() {
    if (keyboard_) {
        keyboard_->SetCheck(kAllKeys, 0);
    }
}

void CMainDlg::MarkKey(int keyId) {
    if (keyboard_) {
        keyboard_->SetCheck(keyId, 1);
    }
}

// The protocol warns while the busy cursor is up; the box waits for the user, so it gets the
// ordinary pointer until it closes.
void CMainDlg::ShowWarning(const std::string& text) {
    warningShown_ = true;
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ui::SMessageBox(this, QString::fromStdString(text), Text(kTextWarningCaption), ui::kMbOk);
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
}

// ---- what each key does, backup and restore ------------------------------------------------

void CMainDlg::ShowKeyDetails() {
    if (!keyboard_) {
        return;
    }
    keyboard_->SetKeyDetail(kAllKeys, QColor(), QString());
    keyboard_->SetKeyLabel(kAllKeys, QString());
    const KeyNameLanguage language =
        ActiveLanguage() == 1 ? KeyNameLanguage::Chinese : KeyNameLanguage::English;
    for (const ui::CoordKey& key : keyboard_->GetKeys()) {
        keyboard_->SetKeyTitle(key.id, KeyTitle(key.id, language), KeyCapLegend(key.id));
    }
    const int profile = session_.CurrentProfileIndex();
    if (!look_.Connected() || profile < 0 || profile >= kProfileCount) {
        return;
    }
    for (const auto& [code, key] :
         session_.Memory().Memory().profiles[static_cast<std::size_t>(profile)]) {
        keyboard_->SetKeyDetail(code, KindColor(key.choice.kind), KeyDetailText(key, language));
        keyboard_->SetKeyLabel(code, KeyCapLabel(key, [](const char* context, const QString& text) {
                                   const ui::SApplication* app = ui::SApplication::Instance();
                                   return app ? app->Tr(QString::fromUtf8(context), text) : text;
                               }));
    }
}

void CMainDlg::ShowKeyOverview() {
    if (!keyboard_) {
        return;
    }
    const int profile = session_.CurrentProfileIndex();
    // While the keyboard is away nothing of it is known: the overview says so.
    const ProfileMemory* memory =
        look_.Connected() && profile >= 0 && profile < kProfileCount
            ? &session_.Memory().Memory().profiles[static_cast<std::size_t>(profile)]
            : nullptr;
    const KeyNameLanguage language =
        ActiveLanguage() == 1 ? KeyNameLanguage::Chinese : KeyNameLanguage::English;
    std::vector<OverviewRow> rows;
    std::vector<ui::CoordKey> keys = keyboard_->GetKeys();
    for (const ui::CoordKey& key : keys) {
        const auto found = memory ? memory->find(static_cast<std::uint8_t>(key.id & 0xFF))
                                  : ProfileMemory::const_iterator();
        if (!memory || found == memory->end() || key.id < 0 || key.id > 0xFF) {
            continue;
        }
        rows.push_back({key.id, KeyTitle(key.id, language), KeyDetailText(found->second, language),
                        KindColor(found->second.choice.kind)});
    }
    const QString profileName =
        profile_ ? TrMain(profile_->GetLBText(profile).toUtf8().constData()) : QString();
    ProfileOverview::Texts texts;
    texts.title = TrMain("Assigned keys of %1").arg(profileName);
    texts.summary =
        TrMain("Keys with an assignment: %1. Click a row to change that key.").arg(rows.size());
    texts.keyColumn = TrMain("Assigned key");
    texts.actionColumn = TrMain("What it does");
    texts.empty = look_.Connected() ? TrMain(
                                          "No key of this profile holds an assignment. Click a "
                                          "key of the keyboard to give it one.")
                                    : TrMain(kTextNotConnected);
    ProfileOverview overview(this, texts, rows);
    overview.exec();
    const int chosen = overview.ChosenKey();
    if (chosen < 0) {
        return;
    }
    for (const ui::CoordKey& key : keys) {
        if (key.id == chosen) {
            // As a click on the key: the dialog opens on it.
            OnCoordButtonClick(key.id, key.name, ui::CoordButtonImage::kEventRelease, 0, 0, 0);
            break;
        }
    }
}

const KeyChoice* CMainDlg::SelectedKeyChoice() const {
    if (selection_.empty()) {
        return nullptr;
    }
    const RememberedKey* key =
        session_.Memory().Find(session_.CurrentProfileIndex(), selection_.begin()->first);
    return key && key->choice.kind != KeyKind::Elsewhere ? &key->choice : nullptr;
}

BackupRestoreContext CMainDlg::BackupContext() {
    // The profile list follows without notifications, so it shows the profile being read or
    // restored.
    return {this,
            services_.platform,
            session_,
            look_.Connected(),
            [this](int index) {
                if (profile_ && index >= 0 && index < kProfileCount) {
                    profile_->SetCurSel(index, false);
                }
            },
            [this](int effect) { ShowLighting(effect); }};
}

void CMainDlg::BackUpSettings() {
    kb::BackUpSettings(BackupContext());
    ShowKeyDetails();
}

void CMainDlg::ShowLighting(int effect) {
    lighting_.ChooseEffect(effect);
    SyncLightingControls(LightingSync::ToControls);
}

void CMainDlg::RestoreSettings() {
    kb::RestoreSettings(BackupContext());
    ShowKeyDetails();
}

}  // namespace kb
