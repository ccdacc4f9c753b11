#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "macro/macro_dialog_state.h"
#include "temp_folder.h"

namespace kb {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// The fields in file order, as one line.
std::string Fields(const MacroDialogState& s) {
    return std::to_string(s.page) + " " + std::to_string(s.repeat) + " " + std::to_string(s.delay) +
           " " + std::to_string(s.dlymode) + " " + std::to_string(s.mediasel) + " " +
           std::to_string(s.functsel) + " " + std::to_string(s.sgcode) + " " +
           std::to_string(s.groupsel);
}

TEST(MacroDialogStateTest, ReadsTheFile) {
    struct Case {
        const char* content;  // null: no file
        const char* fields;
    };
    const Case cases[] = {
        {nullptr, "0 1 10 0 0 0 0 0"},
        {"<macro page=", "0 1 10 0 0 0 0 0"},
        {"<other page=\"2\"/>", "0 1 10 0 0 0 0 0"},
        // A missing attribute reads as 0, not as the default.
        {"<macro page=\"2\"/>", "2 0 0 0 0 0 0 0"},
        {"<macro repeat=\"3x\" delay=\"abc\" dlymode=\"7\" sgcode=\" -5\" groupsel=\"+2\"/>",
         "0 3 0 7 0 0 -5 2"},
        {"<other/><macro page=\"1\" repeat=\"300\" delay=\"25\" dlymode=\"1\" mediasel=\"4\" "
         "functsel=\"5\" sgcode=\"40\" groupsel=\"6\"/><macro page=\"3\"/>",
         "1 300 25 1 4 5 40 6"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        if (c.content != nullptr) {
            WriteFile(folder.File("store.xml"), c.content);
        }
        MacroDialogState state(folder.File("store.xml"));
        EXPECT_EQ(Fields(state), c.fields) << (c.content ? c.content : "(no file)");
    }
}

// A NUL byte makes the file malformed, even after a complete element: the defaults hold.
TEST(MacroDialogStateTest, FileWithANulByteIsMalformed) {
    using namespace std::string_literals;
    for (const std::string& bytes :
         {"<macro page=\"2\"/>\0"s, "<macro page=\"2\"/\0>"s, "<macro page=\"2\"/>\0<x"s}) {
        TempFolder folder;
        WriteFile(folder.File("store.xml"), bytes);
        MacroDialogState state(folder.File("store.xml"));
        EXPECT_EQ(Fields(state), "0 1 10 0 0 0 0 0") << testing::PrintToString(bytes);
    }
    // In UTF-16 a NUL is a pair of zero bytes; the zero halves of the other characters are not.
    const auto utf16 = [](const std::string& ascii) {
        std::string wide = "\xFF\xFE";
        for (char c : ascii) {
            wide += c;
            wide += '\0';
        }
        return wide;
    };
    for (const auto& [bytes, fields] :
         {std::pair{utf16("<macro page=\"2\"/>"), "2 0 0 0 0 0 0 0"},
          std::pair{utf16("<macro page=\"2\"/>\0"s), "0 1 10 0 0 0 0 0"}}) {
        TempFolder folder;
        WriteFile(folder.File("store.xml"), bytes);
        MacroDialogState state(folder.File("store.xml"));
        EXPECT_EQ(Fields(state), fields) << testing::PrintToString(bytes);
    }
}

TEST(MacroDialogStateTest, AnUnreadableFileIsKeptAsideBeforeTheFirstSave) {
    TempFolder folder;
    const std::string path = folder.File("store.xml");
    for (const std::string& bytes : {std::string("<macro page=\"2\""), std::string("<other/>")}) {
        std::filesystem::remove(path + ".unreadable");
        WriteFile(path, bytes);
        MacroDialogState state(path);
        EXPECT_TRUE(state.LoadedUnreadable());
        state.page = 3;
        ASSERT_TRUE(state.SaveState());
        ASSERT_TRUE(state.SaveState());
        EXPECT_EQ(ReadFile(path + ".unreadable"), bytes);
        EXPECT_FALSE(std::filesystem::exists(path + ".unreadable.1"));
        EXPECT_EQ(MacroDialogState(path).page, 3);
    }
    // A missing file is simply new.
    std::filesystem::remove(path);
    EXPECT_FALSE(MacroDialogState(path).LoadedUnreadable());
}

TEST(MacroDialogStateTest, SavesTheExactBytesAndReadsThemBack) {
    TempFolder folder;
    MacroDialogState state(folder.File("store.xml"));
    ASSERT_TRUE(state.SaveState());
    EXPECT_EQ(ReadFile(folder.File("store.xml")),
              "<?xml version=\"1.0\"?>\n<macro page=\"0\" repeat=\"1\" delay=\"10\" dlymode=\"0\" "
              "mediasel=\"0\" functsel=\"0\" sgcode=\"0\" groupsel=\"0\" />\n");

    state.page = 3;
    state.repeat = 300;
    state.delay = -25;
    state.sgcode = 0x58;
    ASSERT_TRUE(state.SaveState());
    EXPECT_EQ(Fields(MacroDialogState(folder.File("store.xml"))), "3 300 -25 0 0 0 88 0");
    EXPECT_EQ(folder.Listing(), "store.xml");

    MacroDialogState unwritable(folder.File("missing/store.xml"));
    EXPECT_FALSE(unwritable.SaveState());

    // A folder where the file should be: defaults, and nothing written.
    std::filesystem::create_directory(folder.File("folder.xml"));
    MacroDialogState folderState(folder.File("folder.xml"));
    EXPECT_EQ(Fields(folderState), "0 1 10 0 0 0 0 0");
    EXPECT_FALSE(folderState.SaveState());
}

TEST(MacroDialogStateTest, InstanceIsCreatedOnceForTheProcess) {
    TempFolder folder;
    WriteFile(folder.File("store.xml"), "<macro page=\"2\"/>");
    MacroDialogState& first = MacroDialogState::Instance(folder.Path().string());
    EXPECT_EQ(first.Path(), folder.File("store.xml"));
    EXPECT_EQ(first.page, 2);
    first.repeat = 9;
    MacroDialogState& second = MacroDialogState::Instance("/elsewhere");
    EXPECT_EQ(&second, &first);
    EXPECT_EQ(second.repeat, 9);
}

}  // namespace
}  // namespace kb
