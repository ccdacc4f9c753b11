#include "mainwindow/backup_restore_ui.h"

#include <algorithm>

#include "keymap/backup_restore.h"
#include "mainwindow/main_window.h"
#include "mainwindow/window_helpers.h"
#include "toolkit/msgbox.h"

namespace kb {

namespace {

platform::FileChooserOptions BackupFileOptions() {
    platform::FileChooserOptions options;
    options.filterLabel = TrMain("Keyboard settings");
    options.patterns = {QStringLiteral("*.") + QString::fromUtf8(kBackupSuffix)};
    options.defaultSuffix = QString::fromUtf8(kBackupSuffix);
    return options;
}

// The memory knows a profile only once it was read back; a backup needs all three.
bool ReadBackEveryProfile(const BackupRestoreContext& context) {
    const int current = context.protocol.CurrentProfileIndex();
    bool complete = true;
    for (int profile = 0; profile < kProfileCount && complete; ++profile) {
        complete = context.selectProfile(profile);
    }
    // Back to the profile in use; an index beyond the third selects nothing, as before.
    context.selectProfile(current);
    return complete;
}

}  // namespace

void BackUpSettings(const BackupRestoreContext& context) {
    KeyMemory* memory = context.memory;
    if (!memory) {
        return;
    }
    QWidget* owner = context.owner;
    const QString caption = TrMain("Back up settings");
    if (!context.connected) {
        Ask(owner, TrMain(kTextNotConnected), caption, ui::kMbOk);
        return;
    }
    const QString path = context.platform.ChooseSaveFile(owner, BackupFileOptions());
    if (path.isEmpty()) {
        return;
    }
    bool read = false;
    bool written = false;
    {
        BusyCursor busy;
        // A profile that was not read would go into the backup as it was last known.
        read = ReadBackEveryProfile(context);
        written = read && WriteBackup(path.toStdString(), memory->Identity(), memory->Memory());
    }
    if (!read) {
        Ask(owner, TrMain("The keyboard did not respond; nothing was backed up."), caption,
            ui::kMbOk);
        return;
    }
    if (!written) {
        Ask(owner, TrMain("The backup could not be written to %1.").arg(path), caption, ui::kMbOk);
        return;
    }
    const KeyboardMemory& remembered = memory->Memory();
    const int known = CountKnownKeys(remembered);
    int elsewhere = 0;
    for (const ProfileMemory& profile : remembered.profiles) {
        elsewhere += static_cast<int>(profile.size());
    }
    elsewhere -= known;
    QString text =
        TrMain("Settings backed up. Assigned keys in the three profiles: %1.").arg(known);
    if (remembered.lighting) {
        text += QLatin1Char(' ') + TrMain("The lighting is in the backup too.");
    }
    if (elsewhere > 0) {
        text += QLatin1Char(' ') +
                TrMain("Keys assigned elsewhere, left out of the backup: %1.").arg(elsewhere);
    }
    Ask(owner, text, caption, ui::kMbOkInformation);
}

void RestoreSettings(const BackupRestoreContext& context) {
    KeyMemory* memory = context.memory;
    if (!memory) {
        return;
    }
    QWidget* owner = context.owner;
    const QString caption = TrMain("Restore settings");
    if (!context.connected) {
        Ask(owner, TrMain(kTextNotConnected), caption, ui::kMbOk);
        return;
    }
    const QString path = context.platform.ChooseOpenFile(owner, BackupFileOptions());
    if (path.isEmpty()) {
        return;
    }
    const BackupReadResult read = ReadBackup(path.toStdString(), memory->Identity());
    if (!read.memory) {
        QString reason;
        switch (read.problem) {
            case BackupProblem::OtherKeyboard:
                reason = TrMain("It was made for another keyboard.");
                break;
            case BackupProblem::NewerFormat:
                reason = TrMain("It was written by a newer version of this program.");
                break;
            case BackupProblem::Damaged:
                reason = TrMain("It is damaged.");
                break;
            default:
                reason = TrMain("It is not a backup of keyboard settings.");
                break;
        }
        Ask(owner, TrMain("%1 cannot be restored.").arg(path) + QLatin1Char(' ') + reason, caption,
            ui::kMbOk);
        return;
    }
    if (Ask(owner,
            TrMain("The key assignments of all three profiles and the lighting will be replaced "
                   "by those of the backup. Continue?"),
            caption, ui::kMbOkCancel) != ui::kIdOk) {
        return;
    }
    const int current = std::clamp(context.protocol.CurrentProfileIndex(), 0, kProfileCount - 1);
    RestoreResult result;
    {
        BusyCursor busy;
        result = RestoreBackup(context.protocol, *read.memory, context.selectProfile, memory);
        context.selectProfile(current);
        if (read.memory->lighting) {
            context.showLighting(read.memory->lighting->effect);
        }
    }
    if (result.done) {
        QString text =
            TrMain("Settings restored. Assigned keys in the three profiles: %1.").arg(result.keys);
        if (read.memory->lighting) {
            text += QLatin1Char(' ') + TrMain("The lighting was sent too.");
        }
        Ask(owner, text, caption, ui::kMbOkInformation);
    } else {
        const QString text =
            result.failedProfile < 0
                ? TrMain("The restore stopped at the lighting; the key assignments were restored.")
            : result.failedKey == 0
                ? TrMain("The restore stopped at profile %1; the profiles before it were restored.")
                      .arg(result.failedProfile + 1)
                : TrMain(
                      "The restore stopped at key %1 of profile %2; the keys before it were "
                      "restored.")
                      .arg(QString::fromStdString(KeyCodeName(result.failedKey)))
                      .arg(result.failedProfile + 1);
        Ask(owner, text, caption, ui::kMbOk);
    }
}

}  // namespace kb
