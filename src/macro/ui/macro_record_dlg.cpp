#include "macro/ui/macro_record_dlg.h"

#include <QDir>
#include <QTimer>
#include <filesystem>

#include "config/device_config.h"
#include "macro/key_codes.h"
#include "macro/macro_dialog_state.h"
#include "macro/xml_file.h"
#include "toolkit/msgbox.h"
#include "toolkit/sapp.h"
#include "toolkit/slistview.h"
#include "toolkit/stabctrl.h"
#include "toolkit/swidgets.h"
#include "util/number_text.h"

namespace kb {
namespace {

std::string LibraryPath(const std::string& dataFolder) {
    const std::u8string text = (PathFromUtf8(dataFolder) / "macro.xml").u8string();
    return std::string(text.begin(), text.end());
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr const char* kDelayModeNames[] = {"chk_macro_realy_delay", "chk_macro_fixed_delay",
                                           "chk_macro_no_delay"};

}  // namespace

MacroRecordDlg::MacroRecordDlg(const MacroDialogServices& services, const KeySelection& keys,
                               KeyAssignmentChoices* choices)
    : ui::SHostDialog(QString::fromLatin1(kMacroLayout)),
      services_(services),
      keys_(keys),
      choices_(choices),
      library_(LibraryPath(services.dataFolder)),
      recorder_(services.clock) {
    setObjectName(QString::fromLatin1(kClassName));
    connected_ = choices == nullptr || choices->connected;
}

MacroRecordDlg::~MacroRecordDlg() {
    services_.platform.CaptureKeystrokes(false);
    KeyboardHook::UninstallHook();
    if (registeredListener_ != nullptr) {
        KeyboardHook::RemoveListener(registeredListener_);
        registeredListener_ = nullptr;
    }
}

bool MacroRecordDlg::OnHostMessage(unsigned msg, qintptr, qintptr, qintptr&) {
    if (msg == ui::kWmInitDialog) {
        OnInitDialog();
    }
    return false;
}

void MacroRecordDlg::showEvent(QShowEvent* event) {
    ui::SHostDialog::showEvent(event);
    // Desktop platforms capture keystrokes for the window active when capturing starts; it
    // started before this window showed, so it starts again once the dialog is up.
    QTimer::singleShot(0, this, [this] {
        services_.platform.CaptureKeystrokes(false);
        UpdateKeystrokeCapture();
    });
}

void MacroRecordDlg::UpdateKeystrokeCapture() {
    // Only while the hook consumes keystrokes: otherwise typing must reach the focused field
    // and other programs.
    const int page = CurrentPage();
    const bool consuming = page == 1 || (page == 0 && IsRecording());
    services_.platform.CaptureKeystrokes(KeyboardHook::IsInstalled() && consuming);
}

void MacroRecordDlg::OnInitDialog() {
    MacroDialogState& state = services_.state;

    // 1-2: recording state and the two lists.
    recorder_.Reset();
    groupList_ = dynamic_cast<ui::SListView*>(
        FindChildByName2<ui::SListView>(QStringLiteral("macro_group")));
    if (groupList_ != nullptr) {
        groupAdapter_ = std::make_shared<CMacroGroupAdapter>(library_, this);
        groupList_->SetAdapter(groupAdapter_);
    }
    stepList_ = FindChildByName2<ui::SMcListView>(QStringLiteral("key_info"));
    if (stepList_ != nullptr) {
        stepAdapter_ = std::make_shared<KeyAndDelayAdapter>(library_);
        stepList_->SetAdapter(stepAdapter_);
    }

    // 3: the keys being assigned.
    recordingKeys_ = FindChildByName2<ui::SStatic>(QStringLiteral("text_recording_keys"));
    if (recordingKeys_ != nullptr) {
        QStringList names;
        for (const auto& [code, name] : keys_) {
            names.append(QString::fromStdString(name));
        }
        recordingKeys_->SetText(names.join(QLatin1Char(',')));
    }

    // 4-5: delay mode and its controls.
    if (state.dlymode >= 3) {
        state.dlymode = kDelayReal;
        state.SaveState();
    }
    // Filling the controls below notifies their handlers with the values the state already
    // holds: "store.xml" is written on the user's own changes only.
    initialising_ = true;
    delayModeControls_.clear();
    for (const char* name : kDelayModeNames) {
        const ui::SApplication* app = ui::SApplication::Instance();
        const int id = app != nullptr ? app->IdOfName(QString::fromLatin1(name)) : 0;
        ui::SWindow* control = id != 0 ? FindChildByID(id) : nullptr;
        if (control == nullptr) {
            control = FindChildByName(QString::fromLatin1(name));
        }
        if (control != nullptr) {
            delayModeControls_.push_back(control);
        }
    }
    for (ui::SWindow* control : delayModeControls_) {
        control->SetCheck(false);
    }
    if (state.dlymode >= 0 && state.dlymode < static_cast<int>(delayModeControls_.size())) {
        delayModeControls_[static_cast<std::size_t>(state.dlymode)]->SetCheck(true);
    }

    // 6: the other controls.
    tab_ = FindChildByName2<ui::STabCtrl>(QStringLiteral("tab_macro_mode_selection"));
    if (tab_ != nullptr && !tab_->IsClass(QStringLiteral("tabctrl2"))) {
        ui::DebugReport(QStringLiteral("tab_macro_mode_selection is not a tabctrl2"));
    }
    recordCheck_ = FindChildByName2<ui::SCheckBox>(QStringLiteral("chk_macro_record"));
    delayTime_ = FindChildByName2<ui::SEdit>(QStringLiteral("edit_macro_delay_time"));
    repeatTimes_ = FindChildByName2<ui::SEdit>(QStringLiteral("edit_macro_repeat_times"));
    singleKey_ = FindChildByName2<ui::SStatic>(QStringLiteral("edit_single_key"));
    singleRecord_ = FindChildByName2<ui::SCheckBox>(QStringLiteral("chk_single_record"));
    mediaKeys_ = FindChildByName2<ui::SComboBox>(QStringLiteral("cmb_media_keys"));
    functionKeys_ = FindChildByName2<ui::SComboBox>(QStringLiteral("cmb_function_keys"));

    // 7: the key lists of config.xml.
    for (auto [combo, entries] : {std::pair{mediaKeys_, &services_.config.mediaKeys},
                                  std::pair{functionKeys_, &services_.config.functionKeys}}) {
        if (combo == nullptr) {
            continue;
        }
        combo->SubscribeEvent(ui::kEvtComboSelChanged,
                              ui::MemberHandler(this, &MacroRecordDlg::OnComboChanged));
        for (const KeyFunctionEntry& entry : *entries) {
            combo->AddString(QString::fromStdString(entry.name));
        }
    }

    // 8: handlers.
    if (recordCheck_ != nullptr) {
        recordCheck_->SubscribeEvent(ui::kEvtCommand,
                                     ui::MemberHandler(this, &MacroRecordDlg::OnRecordCommand));
    }
    if (repeatTimes_ != nullptr) {
        repeatTimes_->SubscribeEvent(ui::kEvtRichEditNotify,
                                     ui::MemberHandler(this, &MacroRecordDlg::OnRepeatChanged));
    }
    if (delayTime_ != nullptr) {
        delayTime_->SubscribeEvent(ui::kEvtRichEditNotify,
                                   ui::MemberHandler(this, &MacroRecordDlg::OnDelayTimeChanged));
    }
    if (tab_ != nullptr) {
        tab_->SubscribeEvent(ui::kEvtTabSelChanged,
                             ui::MemberHandler(this, &MacroRecordDlg::OnTabChanged));
        // 9
        tab_->SetCurSel(state.page);
    }

    // 10-11: the two numbers and the delay edit's state.
    const int delay = state.delay;
    const int repeat = state.repeat;
    if (delayTime_ != nullptr) {
        delayTime_->SetText(QString::number(delay));
    }
    if (repeatTimes_ != nullptr) {
        repeatTimes_->SetText(QString::number(repeat));
    }
    if (delayTime_ != nullptr) {
        if (state.dlymode == kDelayNone) {
            delayTime_->SetText(QStringLiteral("0"));
            delayTime_->EnableWindow(false);
        } else if (state.dlymode == kDelayReal) {
            delayTime_->EnableWindow(false);
        }
    }

    // 12
    if (recordCheck_ != nullptr) {
        recordCheck_->SetCheck(false);
    }
    if (functionKeys_ != nullptr) {
        functionKeys_->SetCurSel(state.functsel, true);
    }
    if (mediaKeys_ != nullptr) {
        mediaKeys_->SetCurSel(state.mediasel, true);
    }
    if (singleRecord_ != nullptr) {
        singleRecord_->SetCheck(false);
    }

    // 13: the remembered key. What the page shows is what OK assigns, so the shown key
    // carries its code; with nothing shown the code is 0.
    if (singleKey_ != nullptr) {
        const auto name = state.sgcode >= 0 && state.sgcode <= 0xFF
                              ? KeyNameOfCode(static_cast<std::uint8_t>(state.sgcode))
                              : std::nullopt;
        singleKey_->SetText(name ? FromUtf8(*name) : QString());
        singleKey_->SetUserData(name ? state.sgcode : 0);
    }

    // 14
    if (groupList_ != nullptr) {
        groupList_->SetSel(state.groupsel, false);
    }
    OnMacroGroupClicked(state.groupsel, QString());

    // The key's own assignment is shown beside its name; the page and the remembered choices
    // stay as the user left them.
    currentAssignment_ = FindChildByName2<ui::SStatic>(QStringLiteral("text_current_assignment"));
    if (currentAssignment_ != nullptr) {
        currentAssignment_->SetText(choices_ != nullptr && choices_->current != nullptr
                                        ? DescribeCurrent(*choices_->current)
                                        : QString());
    }
    repeatNote_ = FindChildByName2<ui::SStatic>(QStringLiteral("text_repeat_note"));
    UpdateRepeatNote();
    offline_ = FindChildByName2<ui::SStatic>(QStringLiteral("text_offline"));
    ShowConnection();

    initialising_ = false;

    // 15
    if (KeyboardHook::InstallHook(services_.platform)) {
        KeyboardHook::RemoveListener(this);
        KeyboardHook::AddListener(this);
        registeredListener_ = this;
    }
    UpdateKeystrokeCapture();
}

QString MacroRecordDlg::DescribeCurrent(const KeyChoice& current) const {
    switch (current.kind) {
        case KeyKind::Macro: {
            const int played = RepeatOnKeyboard(current.repeat);
            if (played == 0) {
                return TrMacro(kTextNowItself);
            }
            return TrMacro(kTextNowMacro).arg(FromUtf8(current.name)).arg(played);
        }
        case KeyKind::Key: {
            const auto name = KeyNameOfCode(current.target);
            return TrMacro(kTextNowKey)
                .arg(name ? FromUtf8(*name) : QString::number(current.target));
        }
        case KeyKind::Media:
        case KeyKind::Function:
            return TrMacro(kTextNowEntry).arg(FromUtf8(current.name));
        case KeyKind::Elsewhere:
            break;
    }
    return {};
}

void MacroRecordDlg::UpdateRepeatNote() {
    if (repeatNote_ == nullptr) {
        return;
    }
    const int typed = services_.state.repeat;
    QString note;
    if (typed < 1 || typed > 255) {
        const int played = RepeatOnKeyboard(typed);
        note = played == 0 ? TrMacro(kTextRepeatZero).arg(typed)
                           : TrMacro(kTextRepeatLowByte).arg(typed).arg(played);
    }
    repeatNote_->SetText(note);
    repeatNote_->SetVisible(!note.isEmpty());
}

void MacroRecordDlg::SetKeyboardConnected(bool connected) {
    connected_ = connected;
    ShowConnection();
}

void MacroRecordDlg::ShowConnection() {
    if (offline_ != nullptr) {
        offline_->SetText(QString::fromUtf8(kTextKeyboardNotConnected), true);
        offline_->SetVisible(!connected_);
    }
}

KeyChoice MacroRecordDlg::ChosenAssignment(int page) const {
    KeyChoice choice;
    choice.kind = KeyKind::Key;  // target 0 unless the page says otherwise
    switch (page) {
        case 0: {
            const MacroNode* group =
                groupList_ != nullptr ? library_.Root().ChildAt(groupList_->GetSel()) : nullptr;
            choice.kind = KeyKind::Macro;
            choice.repeat = services_.state.repeat;
            if (group != nullptr) {
                choice.name = group->GetAttribute("name");
                for (int i = 0; i < group->ChildCount(); ++i) {
                    const MacroNode& step = *group->ChildAt(i);
                    choice.steps.push_back({std::string(step.GetAttribute("code")),
                                            std::string(step.GetAttribute("name")),
                                            std::string(step.GetAttribute("state")),
                                            std::string(step.GetAttribute("delay"))});
                }
            }
            break;
        }
        case 1:
            choice.target = static_cast<std::uint8_t>(
                singleKey_ != nullptr ? singleKey_->GetUserData() & 0xFF : 0);
            break;
        case 2:
        case 3: {
            const ui::SComboBox* combo = page == 2 ? mediaKeys_ : functionKeys_;
            const auto& entries =
                page == 2 ? services_.config.mediaKeys : services_.config.functionKeys;
            const int sel = combo != nullptr ? combo->GetCurSel() : -1;
            if (sel >= 0 && sel < static_cast<int>(entries.size())) {
                choice.kind = page == 2 ? KeyKind::Media : KeyKind::Function;
                choice.name = entries[static_cast<std::size_t>(sel)].name;
                choice.codes = entries[static_cast<std::size_t>(sel)].codes;
            }
            break;
        }
        default:
            break;
    }
    return choice;
}

void MacroRecordDlg::OnMacroGroupClicked(int index, const QString& /*name*/) {
    if (stepAdapter_ != nullptr) {
        stepAdapter_->SetGroup(index);
    }
}

bool MacroRecordDlg::OnEvent(ui::EventArgs& evt) {
    if (evt.kind != ui::kEvtCommand) {
        return false;
    }
    const QString& name = evt.senderName;
    if (name == QLatin1String("btnRestore")) {
        SendHostMessage(ui::kWmSysCommand, ui::kScRestore);
    } else if (name == QLatin1String("btnMin")) {
        SendHostMessage(ui::kWmSysCommand, ui::kScMinimize);
    } else if (name == QLatin1String("btnOK")) {
        OnOk();
    } else if (name == QLatin1String("btnCancel")) {
        EndDialog(ui::kIdCancel);
    } else if (name == QLatin1String("btnClose")) {
        SendHostMessage(ui::kWmClose);  // as Escape: the dialog is cancelled
    } else if (name == QLatin1String("btnDelete")) {
        EndDialog(kMacroDialogDelete);
    } else if (name == QLatin1String("groupAdd")) {
        OnGroupAdd();
    } else if (name == QLatin1String("groupDel")) {
        OnGroupDel();
    } else if (name == QLatin1String("item_up")) {
        OnItemUp();
    } else if (name == QLatin1String("item_down")) {
        OnItemDown();
    } else if (name == QLatin1String("item_delete")) {
        if (stepAdapter_ != nullptr) {
            stepAdapter_->RemoveStep(stepList_ != nullptr ? stepList_->GetSel() : -1);
        }
    } else if (name == QLatin1String("item_clear")) {
        OnItemClear();
    } else if (name == QLatin1String(kDelayModeNames[0])) {
        SetDelayMode(kDelayReal);
    } else if (name == QLatin1String(kDelayModeNames[1])) {
        SetDelayMode(kDelayFixed);
    } else if (name == QLatin1String(kDelayModeNames[2])) {
        SetDelayMode(kDelayNone);
    } else if (name == QLatin1String("groupImport")) {
        ImportLibrary();
    } else if (name == QLatin1String("groupExport")) {
        ExportLibrary();
    } else {
        return false;
    }
    return true;
}

void MacroRecordDlg::OnOk() {
    // The library keeps what was edited; only the assignment waits for the keyboard.
    if (!connected_) {
        Ask(Tr(kTextKeyboardNotConnected), ui::kMbOk);
        return;
    }
    if (choices_ != nullptr && !keys_.empty()) {
        choices_->chosen = ChosenAssignment(CurrentPage());
    }
    EndDialog(ui::kIdOk);
}

void MacroRecordDlg::OnGroupAdd() {
    if (groupAdapter_ == nullptr) {
        return;
    }
    groupAdapter_->AddNumberedGroup();
    // A new group is there to be filled: it becomes the selected group, so recording can start.
    const int added = groupAdapter_->GetCount() - 1;
    groupList_->SetSel(added, false);
    groupList_->EnsureVisible(added);
    OnMacroGroupClicked(groupList_->GetSel(), QString());
}

void MacroRecordDlg::OnGroupDel() {
    if (groupAdapter_ == nullptr) {
        return;
    }
    const int sel = groupList_->GetSel();
    groupAdapter_->RemoveGroup(sel);
    if (sel > 0 && sel >= groupAdapter_->GetCount()) {
        groupList_->SetSel(sel - 1, false);
    }
    OnMacroGroupClicked(groupList_->GetSel(), QString());
}

void MacroRecordDlg::OnItemUp() {
    if (stepAdapter_ == nullptr) {
        return;
    }
    const int sel = stepList_->GetSel();
    if (sel > 0 && stepAdapter_->MoveStep(sel, true)) {
        stepList_->SetSel(sel - 1, false);
    }
}

void MacroRecordDlg::OnItemDown() {
    if (stepAdapter_ == nullptr) {
        return;
    }
    const int sel = stepList_->GetSel();
    if (sel < 0 || sel >= stepAdapter_->GetCount()) {
        return;
    }
    // The last row "moves" onto itself; its selection stays where it is.
    if (stepAdapter_->MoveStep(sel, false) && sel + 1 < stepAdapter_->GetCount()) {
        stepList_->SetSel(sel + 1, false);
    }
}

void MacroRecordDlg::SetDelayMode(int mode) {
    MacroDialogState& state = services_.state;
    state.dlymode = mode;
    if (delayTime_ != nullptr) {
        switch (mode) {
            case kDelayReal:
                delayTime_->EnableWindow(false);
                break;
            case kDelayFixed:
                delayTime_->EnableWindow(true);
                delayTime_->SetText(QString::number(state.delay));
                break;
            default:
                delayTime_->SetText(QStringLiteral("0"));
                delayTime_->EnableWindow(false);
                break;
        }
    }
    SaveState();
}

bool MacroRecordDlg::OnRecordCommand(ui::EventArgs& /*evt*/) {
    const bool withoutGroup = groupList_ == nullptr || groupList_->GetSel() < 0;
    if (withoutGroup) {
        recordCheck_->SetCheck(false);
    } else {
        recordCheck_->SetText(recordCheck_->IsChecked() ? QStringLiteral("Stop record")
                                                        : QStringLiteral("Start record"),
                              true);
    }
    if (recordCheck_->IsChecked()) {
        KeyboardHook::InstallHook(services_.platform);
    } else {
        KeyboardHook::UninstallHook();
    }
    UpdateKeystrokeCapture();
    return true;
}

bool MacroRecordDlg::OnRepeatChanged(ui::EventArgs& evt) {
    if (evt.notifyCode != ui::kEnChange) {
        return false;
    }
    services_.state.repeat = ParseDecimalPrefix(repeatTimes_->GetText().toStdString());
    SaveState();
    UpdateRepeatNote();
    return true;
}

bool MacroRecordDlg::OnDelayTimeChanged(ui::EventArgs& evt) {
    if (evt.notifyCode != ui::kEnChange) {
        return false;
    }
    if (services_.state.dlymode == kDelayFixed) {
        services_.state.delay = ParseDecimalPrefix(delayTime_->GetText().toStdString());
        SaveState();
    }
    return true;
}

bool MacroRecordDlg::OnTabChanged(ui::EventArgs& evt) {
    const int page = evt.newSel;
    services_.state.page = page;
    SaveState();
    if (page == 1) {
        KeyboardHook::InstallHook(services_.platform);
    } else if (page == 2 || page == 3 || (page == 0 && !IsRecording())) {
        KeyboardHook::UninstallHook();
    }
    UpdateKeystrokeCapture();
    return true;
}

bool MacroRecordDlg::OnComboChanged(ui::EventArgs& evt) {
    if (evt.sender == mediaKeys_) {
        services_.state.mediasel = evt.newSel;
    } else {
        services_.state.functsel = evt.newSel;
    }
    SaveState();
    return true;
}

bool MacroRecordDlg::IsRecording() const {
    return recordCheck_ != nullptr && recordCheck_->IsChecked();
}

int MacroRecordDlg::CurrentPage() const {
    return tab_ != nullptr ? tab_->GetCurSel() : -1;
}

void MacroRecordDlg::SaveState() {
    if (!initialising_) {
        services_.state.SaveState();
    }
}

bool MacroRecordDlg::OnKeyboardHook(int /*code*/, unsigned message,
                                    const platform::KeyStroke& stroke) {
    switch (CurrentPage()) {
        case 1: {
            const SingleKeyCapture capture =
                CaptureSingleKey(message, stroke.vkCode, services_.state);
            if (capture.keyDown && singleKey_ != nullptr) {
                // A key outside the table assigns nothing, and the page says so.
                singleKey_->SetText(capture.name ? FromUtf8(*capture.name) : QString());
                singleKey_->SetUserData(capture.code);
            }
            return true;
        }
        case 0:
            return recorder_.OnMacroPageKeystroke(message, stroke.vkCode, IsRecording(),
                                                  services_.state, *this);
        default:
            return false;
    }
}

MacroNode* MacroRecordDlg::ShownGroup() {
    return stepAdapter_ != nullptr ? stepAdapter_->Group() : nullptr;
}

void MacroRecordDlg::AppendStep(std::uint8_t code, int state, std::string_view name, int delay) {
    if (stepAdapter_ != nullptr) {
        stepAdapter_->AppendStep(code, state, name, delay);
    }
}

void MacroRecordDlg::ShowStepLimitMessage() {
    ui::SMessageBox(this, QString::fromLatin1(kStepLimitWarning), QStringLiteral("Warning"),
                    ui::kMbOk);
}

void MacroRecordDlg::RefreshSteps() {
    if (stepAdapter_ != nullptr) {
        stepAdapter_->NotifyDataSetChanged();
    }
    // Recording follows the newest step.
    if (stepList_ != nullptr && stepList_->GetItemCount() > 0) {
        stepList_->EnsureVisible(stepList_->GetItemCount() - 1);
    }
}

QString MacroRecordDlg::TrMacro(const char* source) const {
    const ui::SApplication* app = ui::SApplication::Instance();
    const QString text = QString::fromUtf8(source);
    return app != nullptr ? app->Tr(QStringLiteral("macro"), text) : text;
}

QString MacroRecordDlg::Tr(const char* source) const {
    const ui::SApplication* app = ui::SApplication::Instance();
    const QString text = QString::fromUtf8(source);
    return app != nullptr ? app->Tr(QString::fromLatin1(ui::kMsgBoxContext), text) : text;
}

int MacroRecordDlg::Ask(const QString& text, int type) {
    return ui::SMessageBox(this, text, QStringLiteral("Warning"), type);
}

platform::FileChooserOptions MacroRecordDlg::ChooserOptions() const {
    platform::FileChooserOptions options;
    options.filterLabel = Tr(kTextMcrFilter);
    return options;
}

void MacroRecordDlg::OnItemClear() {
    if (stepAdapter_ != nullptr) {
        stepAdapter_->ClearSteps();
    }
}

void MacroRecordDlg::ExportLibrary() {
    platform::FileChooserOptions options = ChooserOptions();
    // The selected group names the file offered; the whole library is written.
    if (const MacroNode* group =
            groupList_ != nullptr ? library_.Root().ChildAt(groupList_->GetSel()) : nullptr) {
        const QString name = FromUtf8(group->GetAttribute("name")).trimmed();
        if (!name.isEmpty()) {
            options.suggestedName = name + QStringLiteral(".mcr");
        }
    }
    const QString path = services_.platform.ChooseSaveFile(this, options);
    if (path.isEmpty()) {
        return;
    }
    if (!HasMcrExtension(path.toStdString())) {
        Ask(Tr(kTextNotMcr).arg(path), ui::kMbOk);
        return;
    }
    // A written file needs no word; a failure does.
    if (!library_.Save(path.toStdString())) {
        Ask(Tr(kTextExportFailed).arg(QDir::toNativeSeparators(path)), ui::kMbOk);
    }
}

void MacroRecordDlg::ImportLibrary() {
    const QString path = services_.platform.ChooseOpenFile(this, ChooserOptions());
    if (path.isEmpty()) {
        return;
    }
    if (!HasMcrExtension(path.toStdString())) {
        Ask(Tr(kTextNotMcr).arg(path), ui::kMbOk);
        return;
    }
    // Importing replaces every group: say how many go before any of them does.
    const int groups = library_.Root().ChildCount();
    if (groups > 0 && Ask(Tr(kTextImportConfirm).arg(groups).arg(QDir::toNativeSeparators(path)),
                          ui::kMbOkCancel) != ui::kIdOk) {
        return;
    }
    if (!library_.Load(path.toStdString())) {
        Ask(Tr(kTextImportFailed).arg(QDir::toNativeSeparators(path)), ui::kMbOk);
        return;
    }
    // A failed write is told by the window's save notice; the library keeps the import.
    library_.SaveInBackground();
    if (groupAdapter_ != nullptr) {
        groupAdapter_->NotifyDataSetChanged();
    }
    // The old groups are gone: show the group now at the selected row, or none.
    OnMacroGroupClicked(groupList_ != nullptr ? groupList_->GetSel() : -1, QString());
}

int RunKeyAssignmentDialog(QWidget* owner, platform::PlatformServices& platform,
                           const DeviceConfig& config, const std::string& dataFolder,
                           const KeySelection& keys, KeyAssignmentChoices* choices) {
    static const ProcessClock clock;
    const MacroDialogServices services{platform, config, MacroDialogState::Instance(dataFolder),
                                       dataFolder, clock};
    MacroRecordDlg dialog(services, keys, choices);
    if (choices != nullptr && choices->opened) {
        choices->opened(&dialog);
    }
    const int result = dialog.Run(owner);
    if (choices != nullptr && choices->opened) {
        choices->opened(nullptr);
    }
    return result;
}

}  // namespace kb
