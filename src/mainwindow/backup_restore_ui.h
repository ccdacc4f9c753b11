#pragma once

#include <functional>

#include "platform/platform_services.h"
#include "session/keyboard_session.h"

class QWidget;

namespace kb {

inline constexpr const char* kBackupSuffix = "kbbackup";

// What the more menu's backup and restore work with.
struct BackupRestoreContext {
    QWidget* owner = nullptr;
    platform::PlatformServices& platform;
    KeyboardSession& session;
    bool connected = false;
    // Shows the index as the profile chosen, before the session selects it.
    std::function<void(int)> profileChosen;
    // Shows the effect and its record in the lighting panel.
    std::function<void(int)> showLighting;
};

// Reads every profile back and writes the backup to a file the user chooses, then says what
// it holds.
void BackUpSettings(const BackupRestoreContext& context);

// Makes the keyboard hold a backup the user chooses, after asking, then says how it went.
void RestoreSettings(const BackupRestoreContext& context);

}  // namespace kb
