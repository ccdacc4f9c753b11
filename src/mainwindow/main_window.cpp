#include "mainwindow/main_window.h"

#include "mainwindow/device_access.h"
#include "mainwindow/key_labels.h"
#include "mainwindow/profile_overview.h"

#include <QApplication>
#include <QByteArray>
#include <QColor>
#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <pugixml.hpp>

#include "device/discovery.h"
#include "keymap/backup_restore.h"
#include "toolkit/menu.h"
#include "toolkit/msgbox.h"
#include "toolkit/sapp.h"
#include "toolkit/swidgets.h"
#include "toolkit/translator.h"
#include "widgets/shell_notify_icon.h"
#include "widgets/upgrade_notice.h"

namespace kb {

namespace {

using ui::EventArgs;
using ui::SWindow;

// Lighting panel ids: the direction pair, then each colour row with its first button left out
// of the group (choosing it leaves the group without a checked member).
// Larger indices select nothing on the keyboard; -1 (nothing chosen) still passes.
constexpr int kLastProfileIndex = kProfileCount - 1;
// How much of the lighting panel shows through while the keyboard is away.
constexpr qreal kDisconnectedOpacity = 0.4;
constexpr int kStartupConnectionFallbackMs = 1000;

constexpr std::array kDirectionIds = {65593, 65594};
constexpr int kColourNoneId = 65596;  // bar_color0: colour cycle
constexpr int kColourFirstMemberId = kColourNoneId + 1;
constexpr int kSecondColourNoneId = 65605;  // bar_color00
constexpr int kSecondColourFirstMemberId = kSecondColourNoneId + 1;
constexpr int kColourMembers = 7;
// udef_areaN_color1, areas in the panel's id order 1, 3, 5, 2, 4, 6.
constexpr std::array kAreaFirstIds = {65614, 65638, 65622, 65646, 65630, 65654};

// Clicks on these ids update the current effect's record.
constexpr std::array<std::pair<int, int>, 4> kLightingClickRanges{{
    {65593, 65594},
    {65596, 65603},
    {65605, 65612},
    {65614, 65661},
}};

// The legend's swatches, in KeyKind order.
constexpr std::array<const char*, kKindColors.size()> kLegendNames{
    "legend_macro", "legend_key", "legend_media", "legend_function", "legend_elsewhere"};

bool IsLightingClick(int id) {
    for (const auto& [lo, hi] : kLightingClickRanges) {
        if (id >= lo && id <= hi) {
            return true;
        }
    }
    return false;
}

// The wait cursor while the program blocks on the keyboard or the upgrade tool.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

int CheckedIndex(const std::vector<SWindow*>& group) {
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (group[i]->IsChecked()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Checks member `index` and clears the others; an index outside the group clears them all.
void CheckOnly(const std::vector<SWindow*>& group, int index) {
    for (std::size_t i = 0; i < group.size(); ++i) {
        group[i]->SetCheck(static_cast<int>(i) == index);
    }
}

// A colour row: member `index` checked, or for -1 the row's first control, which stands for
// "no member" (colour cycle, area off). Without it checked the row would show whatever was
// checked before, and the next change would store that.
void ShowRowChoice(const std::vector<SWindow*>& group, SWindow* none, int index) {
    CheckOnly(group, index);
    if (none) {
        none->SetCheck(index == -1);
    }
}

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

// The language names are read into a 64-character buffer.
constexpr qsizetype kMaxLanguageName = 63;

const char* TranslatorResource(int language) {
    return language == 1 ? "lang_cn" : "lang_en";
}

// The translation resource of a language (1: Chinese, else English), loaded; nullptr when it is
// missing or no translation.
std::shared_ptr<ui::STranslator> LoadTranslator(const ui::SApplication& app, int language) {
    pugi::xml_document doc;
    if (!app.LoadXml(doc, QStringLiteral("translator"), Text(TranslatorResource(language)))) {
        return nullptr;
    }
    auto translator = std::make_shared<ui::STranslator>();
    if (!translator->Load(doc.child("language"))) {
        return nullptr;
    }
    return translator;
}

// An entry of the colour table, else the given default.
QColor ThemeColor(const char* name, const QColor& fallback) {
    const ui::SApplication* app = ui::SApplication::Instance();
    QColor color;
    if (app && app->ParseColor(QStringLiteral("@color/") + Text(name), color)) {
        return color;
    }
    return fallback;
}

// A text of the main window's translation context.
QString Tr(const char* source) {
    const ui::SApplication* app = ui::SApplication::Instance();
    const QString text = Text(source);
    return app ? app->Tr(QStringLiteral("main"), text) : text;
}

// A media or function entry's name, translated as the key-assignment dialog shows it.
QString TrName(const std::string& name) {
    const ui::SApplication* app = ui::SApplication::Instance();
    const QString text = QString::fromStdString(name);
    return app ? app->Tr(QStringLiteral("macro"), text) : text;
}

// What the user chose, as far as the record tells, for a dialog that did not say.
KeyChoice ChoiceOfRecord(const AssignmentRecord& record) {
    KeyChoice choice;
    if (record[3] != 0) {
        choice.kind = KeyKind::Macro;
        choice.repeat = record[3];
    } else {
        choice.kind = KeyKind::Key;
        choice.target = record[2];
    }
    return choice;
}

platform::FileChooserOptions BackupFileOptions() {
    platform::FileChooserOptions options;
    options.filterLabel = Tr("Keyboard settings");
    options.patterns = {QStringLiteral("*.") + Text(kBackupSuffix)};
    options.defaultSuffix = Text(kBackupSuffix);
    return options;
}

// A box with the given caption and an OK button (or OK and Cancel), owned by the window and
// with the ordinary pointer while it waits.
int Ask(QWidget* owner, const QString& text, const QString& caption, int type) {
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    const int answer = ui::SMessageBox(owner, text, caption, type);
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
    return answer;
}

}  // namespace

QString KeyDetailText(const RememberedKey& key, KeyNameLanguage language) {
    const KeyChoice& choice = key.choice;
    const auto arrowTo = [language](std::uint8_t code) {
        return QStringLiteral("\u2192 ") +
               (code == 0 ? Tr("nothing") : QString::fromStdString(KeyCodeName(code, language)));
    };
    switch (choice.kind) {
        case KeyKind::Macro: {
            // What the keyboard keeps: the low byte, and 0 is a single code for the key itself.
            const int repeat = RepeatKept(choice.repeat);
            if (repeat == 0) {
                return arrowTo(key.key);
            }
            QString text = Tr("Macro \"%1\"").arg(QString::fromStdString(choice.name));
            if (repeat > 1) {
                text += QStringLiteral(" \u00d7") + QString::number(repeat);
            }
            return text;
        }
        case KeyKind::Key:
            return arrowTo(choice.target);
        case KeyKind::Media:
            return TrName(choice.name);
        case KeyKind::Function:
            return TrName(choice.name) + QStringLiteral(" (") +
                   QString::fromStdString(ChordText(choice.codes, language)) + QLatin1Char(')');
        case KeyKind::Elsewhere:
            break;
    }
    return Tr("assigned elsewhere");
}

CMainDlg::CMainDlg(const MainWindowServices& services)
    : ui::SHostWnd(Text(kMainLayout)),
      services_(services),
      channel_(services.backend, services.gate, services.diagnostics, services.trace),
      protocol_(channel_, services.pacer, *this) {
    noticeTimer_.setSingleShot(true);
    noticeTimer_.setInterval(kNoticeMs);
    connect(&noticeTimer_, &QTimer::timeout, this, [this] { HideNotice(); });
    protocol_.SetSlotTablesListener(this);
}

// The channel stays open: the process ends right after the window goes.
CMainDlg::~CMainDlg() = default;

void CMainDlg::SetConnectionStatus(bool connected) {
    if (SWindow* status = FindChildByID(kIdVersion)) {
        status->SetText(Text(connected ? kTextConnected : kTextDisconnected), false);
        status->SetColorText(connected ? ThemeColor("accent", kDefaultAccentColor)
                                       : ThemeColor("danger", kDefaultDisconnectedColor));
    }
    EnableKeyboardControls(connected);
}

std::vector<SWindow*> CMainDlg::KeyboardControls() const {
    // The keyboard picture is not among them: its dialog edits the macro library offline.
    std::vector<SWindow*> controls{profile_, ledMode_,
                                   FindChildByName(QStringLiteral("btn_restore_factory"))};
    for (SWindow* panel : panels_) {
        if (!panel) {
            continue;
        }
        // The panel's own controls show their own tooltips; they say why they are grey too.
        std::vector<SWindow*> pending{panel};
        while (!pending.empty()) {
            SWindow* control = pending.back();
            pending.pop_back();
            controls.push_back(control);
            for (SWindow* child : control->GetChildWindows()) {
                pending.push_back(child);
            }
        }
    }
    std::erase(controls, nullptr);
    return controls;
}

// The marks are not known while the keyboard is away; the tables of the last read-back show
// them again when it is back (a reconnection reads them anew right after).
void CMainDlg::EnableKeyboardControls(bool enable) {
    if (enable == controlsConnected_) {
        return;
    }
    controlsConnected_ = enable;
    if (enable) {
        for (const SavedTip& tip : savedTips_) {
            if (tip.window) {
                tip.window->SetToolTipText(tip.source, tip.translated);
            }
        }
        savedTips_.clear();
    } else {
        savedTips_.clear();
        for (SWindow* control : KeyboardControls()) {
            savedTips_.push_back({control, control->ToolTipSource(), control->ToolTipTranslated()});
            control->SetToolTipText(Text(kTextNotConnected), true);
        }
    }
    for (SWindow* control : {static_cast<SWindow*>(profile_), static_cast<SWindow*>(ledMode_),
                             FindChildByName(QStringLiteral("btn_restore_factory"))}) {
        if (control) {
            control->EnableWindow(enable);
        }
    }
    for (SWindow* panel : panels_) {
        if (panel) {
            panel->EnableWindow(enable);
            // Sliders and swatches are drawn from skins without a grey state: the panel fades.
            if (enable) {
                panel->setGraphicsEffect(nullptr);
            } else {
                auto* fade = new QGraphicsOpacityEffect(panel);
                fade->setOpacity(kDisconnectedOpacity);
                panel->setGraphicsEffect(fade);
            }
        }
    }
    // What the keys hold is not known while the keyboard is away: their marks, kinds and
    // labels go, and come back with the next read-back.
    if (enable) {
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
    for (const SlotTable* table : {&protocol_.MacroSlots(), &protocol_.RemapSlots()}) {
        for (const std::uint8_t key : *table) {
            if (key != 0) {
                MarkKey(key);
            }
        }
    }
}

template <class Exchange>
void CMainDlg::RunUserExchange(Exchange&& exchange) {
    const std::uint64_t failedBefore = channel_.FailedExchanges();
    if (userExchangeDepth_++ == 0) {
        warningShown_ = false;
    }
    exchange();
    // Disconnected already says why nothing reaches the keyboard.
    if (--userExchangeDepth_ == 0 && channel_.FailedExchanges() != failedBefore && !warningShown_ &&
        controlsConnected_ && !IsDestroyed()) {
        ShowNoResponse();
    }
}

void CMainDlg::ShowNoResponse() {
    if (SWindow* hint = FindChildByName(QStringLiteral("hint"))) {
        hint->SetVisible(false);
    }
    if (SWindow* notice = FindChildByName(QStringLiteral("notice"))) {
        notice->SetText(Text(kTextNoResponse), true);
        notice->SetVisible(true);
    }
    noticeTimer_.start();
}

void CMainDlg::HideNotice() {
    noticeTimer_.stop();
    if (SWindow* notice = FindChildByName(QStringLiteral("notice"))) {
        notice->SetVisible(false);
        notice->SetText(QString());
    }
    if (SWindow* hint = FindChildByName(QStringLiteral("hint"))) {
        hint->SetVisible(true);
    }
}

QString CMainDlg::Notice() const {
    const SWindow* notice = FindChildByName(QStringLiteral("notice"));
    return notice && notice->IsVisible() ? notice->GetText() : QString();
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
            swatch->SetColorBkgnd(QColor::fromRgba(kKindColors[kind]));
        }
    }

    // Selecting before subscribing keeps start-up from running the handlers.
    profile_ = FindChildByName2<ui::SComboBox>(QStringLiteral("cmb_profile"));
    if (profile_) {
        profile_->SetCurSel(0, true);
        profile_->SubscribeEvent(ui::kEvtComboSelChanged,
                                 ui::MemberHandler(this, &CMainDlg::OnProfileChanged));
        protocol_.SetCurrentProfileIndex(profile_->GetCurSel());
    }
    ledMode_ = FindChildByName2<ui::SComboBox>(QStringLiteral("cmb_led_mode"));
    // The panel shows the lighting last sent to this keyboard; nothing is sent for it.
    int effect = 0;
    if (services_.memory && services_.memory->Memory().lighting) {
        const RememberedLighting& lighting = *services_.memory->Memory().lighting;
        protocol_.Lighting() = lighting.table;
        effect = lighting.effect;
    }
    if (ledMode_) {
        ledMode_->SetCurSel(effect, true);
        ledMode_->SubscribeEvent(ui::kEvtComboSelChanged,
                                 ui::MemberHandler(this, &CMainDlg::OnLedModeChanged));
    }

    languageButtons_ = {LanguageButton{FindChildByName(QStringLiteral("zh_cn")), 1, {}},
                        LanguageButton{FindChildByName(QStringLiteral("jp")), 0, {}}};
    for (LanguageButton& button : languageButtons_) {
        if (button.window) {
            button.idleColor = button.window->ColorText();
        }
    }
    MarkActiveLanguage();
    if (SWindow* link = FindChildByName(QStringLiteral("logo_link"))) {
        link->SetVisible(!VendorSiteUrl().isEmpty());
    }

    speed_ = FindChildByName2<ui::SSliderBar>(QStringLiteral("bar_speed"));
    brightness_ = FindChildByName2<ui::SSliderBar>(QStringLiteral("bar_brightness"));

    const auto fill = [this](Group& group, int firstId, int count) {
        group.clear();
        for (int id = firstId; id < firstId + count; ++id) {
            if (SWindow* member = FindChildByID(id)) {
                member->SetCheck(false);
                group.push_back(member);
            }
        }
    };
    fill(direction_, kDirectionIds.front(), static_cast<int>(kDirectionIds.size()));
    fill(colour_, kColourFirstMemberId, kColourMembers);
    fill(secondColour_, kSecondColourFirstMemberId, kColourMembers);
    colourNone_ = FindChildByID(kColourNoneId);
    secondColourNone_ = FindChildByID(kSecondColourNoneId);
    for (std::size_t area = 0; area < areas_.size(); ++area) {
        fill(areas_[area], kAreaFirstIds[area] + 1, kColourMembers);
        areaNone_[area] = FindChildByID(kAreaFirstIds[area]);
    }

    for (std::size_t i = 0; i < panels_.size(); ++i) {
        panels_[i] = FindChildByName2<SWindow>(QString::fromUtf8(
            kLightingPanelNames[i].data(), static_cast<qsizetype>(kLightingPanelNames[i].size())));
    }

    SyncLightingControls(LightingSync::ToControls);

    if (startupConnection_ == StartupConnection::Deferred) {
        if (SWindow* status = FindChildByID(kIdVersion)) {
            status->SetText(Text(kTextConnecting), true);
        }
        startupConnection_ = StartupConnection::AfterFirstFrame;
        // Should no frame ever be drawn (a platform without expose events), connect anyway. The
        // window as the timers' context drops them when it goes.
        QTimer::singleShot(kStartupConnectionFallbackMs, this, [this] {
            if (!IsDestroyed() && startupConnection_ == StartupConnection::AfterFirstFrame) {
                ConnectAtStartup();
            }
        });
        return;
    }
    ConnectAtStartup();
}

// The first paint of the window is on screen once the event loop comes round again.
bool CMainDlg::event(QEvent* event) {
    const bool result = ui::SHostWnd::event(event);
    if (event->type() == QEvent::Paint &&
        startupConnection_ == StartupConnection::AfterFirstFrame) {
        startupConnection_ = StartupConnection::Done;
        QTimer::singleShot(0, this, [this] {
            if (!IsDestroyed()) {
                ConnectAtStartup();
            }
        });
    }
    return result;
}

void CMainDlg::ConnectAtStartup() {
    startupConnection_ = StartupConnection::Done;
    if (OpenDeviceChannel()) {
        SetConnectionStatus(true);
    } else {
        ReportOpenFailure();
    }
    SelectProfileAndReadBack(protocol_.CurrentProfileIndex());

    QPointer<CMainDlg> self(this);
    services_.platform.WatchDeviceChanges([self] {
        if (CMainDlg* window = self.data()) {
            window->PostHostMessage(ui::kWmDeviceChange);
        }
    });
}

bool CMainDlg::OpenDeviceChannel() {
    const DeviceConfig& config = services_.config;
    BusyCursor busy;
    return channel_.OpenChannel(config.vid, config.pid, config.interfaceNumber, config.subdevice) !=
           0;
}

void CMainDlg::ReportOpenFailure() {
    ui::SMessageBox(nullptr, Text(kTextOpenFailed), Text(kTextWarningCaption), ui::kMbOk);
    SetConnectionStatus(false);
    // A keyboard the system keeps from us is not absent: say what to do about it.
    if (channel_.LastOpenFailure() == OpenFailure::NoPermission &&
        ExplainNoPermission(nullptr, services_.platform)) {
        PostHostMessage(ui::kWmDeviceChange);  // given access: look again
    }
}

bool CMainDlg::SelectProfileAndReadBack(int index) {
    BusyCursor busy;
    return protocol_.ChangeProfile(index);
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
    } else if (IsLightingClick(evt.senderId)) {
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
    protocol_.RestoreFactorySettings([this] {
        if (services_.memory) {
            services_.memory->FactoryRestored();
        }
        // The lighting report and the profile select reach the keyboard only through these
        // notifications, that is only when a selection actually changes.
        if (ledMode_) {
            ledMode_->SetCurSel(0, true);
        }
        SyncLightingControls(LightingSync::ToControls);
        if (profile_) {
            profile_->SetCurSel(protocol_.CurrentProfileIndex(), true);
        }
    });
}

// ---- lighting ------------------------------------------------------------------------------

int CMainDlg::CurrentEffect() const {
    return ledMode_ ? ledMode_->GetCurSel() : -1;
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
    if (protocol_.SendLighting(CurrentEffect()) && services_.memory) {
        services_.memory->LightingSent(CurrentEffect(), protocol_.Lighting());
    }
}

LightingControls CMainDlg::ReadControls() const {
    LightingControls controls;
    controls.direction = CheckedIndex(direction_);
    controls.colour = CheckedIndex(colour_);
    controls.secondColour = CheckedIndex(secondColour_);
    for (std::size_t area = 0; area < areas_.size(); ++area) {
        controls.areas[area] = CheckedIndex(areas_[area]);
    }
    controls.speed = speed_ ? speed_->GetValue() : 0;
    controls.brightness = brightness_ ? brightness_->GetValue() : 0;
    return controls;
}

void CMainDlg::SyncLightingControls(LightingSync direction) {
    const int effect = CurrentEffect();
    if (effect < 0 || effect >= kEffectCount) {
        return;
    }
    LightingRecord& record = protocol_.Lighting()[static_cast<std::size_t>(effect)];
    if (direction == LightingSync::ToRecord) {
        StoreLightingControls(effect, ReadControls(), record);
        return;
    }
    const PanelRow& row = kPanelVisibility[static_cast<std::size_t>(effect)];
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        if (panels_[i]) {
            panels_[i]->SetVisible(row[i] == PanelVisibility::Shown);
        }
    }
    // Only what the effect shows changes.
    LightingControls controls;
    LoadLightingControls(effect, record, controls);
    if (brightness_) {
        brightness_->SetValue(controls.brightness);
    }
    if (effect == kUserAreaEffect) {
        for (std::size_t area = 0; area < areas_.size(); ++area) {
            ShowRowChoice(areas_[area], areaNone_[area], controls.areas[area]);
        }
        return;
    }
    if (speed_) {
        speed_->SetValue(controls.speed);
    }
    if (effect == kSecondColourEffect) {
        ShowRowChoice(secondColour_, secondColourNone_, controls.secondColour);
    } else {
        ShowRowChoice(colour_, colourNone_, controls.colour);
    }
    CheckOnly(direction_, controls.direction);
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
        const DeviceConfig& config = services_.config;
        const MatchCriteria criteria{config.vid, config.pid, config.interfaceNumber,
                                     config.subdevice};
        bool present = false;
        {
            BusyCursor busy;
            present = FindKeyboardInterface(services_.backend, criteria, services_.diagnostics)
                          .has_value();
        }
        if (!present) {
            SetConnectionStatus(false);
        } else if (OpenDeviceChannel()) {
            SetConnectionStatus(true);
            SelectProfileAndReadBack(protocol_.CurrentProfileIndex());
        } else {
            ReportOpenFailure();
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
    ui::SApplication* app = ui::SApplication::Instance();
    ui::STranslatorMgr* manager = app ? app->GetTranslator() : nullptr;
    if (!manager) {
        return;
    }
    // A resource that is no translation would drop the current one and leave the window
    // untranslated: it counts as not loaded.
    std::shared_ptr<ui::STranslator> translator = LoadTranslator(*app, language);
    if (!translator) {
        return;
    }
    translationNames_[language == 1 ? 1 : 0] = translator->Name().left(kMaxLanguageName);
    manager->SetLanguage(translator->Name().left(kMaxLanguageName));
    manager->InstallTranslator(translator);
    if (SWindow* root = GetRoot()) {
        root->SendWndMessage(ui::kMsgSetLanguage, 0, 0);
    }
    MarkActiveLanguage();
    if (languageChosen_) {
        languageChosen_(language == 1 ? 1 : 0);
    }
    ShowKeyDetails();
}

int CMainDlg::ActiveLanguage() const {
    const ui::SApplication* app = ui::SApplication::Instance();
    const ui::STranslatorMgr* manager = app ? app->GetTranslator() : nullptr;
    if (!manager || manager->Language().isEmpty()) {
        return -1;
    }
    // Names already known first, then the translations in the order the configured language
    // comes first, so the one not in use is not read at start-up.
    for (const int language : {1, 0}) {
        const QString& name = translationNames_[static_cast<std::size_t>(language)];
        if (!name.isEmpty() && name == manager->Language()) {
            return language;
        }
    }
    const int configured = services_.config.chineseUi ? 1 : 0;
    for (const int language : {configured, 1 - configured}) {
        QString& name = translationNames_[static_cast<std::size_t>(language)];
        if (!name.isEmpty()) {
            continue;
        }
        if (const std::shared_ptr<ui::STranslator> translator = LoadTranslator(*app, language)) {
            name = translator->Name().left(kMaxLanguageName);
            if (name == manager->Language()) {
                return language;
            }
        }
    }
    return -1;
}

void CMainDlg::MarkActiveLanguage() {
    const int active = ActiveLanguage();
    const QColor activeColor = ThemeColor("accent", kDefaultAccentColor);
    for (LanguageButton& button : languageButtons_) {
        if (!button.window) {
            continue;
        }
        const bool on = button.language == active;
        button.window->SetCheck(on);
        button.window->SetColorText(on ? activeColor : button.idleColor);
    }
}

void CMainDlg::RunUpgradeTool() {
    channel_.CloseChannel();
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
    if (protocol_.CurrentProfileIndex() > kLastProfileIndex) {
        protocol_.SetCurrentProfileIndex(0);
    }
    selection_.insert({static_cast<std::uint8_t>(id & 0xFF), name.toStdString()});
    AssignmentRecord record{};
    dialogChoice_.reset();
    const int result = dialogRunner_ ? dialogRunner_(*this, selection_, record) : ui::kIdCancel;
    if (result == ui::kIdOk) {
        RunUserExchange([this, &record] {
            BusyCursor busy;
            const KeyChoice choice = dialogChoice_ ? *dialogChoice_ : ChoiceOfRecord(record);
            // Key by key, so the memory follows each read-back once and only what was taken.
            for (const auto& [code, keyName] : selection_) {
                if (!AssignAndRemember(protocol_, services_.memory, code, record, choice,
                                       ProfileListIndex())) {
                    break;
                }
            }
            ShowKeyDetails();
        });
    } else if (result == kIdBtnDelete && !selection_.empty()) {
        RunUserExchange([this] {
            BusyCursor busy;
            protocol_.ClearAssignment(selection_, ProfileListIndex());
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

int CMainDlg::ProfileListIndex() const {
    return profile_ ? profile_->GetCurSel() : -1;
}

// ---- what each key does, backup and restore ------------------------------------------------

void CMainDlg::SlotTablesRead(int profileIndex, const SlotTable& macro, const SlotTable& remap) {
    if (services_.memory) {
        services_.memory->SlotTablesRead(profileIndex, macro, remap);
    }
    ShowKeyDetails();
}

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
    const int profile = protocol_.CurrentProfileIndex();
    if (!controlsConnected_ || !services_.memory || profile < 0 || profile >= kProfileCount) {
        return;
    }
    for (const auto& [code, key] :
         services_.memory->Memory().profiles[static_cast<std::size_t>(profile)]) {
        keyboard_->SetKeyDetail(
            code, QColor::fromRgba(kKindColors[static_cast<std::size_t>(key.choice.kind)]),
            KeyDetailText(key, language));
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
    const int profile = protocol_.CurrentProfileIndex();
    // While the keyboard is away nothing of it is known: the overview says so.
    const ProfileMemory* memory =
        controlsConnected_ && services_.memory && profile >= 0 && profile < kProfileCount
            ? &services_.memory->Memory().profiles[static_cast<std::size_t>(profile)]
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
        rows.push_back(
            {key.id, KeyTitle(key.id, language), KeyDetailText(found->second, language),
             QColor::fromRgba(kKindColors[static_cast<std::size_t>(found->second.choice.kind)])});
    }
    const QString profileName =
        profile_ ? Tr(profile_->GetLBText(profile).toUtf8().constData()) : QString();
    ProfileOverview::Texts texts;
    texts.title = Tr("Assigned keys of %1").arg(profileName);
    texts.summary =
        Tr("Keys with an assignment: %1. Click a row to change that key.").arg(rows.size());
    texts.keyColumn = Tr("Assigned key");
    texts.actionColumn = Tr("What it does");
    texts.empty = controlsConnected_ ? Tr("No key of this profile holds an assignment. Click a "
                                          "key of the keyboard to give it one.")
                                     : Tr(kTextNotConnected);
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
    if (!services_.memory || selection_.empty()) {
        return nullptr;
    }
    const RememberedKey* key =
        services_.memory->Find(protocol_.CurrentProfileIndex(), selection_.begin()->first);
    return key && key->choice.kind != KeyKind::Elsewhere ? &key->choice : nullptr;
}

// The memory knows a profile only once it was read back; a backup needs all three.
bool CMainDlg::ReadBackEveryProfile() {
    const int current = protocol_.CurrentProfileIndex();
    bool complete = true;
    for (int profile = 0; profile < kProfileCount && complete; ++profile) {
        complete = SelectProfileAndReadBack(profile);
    }
    // Back to the profile in use; an index beyond the third selects nothing, as before.
    SelectProfileAndReadBack(current);
    return complete;
}

void CMainDlg::BackUpSettings() {
    KeyMemory* memory = services_.memory;
    if (!memory) {
        return;
    }
    const QString caption = Tr("Back up settings");
    if (!controlsConnected_) {
        Ask(this, Tr(kTextNotConnected), caption, ui::kMbOk);
        return;
    }
    const QString path = services_.platform.ChooseSaveFile(this, BackupFileOptions());
    if (path.isEmpty()) {
        return;
    }
    bool read = false;
    bool written = false;
    {
        BusyCursor busy;
        // A profile that was not read would go into the backup as it was last known.
        read = ReadBackEveryProfile();
        written = read && WriteBackup(path.toStdString(), memory->Identity(), memory->Memory());
    }
    if (!read) {
        Ask(this, Tr("The keyboard did not respond; nothing was backed up."), caption, ui::kMbOk);
        return;
    }
    if (!written) {
        Ask(this, Tr("The backup could not be written to %1.").arg(path), caption, ui::kMbOk);
        return;
    }
    const KeyboardMemory& remembered = memory->Memory();
    const int known = CountKnownKeys(remembered);
    int elsewhere = 0;
    for (const ProfileMemory& profile : remembered.profiles) {
        elsewhere += static_cast<int>(profile.size());
    }
    elsewhere -= known;
    QString text = Tr("Settings backed up. Assigned keys in the three profiles: %1.").arg(known);
    if (remembered.lighting) {
        text += QLatin1Char(' ') + Tr("The lighting is in the backup too.");
    }
    if (elsewhere > 0) {
        text += QLatin1Char(' ') +
                Tr("Keys assigned elsewhere, left out of the backup: %1.").arg(elsewhere);
    }
    Ask(this, text, caption, ui::kMbOkInformation);
}

void CMainDlg::ShowLighting(int effect) {
    if (ledMode_ && effect != CurrentEffect()) {
        ledMode_->SetCurSel(effect, false);
    }
    SyncLightingControls(LightingSync::ToControls);
}

void CMainDlg::RestoreSettings() {
    KeyMemory* memory = services_.memory;
    if (!memory) {
        return;
    }
    const QString caption = Tr("Restore settings");
    if (!controlsConnected_) {
        Ask(this, Tr(kTextNotConnected), caption, ui::kMbOk);
        return;
    }
    const QString path = services_.platform.ChooseOpenFile(this, BackupFileOptions());
    if (path.isEmpty()) {
        return;
    }
    const BackupReadResult read = ReadBackup(path.toStdString(), memory->Identity());
    if (!read.memory) {
        QString reason;
        switch (read.problem) {
            case BackupProblem::OtherKeyboard:
                reason = Tr("It was made for another keyboard.");
                break;
            case BackupProblem::NewerFormat:
                reason = Tr("It was written by a newer version of this program.");
                break;
            case BackupProblem::Damaged:
                reason = Tr("It is damaged.");
                break;
            default:
                reason = Tr("It is not a backup of keyboard settings.");
                break;
        }
        Ask(this, Tr("%1 cannot be restored.").arg(path) + QLatin1Char(' ') + reason, caption,
            ui::kMbOk);
        return;
    }
    if (Ask(this,
            Tr("The key assignments of all three profiles and the lighting will be replaced by "
               "those of the backup. Continue?"),
            caption, ui::kMbOkCancel) != ui::kIdOk) {
        return;
    }
    const int current = std::clamp(protocol_.CurrentProfileIndex(), 0, kLastProfileIndex);
    // The profile list follows without notifications, so single-code assignments go to the
    // profile being restored.
    const auto selectProfile = [this](int index) {
        if (profile_) {
            profile_->SetCurSel(index, false);
        }
        return SelectProfileAndReadBack(index);
    };
    RestoreResult result;
    {
        BusyCursor busy;
        result = RestoreBackup(protocol_, *read.memory, selectProfile, memory);
        selectProfile(current);
        if (read.memory->lighting) {
            ShowLighting(read.memory->lighting->effect);
        }
    }
    if (result.done) {
        QString text =
            Tr("Settings restored. Assigned keys in the three profiles: %1.").arg(result.keys);
        if (read.memory->lighting) {
            text += QLatin1Char(' ') + Tr("The lighting was sent too.");
        }
        Ask(this, text, caption, ui::kMbOkInformation);
    } else {
        const QString text =
            result.failedProfile < 0
                ? Tr("The restore stopped at the lighting; the key assignments were restored.")
            : result.failedKey == 0
                ? Tr("The restore stopped at profile %1; the profiles before it were restored.")
                      .arg(result.failedProfile + 1)
                : Tr("The restore stopped at key %1 of profile %2; the keys before it were "
                     "restored.")
                      .arg(QString::fromStdString(KeyCodeName(result.failedKey)))
                      .arg(result.failedProfile + 1);
        Ask(this, text, caption, ui::kMbOk);
    }
}

}  // namespace kb
