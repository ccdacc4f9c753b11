#include <filesystem>
#include <fstream>

#include "sim_test_support.h"
#include "temp_folder.h"

namespace kb::test {
namespace {

namespace fs = std::filesystem;

// Made before the keyboard, which takes its state file from it.
struct StateFolder {
    TempFolder temp;
};

class SimStateTest : private StateFolder, public SimKeyboardTest {
protected:
    SimStateTest() : SimKeyboardTest(temp.File("state.xml")) {}

    fs::path Folder() const { return fs::path(keyboard_.StateFile()).parent_path(); }
    SimKeyboardState Reloaded() const {
        return SimulatedKeyboard(0x258a, 0x0049, 1, 2, keyboard_.StateFile()).State();
    }
};

TEST_F(SimStateTest, EveryChangeIsSavedAndReloaded) {
    EXPECT_FALSE(fs::exists(keyboard_.StateFile()));  // nothing changed yet

    SimMacroRecord record = MacroRecordOf({2, 12, 0xE0, 5});
    for (std::size_t i = 4; i < record.size(); ++i) {
        record[i] = static_cast<std::uint8_t>(i);  // every byte of the record survives
    }
    SendRecord(record);
    ASSERT_TRUE(Send({7, 0xFA, 3, 1, 0x2C, 1, 0x00, 1}));
    ASSERT_TRUE(Send({7, 0xF7, 8, 0x2F, 0x10, 0x01, 2, 0}));
    ASSERT_TRUE(Send({7, 0xFC, 3}));

    const SimKeyboardState expected = keyboard_.State();
    EXPECT_EQ(expected.profiles[1].macros[11], record);
    EXPECT_EQ(Reloaded(), expected);

    ASSERT_TRUE(Send({7, 0xF0, 0xAA}));
    EXPECT_EQ(Reloaded(), SimKeyboardState{});

    // Only the file itself is left: the temporary files were renamed over it.
    std::vector<fs::path> files{fs::directory_iterator(Folder()), fs::directory_iterator()};
    EXPECT_EQ(files, std::vector<fs::path>{keyboard_.StateFile()});
}

TEST_F(SimStateTest, SetStateIsSavedAndRefusesImpossibleStates) {
    SimKeyboardState state;
    state.activeProfile = 2;
    state.profiles[0].remaps[0] = {0x04, 0x05};
    ASSERT_TRUE(keyboard_.SetState(state));
    EXPECT_EQ(Reloaded(), state);

    for (auto [profile, effect] : {std::pair{0, 0}, {4, 0}, {1, -1}, {1, 10}}) {
        SimKeyboardState bad;
        bad.activeProfile = profile;
        bad.effect = effect;
        EXPECT_FALSE(keyboard_.SetState(bad));
    }
    EXPECT_EQ(keyboard_.State(), state);
    EXPECT_EQ(ReadSlots()[0], Frame({7, 2}));
}

TEST_F(SimStateTest, UnusableFilesGiveAFreshKeyboard) {
    const std::string good =
        "<?xml version=\"1.0\"?>\n"
        "<simkeyboard version=\"1\" activeprofile=\"2\" effect=\"3\">\n"
        "<profile number=\"1\"><remap slot=\"4\" key=\"2c\" target=\"05\"/>"
        "</profile></simkeyboard>";
    WriteFile(keyboard_.StateFile(), good);
    ASSERT_EQ(Reloaded().activeProfile, 2);  // the baseline file is accepted
    ASSERT_EQ(Reloaded().profiles[0].remaps[3], (SimRemapEntry{0x2C, 0x05}));

    auto edit = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    auto replace = [&](const std::string& from, const std::string& to) {
        return edit(good, from, to);
    };
    const std::string macro = "<macro slot=\"1\" record=\"" + std::string(336, '1') + "\"/>";
    const std::string cases[] = {
        "",
        "not xml at all",
        "<simkeyboard version=\"1\" activeprofile=\"2\" effect=\"3\"><profile",
        replace("simkeyboard version", "keyboard version"),
        replace("version=\"1\"", "version=\"2\""),
        replace("activeprofile=\"2\"", "activeprofile=\"4\""),
        replace("activeprofile=\"2\"", "activeprofile=\"2x\""),
        replace("effect=\"3\"", "effect=\"-1\""),
        replace("number=\"1\"", "number=\"99999999999999999999\""),
        replace("slot=\"4\"", "slot=\"13\""),
        replace("key=\"2c\"", "key=\"00\""),
        replace("key=\"2c\"", "key=\"2\""),
        replace("target=\"05\"", "target=\"zz\""),
        replace("</profile>", "<remap slot=\"4\" key=\"2d\" target=\"05\"/></profile>"),
        replace("</profile>", "</profile><profile number=\"1\"/>"),
        replace("</profile>", "<unknown/></profile>"),
        replace("</profile>", macro.substr(0, macro.size() - 4) + "\"/></profile>"),
        replace("</profile>", edit(macro, "record=\"11111111", "record=\"11111100") + "</profile>"),
        replace("</profile>", "</profile><lighting effect=\"10\" record=\"0101020300\"/>"),
        replace("</profile>", "</profile><lighting effect=\"1\" record=\"01010203\"/>"),
        good + std::string(2 * 1024 * 1024, ' '),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 200));
        WriteFile(keyboard_.StateFile(), text);
        EXPECT_EQ(Reloaded(), SimKeyboardState{});
    }

    // The first change keeps the unreadable file aside before replacing it.
    WriteFile(keyboard_.StateFile(), "not xml at all");
    {
        SimulatedKeyboard fresh(0x258a, 0x0049, 1, 2, keyboard_.StateFile());
        SimKeyboardState state;
        state.activeProfile = 2;
        ASSERT_TRUE(fresh.SetState(state));
    }
    EXPECT_EQ(ReadFile(keyboard_.StateFile() + ".unreadable"), "not xml at all");
    EXPECT_EQ(Reloaded().activeProfile, 2);

    // The macro line itself is valid when its key and repeat count are set.
    WriteFile(keyboard_.StateFile(), replace("</profile>", macro + "</profile>"));
    EXPECT_EQ(Reloaded().profiles[0].macros[0][2], 0x11);
}

TEST(SimStateFileTest, MissingFolderOrFileIsHarmless) {
    const TempFolder temp;
    const fs::path& folder = temp.Path();
    SimulatedKeyboard keyboard(0x258a, 0x0049, 1, 2, (folder / "none" / "state.xml").string());
    EXPECT_EQ(keyboard.State(), SimKeyboardState{});
    auto handle = keyboard.Open(keyboard.ProtocolPath());
    EXPECT_TRUE(handle->SetFeature(Frame({7, 0xFC, 2})));  // the save fails quietly
    EXPECT_EQ(keyboard.ActiveProfile(), 2);
    EXPECT_FALSE(fs::exists(folder / "none"));
}

}  // namespace
}  // namespace kb::test
