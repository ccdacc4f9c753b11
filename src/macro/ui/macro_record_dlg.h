#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <functional>
#include "macro/macro_library.h"
#include "macro/macro_recorder.h"
#include "macro/ui/keyboard_hook.h"
#include "macro/ui/macro_adapters.h"
#include "platform/platform_services.h"

#include "protocol/key_choice.h"
#include "protocol/keyboard_protocol.h"
#include "toolkit/shostwnd.h"

namespace kb {

class DeviceConfig;
class MacroDialogState;

namespace ui {
class SComboBox;
class SListView;
class SMcListView;
class STabCtrl;
}  // namespace ui

inline constexpr const char* kMacroLayout = "LAYOUT:macro";
inline constexpr const char* kMacroDialogClass = "macrorecordlg";
inline constexpr int kMacroDialogDelete = 65580;  // id of "btnDelete"

// What the keyboard makes of a repeat count: it keeps the low byte, and 0 means the key is
// given a single code, itself.
constexpr int RepeatOnKeyboard(int typed) {
    return typed & 0xFF;
}

// Texts beside the key's name and the repeat field, in the dialog's own context.
inline constexpr const char* kTextNowMacro = "Now: macro \"%1\" ×%2";
inline constexpr const char* kTextNowItself = "Now: types itself";
inline constexpr const char* kTextNowKey = "Now: → %1";
inline constexpr const char* kTextNowEntry = "Now: %1";
inline constexpr const char* kTextRepeatZero = "%1: the keyboard gets 0 and the key types itself";
inline constexpr const char* kTextRepeatLowByte =
    "%1: the keyboard keeps the low byte and plays it %2 times";

// Messages of the dialog, translated in the message box's context; %1, %2 are filled in.
inline constexpr const char* kTextImportConfirm =
    "Importing replaces all %1 macro groups of the library with the groups of %2. Continue?";
inline constexpr const char* kTextImportFailed = "%1 could not be read as a macro file.";
inline constexpr const char* kTextExportFailed = "The macro groups could not be written to %1.";
inline constexpr const char* kTextNotMcr =
    "%1 does not end in \".mcr\": only .mcr files are imported and exported.";
inline constexpr const char* kTextMcrFilter = "mcr文件(mcr)";
// Beside OK while the keyboard is away, and the answer to OK then.
inline constexpr const char* kTextKeyboardNotConnected = "The keyboard is not connected";

// What the dialog works with besides the caller's key selection and record.
struct MacroDialogServices {
    platform::PlatformServices& platform;
    const DeviceConfig& config;
    MacroDialogState& state;  // shared by every dialog of the run
    std::string dataFolder;   // holds "macro.xml"
    const RecordingClock& clock;
};

class MacroRecordDlg;

// The key's assignment the dialog opens on (null: the remembered choices), whether the keyboard
// is there, and what the user chose when the dialog closed with OK.
struct KeyAssignmentChoices {
    const KeyChoice* current = nullptr;
    std::optional<KeyChoice> chosen;
    bool connected = true;
    // Told of the dialog once it is made and with null once it is done, so the caller can tell
    // it of the keyboard coming and going.
    std::function<void(MacroRecordDlg*)> opened;
};

// The key-assignment dialog: a macro group, a captured key, a media key or a function key for
// the selected key, chosen on four pages, plus editing and recording of the macro library.
// Ends with 1 (OK, the choice made), 2 (Cancel) or 65580 (clear the key's assignment). While
// the keyboard is away the library can still be edited, but OK is refused.
class MacroRecordDlg : public ui::SHostDialog,
                       public IKeyboardHookListener,
                       public IOnMacroGroupClickedListener,
                       private MacroRecordingTarget {
public:
    MacroRecordDlg(const MacroDialogServices& services, const KeySelection& keys,
                   KeyAssignmentChoices* choices = nullptr);
    ~MacroRecordDlg() override;

    static constexpr const char* kClassName = kMacroDialogClass;

    // IKeyboardHookListener
    bool OnKeyboardHook(int code, unsigned message, const platform::KeyStroke& stroke) override;
    // IOnMacroGroupClickedListener
    void OnMacroGroupClicked(int index, const QString& name) override;

    MacroLibrary& Library() { return library_; }
    CMacroGroupAdapter* GroupAdapter() const { return groupAdapter_.get(); }
    KeyAndDelayAdapter* StepAdapter() const { return stepAdapter_.get(); }
    const MacroRecorder& Recorder() const { return recorder_; }
    bool HookListenerRegistered() const { return registeredListener_ != nullptr; }

    void ImportLibrary();
    void ExportLibrary();

    // The keyboard went away (a line says so, OK is refused) or came back.
    void SetKeyboardConnected(bool connected);
    bool KeyboardConnected() const { return connected_; }

protected:
    bool OnEvent(ui::EventArgs& evt) override;
    bool OnHostMessage(unsigned msg, qintptr wParam, qintptr lParam, qintptr& result) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnOk();
    // The key's assignment in a line for the dialog, in the language in use.
    QString DescribeCurrent(const KeyChoice& current) const;
    // The note beside the repeat field, shown while the count is outside 1-255.
    void UpdateRepeatNote();
    QString TrMacro(const char* source) const;
    // What the page showing asks for; a media or function page without an entry chosen gives
    // the single code 0, as it always went out.
    KeyChoice ChosenAssignment(int page) const;
    void ShowConnection();
    void OnGroupAdd();
    void OnGroupDel();
    void OnItemUp();
    void OnItemDown();
    void OnItemClear();
    // A text of the dialog's messages in the language in use.
    QString Tr(const char* source) const;
    // A message box over the dialog with the caption "Warning"; the pressed button's id.
    int Ask(const QString& text, int type);
    platform::FileChooserOptions ChooserOptions() const;
    void SetDelayMode(int mode);
    bool OnRecordCommand(ui::EventArgs& evt);
    bool OnRepeatChanged(ui::EventArgs& evt);
    bool OnDelayTimeChanged(ui::EventArgs& evt);
    bool OnTabChanged(ui::EventArgs& evt);
    bool OnComboChanged(ui::EventArgs& evt);
    bool IsRecording() const;
    // Keystrokes are captured from the whole desktop only while the hook consumes them.
    void UpdateKeystrokeCapture();
    int CurrentPage() const;
    void SaveState();

    // MacroRecordingTarget
    MacroNode* ShownGroup() override;
    void AppendStep(std::uint8_t code, int state, std::string_view name, int delay) override;
    void ShowStepLimitMessage() override;
    void RefreshSteps() override;

    MacroDialogServices services_;
    const KeySelection& keys_;
    KeyAssignmentChoices* choices_ = nullptr;
    MacroLibrary library_;
    std::shared_ptr<CMacroGroupAdapter> groupAdapter_;
    std::shared_ptr<KeyAndDelayAdapter> stepAdapter_;
    MacroRecorder recorder_;
    IKeyboardHookListener* registeredListener_ = nullptr;
    std::vector<ui::SWindow*> delayModeControls_;

    ui::STabCtrl* tab_ = nullptr;
    ui::SListView* groupList_ = nullptr;
    ui::SMcListView* stepList_ = nullptr;
    ui::SWindow* recordingKeys_ = nullptr;
    ui::SWindow* recordCheck_ = nullptr;
    ui::SWindow* delayTime_ = nullptr;
    ui::SWindow* repeatTimes_ = nullptr;
    ui::SWindow* singleKey_ = nullptr;
    ui::SWindow* singleRecord_ = nullptr;
    ui::SComboBox* mediaKeys_ = nullptr;
    ui::SComboBox* functionKeys_ = nullptr;
    ui::SWindow* currentAssignment_ = nullptr;
    ui::SWindow* repeatNote_ = nullptr;
    ui::SWindow* offline_ = nullptr;
    bool connected_ = true;
    bool initialising_ = false;
};

// Runs the dialog modally over owner for the selected keys, with the library in dataFolder and
// the run's shared dialog state; returns its end code. The main window's dialog runner.
int RunKeyAssignmentDialog(QWidget* owner, platform::PlatformServices& platform,
                           const DeviceConfig& config, const std::string& dataFolder,
                           const KeySelection& keys, KeyAssignmentChoices* choices = nullptr);

}  // namespace kb
