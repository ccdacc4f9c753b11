#include "app/key_dialog_runner.h"

#include "macro/ui/macro_record_dlg.h"

namespace kb {

KeyDialogRunner MakeKeyDialogRunner(platform::PlatformServices& platform,
                                    const DeviceConfig& config, std::string dataFolder) {
    return [&platform, &config, folder = std::move(dataFolder)](
               CMainDlg& owner, const KeySelection& keys, AssignmentRecord& record) {
        return RunKeyAssignmentDialog(&owner, platform, config, folder, keys, record);
    };
}

}  // namespace kb
