#include "mainwindow/file_notices.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "config/atomic_file.h"
#include "config/user_settings.h"
#include "keymap/keymap_file.h"
#include "macro/background_saver.h"
#include "macro/macro_dialog_state.h"
#include "macro/macro_library.h"
#include "temp_folder.h"
#include "toolkit/msgbox.h"
#include "toolkit/shostwnd.h"
#include "toolkit/swnd.h"

namespace kb {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempFolder;

bool WriteText(const fs::path& target, const std::string& text) {
    return WriteFileAtomically(target, [&text](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    });
}

void MakeReadOnly(const fs::path& file, bool readOnly) {
    fs::permissions(file,
                    readOnly ? fs::perms::owner_read | fs::perms::group_read
                             : fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace);
}

class FileNoticesTest : public ::testing::Test {
public:
    void SetUp() override {
        ui::SetMessageBoxHook([this](QWidget* box) {
            auto* dialog = dynamic_cast<ui::SHostDialog*>(box);
            ASSERT_NE(dialog, nullptr);
            const ui::SWindow* text = dialog->FindChildByName(QStringLiteral("msgtext"));
            boxes_.push_back(text != nullptr ? text->GetText() : QString());
            dialog->EndDialog(ui::kIdOk);
        });
    }
    void TearDown() override { ui::SetMessageBoxHook({}); }

    // Lets reports queued from any thread reach the notices.
    void Settle() {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    TempFolder folder_;
    QWidget window_;
    std::vector<QString> boxes_;
};

// A save of the program's own file that fails is said in a box naming the file and why, once
// while its saves keep failing and again once they failed anew after a success; a file that is
// not the program's own (a backup, an export) has boxes of its own and is left alone here.
TEST_F(FileNoticesTest, FailedSavesOfOwnFilesAreToldOncePerRunOfFailures) {
    const fs::path keymap = folder_.Path() / "keymap.xml";
    const fs::path store = folder_.Path() / "store.xml";
    ASSERT_TRUE(WriteText(keymap, "<keymap/>"));
    SaveFailureNotices notices(&window_, {keymap, store});

    MakeReadOnly(keymap, true);
    EXPECT_FALSE(WriteText(keymap, "<keymap>1</keymap>"));
    EXPECT_FALSE(WriteText(keymap, "<keymap>2</keymap>"));
    Settle();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0], SaveFailedText(keymap, SaveProblem::NotPermitted));
    EXPECT_TRUE(boxes_[0].contains(QString::fromStdString(keymap.string())));
    EXPECT_TRUE(notices.Failing().count(keymap));

    MakeReadOnly(keymap, false);
    EXPECT_TRUE(WriteText(keymap, "<keymap>3</keymap>"));
    MakeReadOnly(keymap, true);
    EXPECT_FALSE(WriteText(keymap, "<keymap>4</keymap>"));
    Settle();
    EXPECT_EQ(boxes_.size(), 2u);
    MakeReadOnly(keymap, false);

    // Not the program's own: no box here.
    EXPECT_FALSE(WriteText(folder_.Path() / "missing" / "backup.kbbackup", "x"));
    Settle();
    EXPECT_EQ(boxes_.size(), 2u);

    // The background saver's thread reports too; a folder in the file's place is no file.
    fs::create_directory(store);
    BackgroundSaver saver;
    saver.Submit(store, "<macro/>");
    EXPECT_FALSE(saver.Flush());
    Settle();
    ASSERT_EQ(boxes_.size(), 3u);
    EXPECT_EQ(boxes_[2], SaveFailedText(store, SaveProblem::Other));
}

// Every file of the program that is there but unreadable is kept as a copy and named in one
// notice; a file kept before (the same bytes) is not named again at the next start.
TEST_F(FileNoticesTest, UnreadableFilesAreKeptAsideAndNamedOnce) {
    const std::string data = folder_.Path().string();
    const std::vector<std::pair<const char*, std::string>> broken{
        {"settings.xml", "<settings language="},
        {"store.xml", "<other/>"},
        {"macro.xml", "<group><items name=\"a\">"},
        {"keymap.xml", "<keymap><keyboard"},
    };
    for (const auto& [name, bytes] : broken) {
        folder_.Write(name, bytes);
    }
    // Each loader's own verdict, as the start gathers them.
    EXPECT_FALSE(UnreadableSettingsFile(data).empty());
    EXPECT_TRUE(MacroDialogState(folder_.File("store.xml")).LoadedUnreadable());
    EXPECT_TRUE(MacroFileUnreadable(folder_.File("macro.xml")));
    EXPECT_TRUE(KeyMemory(folder_.File("keymap.xml"), KeyboardIdentity{}).LoadedDamaged());

    std::vector<fs::path> files;
    for (const auto& [name, bytes] : broken) {
        files.push_back(folder_.Path() / name);
    }
    const std::vector<KeptAsideFile> kept = KeepFilesAside(files);
    ASSERT_EQ(kept.size(), broken.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(kept[i].copy.filename().string(), std::string(broken[i].first) + ".unreadable");
        EXPECT_EQ(ReadFile(kept[i].copy), broken[i].second);
    }
    const QString text = KeptAsideText(kept);
    for (const auto& [name, bytes] : broken) {
        EXPECT_TRUE(text.contains(QString::fromStdString((folder_.Path() / name).string())))
            << name;
        EXPECT_TRUE(text.contains(QString::fromLatin1(name) + ".unreadable")) << name;
    }

    // The next start, and the saves that replace the files, keep no second copy.
    EXPECT_TRUE(KeepFilesAside(files).empty());
    MacroDialogState state(folder_.File("store.xml"));
    EXPECT_TRUE(state.SaveState());
    EXPECT_TRUE(SaveChineseUiChoice(data, true));
    EXPECT_FALSE(fs::exists(folder_.Path() / "store.xml.unreadable.1"));
    EXPECT_FALSE(fs::exists(folder_.Path() / "settings.xml.unreadable.1"));
}

}  // namespace
}  // namespace kb
