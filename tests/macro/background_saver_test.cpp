#include "macro/background_saver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "macro/macro_library.h"
#include "temp_folder.h"

namespace kb {
namespace {

using test::ReadFile;
using test::TempFolder;

TEST(BackgroundSaverTest, WritesTheNewestContentOfEachFileAndFinishesBeforeItGoes) {
    TempFolder folder;
    const std::filesystem::path a = folder.Path() / "a.xml";
    const std::filesystem::path b = folder.Path() / "b.xml";
    {
        BackgroundSaver saver;
        // Many versions in a burst: whatever is written in between, the last one stays.
        for (int i = 0; i <= 200; ++i) {
            saver.Submit(a, "a" + std::to_string(i));
            saver.Submit(b, "b" + std::to_string(i));
        }
        ASSERT_TRUE(saver.Flush());
        EXPECT_EQ(ReadFile(a), "a200");
        EXPECT_EQ(ReadFile(b), "b200");
        EXPECT_LE(saver.Completed(), 402u);

        // Handed over and not waited for: the saver's end writes it.
        saver.Submit(a, "last");
    }
    EXPECT_EQ(ReadFile(a), "last");
    // Nothing half-written or left over beside the files.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2u);
}

TEST(BackgroundSaverTest, AFailedWriteIsToldByTheNextFlush) {
    TempFolder folder;
    BackgroundSaver saver;
    EXPECT_TRUE(saver.Flush());  // nothing submitted: nothing to wait for
    saver.Submit(folder.Path() / "missing-folder" / "x.xml", "x");
    EXPECT_FALSE(saver.Flush());
    saver.Submit(folder.Path() / "x.xml", "x");
    EXPECT_TRUE(saver.Flush());
}

TEST(BackgroundSaverTest, ALibrarySavedInTheBackgroundIsWhatTheNextLoadOrSaveSees) {
    TempFolder folder;
    const std::string path = (folder.Path() / "macro.xml").string();
    MacroLibrary library(path);
    library.Root().InsertChild(-1, MakeGroupNode("one"));
    ASSERT_TRUE(library.SaveInBackground());
    library.Root().InsertChild(-1, MakeGroupNode("two"));
    ASSERT_TRUE(library.SaveInBackground());
    // A load waits for what was handed over.
    MacroLibrary reloaded(path);
    EXPECT_EQ(reloaded.Root().ChildCount(), 2);
    // A synchronous save is never overtaken by an older background one.
    library.Root().InsertChild(-1, MakeGroupNode("three"));
    ASSERT_TRUE(library.SaveInBackground());
    reloaded.Root().RemoveChild(0);
    ASSERT_TRUE(reloaded.Save());
    ASSERT_TRUE(BackgroundSaver::Instance().Flush());
    EXPECT_EQ(MacroLibrary(path).Root().ChildCount(), 1);
}

// A full disk or a file made read-only must not lose the library: a dialog opened again reads
// what could not be written, and the first write that succeeds puts it on disk.
TEST(BackgroundSaverTest, ALibraryWhoseSaveFailedIsReadAgainFromWhatWasNotWritten) {
    TempFolder folder;
    const std::filesystem::path file = folder.Path() / "macro.xml";
    const std::string path = file.string();
    {
        MacroLibrary library(path);
        library.Root().InsertChild(-1, MakeGroupNode("kept"));
        ASSERT_TRUE(library.Save());
    }
    std::filesystem::permissions(file, std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::replace);
    {
        MacroLibrary library(path);
        library.Root().InsertChild(-1, MakeGroupNode("unsaved"));
        ASSERT_TRUE(library.SaveInBackground());
        EXPECT_FALSE(BackgroundSaver::Instance().Flush());
    }
    EXPECT_TRUE(BackgroundSaver::Instance().Unwritten(file).has_value());
    MacroLibrary reopened(path);
    ASSERT_EQ(reopened.Root().ChildCount(), 2);
    EXPECT_EQ(reopened.Root().ChildAt(1)->GetAttribute("name"), "unsaved");

    std::filesystem::permissions(file, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    ASSERT_TRUE(reopened.SaveInBackground());
    EXPECT_TRUE(BackgroundSaver::Instance().Flush());
    EXPECT_FALSE(BackgroundSaver::Instance().Unwritten(file).has_value());
    EXPECT_EQ(MacroLibrary(path).Root().ChildCount(), 2);
}

// An unreadable library file that cannot be kept aside (here a folder in its place) is never
// replaced; what the dialog changed stays for the next dialog all the same.
TEST(BackgroundSaverTest, ALibraryThatMayNotReplaceItsFileIsHeldForTheNextDialog) {
    TempFolder folder;
    const std::filesystem::path file = folder.Path() / "macro.xml";
    const std::string path = file.string();
    std::filesystem::create_directory(file);
    {
        MacroLibrary library(path);
        library.Root().InsertChild(-1, MakeGroupNode("held"));
        EXPECT_FALSE(library.SaveInBackground());
    }
    {
        MacroLibrary reopened(path);
        ASSERT_EQ(reopened.Root().ChildCount(), 1);
        reopened.Root().InsertChild(-1, MakeGroupNode("more"));
        EXPECT_FALSE(reopened.SaveInBackground());
        EXPECT_TRUE(BackgroundSaver::Instance().Flush());
    }
    EXPECT_TRUE(std::filesystem::is_directory(file));

    // Once the way is clear, the next change writes everything.
    std::filesystem::remove(file);
    MacroLibrary cleared(path);
    ASSERT_EQ(cleared.Root().ChildCount(), 2);
    cleared.Root().InsertChild(-1, MakeGroupNode("last"));
    ASSERT_TRUE(cleared.SaveInBackground());
    EXPECT_TRUE(BackgroundSaver::Instance().Flush());
    EXPECT_EQ(MacroLibrary(path).Root().ChildCount(), 3);
    EXPECT_FALSE(BackgroundSaver::Instance().Unwritten(file).has_value());
}

}  // namespace
}  // namespace kb
