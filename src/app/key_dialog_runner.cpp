#include "app/key_dialog_runner.h"

#include "macro/ui/macro_record_dlg.h"

namespace kb {

KeyDialogRunner MakeKeyDialogRunner(platform::PlatformServices& platform,
                                    const DeviceConfig& config, std::string dataFolder) {
    return [&platform, &config, folder = std::move(dataFolder)](
               CMainDlg& owner, const KeySelection& keys, KeyChoice& chosen) {
        KeyAssignmentChoices choices;
        choices.current = owner.SelectedKeyChoice();
        choices.connected = owner.ControlsConnected();
        // The open dialog follows the keyboard going and coming back.
        choices.opened = [&owner](MacroRecordDlg* dialog) {
            owner.SetConnectionWatcher(dialog ? std::function<void(bool)>([dialog](bool connected) {
                dialog->SetKeyboardConnected(connected);
            })
                                              : std::function<void(bool)>());
        };
        const int result = RunKeyAssignmentDialog(&owner, platform, config, folder, keys, &choices);
        if (choices.chosen) {
            chosen = *choices.chosen;
        }
        return result;
    };
}

}  // namespace kb
