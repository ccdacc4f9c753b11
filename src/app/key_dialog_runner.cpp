#include "app/key_dialog_runner.h"

#include "macro/ui/macro_record_dlg.h"

namespace kb {

KeyDialogRunner MakeKeyDialogRunner(platform::PlatformServices& platform,
                                    const DeviceConfig& config, std::string dataFolder) {
    return [&platform, &config, folder = std::move(dataFolder)](
               CMainDlg& owner, const KeySelection& keys, AssignmentRecord& record) {
        KeyAssignmentChoices choices{owner.SelectedKeyChoice(), std::nullopt};
        const int result =
            RunKeyAssignmentDialog(&owner, platform, config, folder, keys, record, &choices);
        if (choices.chosen) {
            owner.SetDialogChoice(*choices.chosen);
        }
        return result;
    };
}

}  // namespace kb
