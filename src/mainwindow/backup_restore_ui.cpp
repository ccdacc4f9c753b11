#include "mainwindow/backup_restore_ui.h"

#include <algorithm>

#include "keymap/backup_restore.h"
#include "keymap/keymap_file.h"
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

}  // namespace

void BackUpSettings(const BackupRestoreContext& context) {
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
    SessionResult result;
    {
        BusyCursor busy;
        // Every profile is read first: one not read would go in as it was last known.
        const int current = context.session.CurrentProfileIndex();
        result = context.session.Backup(path.toStdString(), context.profileChosen);
        // Back to the profile in use; an index beyond the third selects nothing.
        if (context.profileChosen) {
            context.profileChosen(current);
        }
        context.session.SelectProfile(current);
    }
    if (!result.done) {
        Ask(owner,
            result.failedProfile >= 0
                ? TrMain("The keyboard did not respond; nothing was backed up.")
                : TrMain("The backup could not be written to %1.").arg(path),
            caption, ui::kMbOk);
        return;
    }
    const KeyboardMemory& remembered = context.session.Memory().Memory();
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
    const BackupReadResult read = ReadBackup(path.toStdString(), context.session.Identity());
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
    KeyboardSession& session = context.session;
    const int current = std::clamp(session.CurrentProfileIndex(), 0, kProfileCount - 1);
    SessionResult result;
    {
        BusyCursor busy;
        // The profile list follows, so what the window shows is the profile being restored.
        result = session.Restore(*read.memory, context.profileChosen);
        if (context.profileChosen) {
            context.profileChosen(current);
        }
        session.SelectProfile(current);
        if (read.memory->lighting) {
            context.showLighting(read.memory->lighting->effect);
        }
    }
    if (result.done) {
        QString text = TrMain("Settings restored. Assigned keys in the three profiles: %1.")
                           .arg(result.applied);
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
