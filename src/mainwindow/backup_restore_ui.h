#pragma once

#include <functional>

#include "keymap/keymap_file.h"
#include "platform/platform_services.h"
#include "protocol/keyboard_protocol.h"

class QWidget;

namespace kb {

inline constexpr const char* kBackupSuffix = "kbbackup";

// What the more menu's backup and restore work with.
struct BackupRestoreContext {
    QWidget* owner = nullptr;
    platform::PlatformServices& platform;
    KeyboardProtocol& protocol;
    KeyMemory* memory = nullptr;  // null: nothing is remembered, nothing to back up
    bool connected = false;
    // Makes the index the current profile wherever it is chosen, selects it and reads it back.
    std::function<bool(int)> selectProfile;
    // Shows the effect and its record in the lighting panel.
    std::function<void(int)> showLighting;
};

// Reads every profile back and writes the backup to a file the user chooses, then says what
// it holds.
void BackUpSettings(const BackupRestoreContext& context);

// Makes the keyboard hold a backup the user chooses, after asking, then says how it went.
void RestoreSettings(const BackupRestoreContext& context);

}  // namespace kb
