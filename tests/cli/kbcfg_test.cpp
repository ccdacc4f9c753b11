#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "kbcfg_runner.h"
#include "keymap/keymap_file.h"
#include "sim/sim_state.h"
#include "wire_script.h"

namespace kb::test {
namespace {

// Group "Hello": A down for 100 ms, A up for 20 ms, encoded 04 0a, 04 82.
constexpr const char* kLibrary = R"(<?xml version="1.0" encoding="UTF-8"?>
<group>
	<items name="Hello">
		<item code="4" name="A" state="0" delay="100" />
		<item code="4" name="A" state="1" delay="20" />
	</items>
</group>
)";

constexpr const char* kNoSpace = "Insufficient space, please delete the record button first.\n";

std::string Tables(int profile, const std::map<int, std::string>& macro,
                   const std::map<int, std::string>& remap) {
    auto name = [](const std::map<int, std::string>& table, int slot) {
        const auto found = table.find(slot);
        return found == table.end() ? std::string("-") : found->second;
    };
    std::string text = "profile " + std::to_string(profile) + "\nslot  macro        remap\n";
    for (int slot = 1; slot <= 12; ++slot) {
        char row[64];
        std::snprintf(row, sizeof row, "%4d  %-12s %s\n", slot, name(macro, slot).c_str(),
                      name(remap, slot).c_str());
        text += row;
    }
    return text;
}

SimKeyboardState LoadState(const KbcfgFolder& folder) {
    SimKeyboardState state;
    EXPECT_TRUE(LoadSimState(folder.File("state.xml"), state));
    return state;
}

std::vector<int> Head(const SimMacroRecord& record, std::size_t count) {
    return std::vector<int>(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(count));
}

class KbcfgTest : public ::testing::Test {
protected:
    KbcfgTest() { folder_.Write("lib.xml", kLibrary); }

    // Runs a command that must succeed and returns its standard output.
    std::string Ok(const std::vector<std::string>& args) {
        const RunResult result = folder_.Sim(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        return result.out;
    }

    KbcfgFolder folder_;
};

TEST_F(KbcfgTest, AssignsEveryKindClearsSwitchesProfilesAndResets) {
    const std::string lib = folder_.File("lib.xml");

    EXPECT_EQ(Ok({"assign", "A", "--macro", "Hello", "--repeat", "3", "--library", lib}),
              Tables(1, {{1, "A"}}, {}));
    EXPECT_EQ(Head(LoadState(folder_).profiles[0].macros[0], 9),
              (std::vector<int>{1, 1, 0x04, 3, 0x04, 0x0A, 0x04, 0x82, 0}));

    EXPECT_EQ(Ok({"assign", "B", "--key", "C"}), Tables(1, {{1, "A"}}, {{1, "B"}}));
    EXPECT_EQ(Ok({"assign", "Ctrl Left", "--media", "Mute"}),
              Tables(1, {{1, "A"}}, {{1, "B"}, {2, "Left Ctrl"}}));
    EXPECT_EQ(Ok({"assign", "0x07", "--function", "Copy"}),
              Tables(1, {{1, "A"}, {2, "D"}}, {{1, "B"}, {2, "Left Ctrl"}}));
    {
        const SimKeyboardState state = LoadState(folder_);
        EXPECT_EQ(state.profiles[0].remaps[0], (SimRemapEntry{0x05, 0x06}));
        EXPECT_EQ(state.profiles[0].remaps[1], (SimRemapEntry{0xE0, 226}));
        EXPECT_EQ(
            Head(state.profiles[0].macros[1], 13),
            (std::vector<int>{1, 2, 0x07, 1, 0xE0, 0x45, 0x06, 0x45, 0x06, 0x81, 0xE0, 0x81, 0}));
    }

    EXPECT_EQ(Ok({"slots", "--profile", "2"}), Tables(2, {}, {}));
    EXPECT_EQ(Ok({"assign", "A", "--profile", "2", "--key", "Pad Enter"}),
              Tables(2, {}, {{1, "A"}}));
    EXPECT_EQ(LoadState(folder_).profiles[1].remaps[0], (SimRemapEntry{0x04, 0x58}));
    EXPECT_EQ(Ok({"slots"}), Tables(1, {{1, "A"}, {2, "D"}}, {{1, "B"}, {2, "Left Ctrl"}}));

    EXPECT_EQ(Ok({"clear", "A"}), Tables(1, {{2, "D"}}, {{1, "B"}, {2, "Left Ctrl"}}));
    EXPECT_EQ(Ok({"clear", "B"}), Tables(1, {{2, "D"}}, {{2, "Left Ctrl"}}));
    EXPECT_EQ(Ok({"clear", "Z"}), Tables(1, {{2, "D"}}, {{2, "Left Ctrl"}}));
    // The freed slot is the first free one again.
    EXPECT_EQ(Ok({"assign", "E", "--macro", "Hello", "--library", lib}),
              Tables(1, {{1, "E"}, {2, "D"}}, {{2, "Left Ctrl"}}));

    EXPECT_EQ(Ok({"reset", "--yes"}), Tables(1, {}, {}));
    EXPECT_EQ(LoadState(folder_), SimKeyboardState{});
}

TEST_F(KbcfgTest, TracesEveryReportAndWaitOfAMacroAssignment) {
    const RunResult result = folder_.Sim(
        {"--trace", "assign", "F1", "--macro", "Hello", "--library", folder_.File("lib.xml")});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    using namespace wire;
    // Profile 1, slot 1, key F1 (0x3a), repeat 1, then the two steps.
    EXPECT_EQ(result.ErrLines(),
              Join({SelectProfile(1), EmptyReadBack(1),
                    Transfer({"07 f1 01 01 3a 01 04 0a", "07 00 04 82 00 00 00 00"}, true),
                    ReadBack("01 3a 00 00 00 00 00", kZeros, kZeros, kZeros)}));
    EXPECT_EQ(result.out, Tables(1, {{1, "F1"}}, {}));
}

TEST_F(KbcfgTest, SendsLightingRecordsFromTheInitialValues) {
    struct Case {
        std::vector<std::string> args;
        int effect;
        SimLightingRecord record;
        std::string printed;
        std::string sent;
    };
    const std::vector<Case> cases{
        {{"light", "8", "--areas", "2,15,0,0,0,0", "--brightness", "2"},
         8,
         {0x2F, 0, 0, 2, 0},
         "lighting effect 8: 2f 00 00 02 00\n",
         "send 07 f7 08 2f 00 00 02 00"},
        {{"light", "1", "--colour", "5", "--direction", "right", "--speed", "0"},
         1,
         {5, 2, 0, 3, 0},
         "lighting effect 1: 05 02 00 03 00\n",
         "send 07 f7 01 05 02 00 03 00"},
        {{"light", "9"},
         9,
         {1, 1, 2, 3, 0},
         "lighting effect 9: 01 01 02 03 00\n",
         "send 07 f7 09 01 01 02 03 00"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--trace"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult result = folder_.Sim(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, c.printed);
        EXPECT_EQ(result.ErrLines(), (std::vector<std::string>{"wait 50", c.sent}));
        const SimKeyboardState state = LoadState(folder_);
        EXPECT_EQ(state.effect, c.effect);
        EXPECT_EQ(state.lighting[static_cast<std::size_t>(c.effect)], c.record);
    }
}

TEST_F(KbcfgTest, RefusesAnAssignmentWithoutAFreeMacroSlot) {
    SimKeyboardState full;
    for (std::size_t slot = 0; slot < 12; ++slot) {
        SimMacroRecord& record = full.profiles[0].macros[slot];
        record[0] = 1;
        record[1] = static_cast<std::uint8_t>(slot + 1);
        record[2] = static_cast<std::uint8_t>(0x04 + slot);  // A to L
        record[3] = 1;
    }
    ASSERT_TRUE(SaveSimState(folder_.File("state.xml"), full));

    const RunResult refused = folder_.Sim({"assign", "Z", "--key", "B"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, kNoSpace);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(LoadState(folder_), full);

    // A key that holds a macro keeps its slot.
    const std::string out = Ok(
        {"assign", "C", "--macro", "Hello", "--repeat", "2", "--library", folder_.File("lib.xml")});
    EXPECT_EQ(Head(LoadState(folder_).profiles[0].macros[2], 5),
              (std::vector<int>{1, 3, 0x06, 2, 0x04}));
    EXPECT_NE(out.find("\n   3  C "), std::string::npos) << out;
}

TEST_F(KbcfgTest, ExitsOneWhenTheKeyboardDoesNotTakeAnAssignmentOrAClear) {
    const std::string notTaken =
        "The keyboard did not take the assignment. Check that it is connected and try again.";
    Ok({"assign", "B", "--key", "C"});
    const SimKeyboardState before = LoadState(folder_);

    // The cable comes out at the fifth report of the macro's transfer: after the profile
    // select, the read-back and four reports.
    const RunResult macro = folder_.Sim({"--trace", "--unplug-after", "10", "assign", "A",
                                         "--macro", "Hello", "--library", folder_.File("lib.xml")});
    EXPECT_EQ(macro.exitCode, 1);
    EXPECT_EQ(macro.out, "");
    using namespace wire;
    Lines transfer = Transfer({"07 f1 01 01 04 01 04 0a", "07 00 04 82 00 00 00 00"}, true);
    transfer.resize(2 * 4);  // four reports and their waits
    const std::string lost = "send 07 " + kZeros + " failed";
    EXPECT_EQ(macro.ErrLines(),
              Join({SelectProfile(1),
                    ReadBack("01 00 00 00 00 00 00", kZeros, "05 00 00 00 00 00 00", kZeros),
                    transfer,
                    {lost, lost, lost, lost},
                    LostReadBack(),
                    {notTaken}}));
    EXPECT_EQ(LoadState(folder_), before);

    // A single code and a clear: their one report finds the keyboard gone.
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"assign", "A", "--key", "D"}, notTaken},
        {{"clear", "B"},
         "The keyboard did not clear the assignment. Check that it is connected and try again."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<std::string> args{"--unplug-after", "6"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult result = folder_.Sim(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.message + "\n");
        EXPECT_EQ(LoadState(folder_), before);
    }

    const RunResult real =
        folder_.Run({"--config", folder_.File("config.xml"), "--unplug-after=3", "status"});
    EXPECT_EQ(real.exitCode, 2);
    EXPECT_NE(real.err.find("--unplug-after needs --simulate"), std::string::npos) << real.err;
    const RunResult bad = folder_.Sim({"--unplug-after", "x", "status"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--unplug-after must be a number"), std::string::npos) << bad.err;
}

TEST_F(KbcfgTest, RejectsBadUsageAndInputBeforeTalkingToTheKeyboard) {
    const std::string lib = folder_.File("lib.xml");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{}, "missing command"},
        {{"frobnicate"}, "unknown command \"frobnicate\""},
        {{"slots", "extra"}, "unexpected argument \"extra\""},
        {{"assign", "Hyper", "--key", "B"}, "unknown key \"Hyper\""},
        {{"assign", "A", "--key", "0x100"}, "unknown key \"0x100\""},
        {{"assign", "A", "--key", "0x00"}, "unknown key \"0x00\""},
        {{"assign", "A"}, "exactly one of --key, --media, --function and --macro"},
        {{"assign", "A", "--key", "B", "--media", "Mute"}, "exactly one of"},
        {{"assign", "A", "--key"}, "--key needs a value"},
        {{"assign", "A", "--media", "Volume"}, "no media key named \"Volume\""},
        {{"assign", "A", "--function", "Nope"}, "no function key named \"Nope\""},
        {{"assign", "A", "--macro", "Nope", "--library", lib}, "no macro group named \"Nope\""},
        {{"assign", "A", "--macro", "Hello", "--library", folder_.File("none.xml")},
         "cannot read macro library " + folder_.File("none.xml") + ": no such file"},
        {{"assign", "A", "--macro", "Hello", "--library", folder_.Path().string()},
         ": not a regular file"},
        {{"assign", "A", "--key", "B", "--repeat", "2"}, "--repeat and --library go with --macro"},
        {{"assign", "A", "--macro", "Hello", "--repeat", "0"}, "--repeat must be a number"},
        {{"slots", "--profile", "4"}, "--profile must be a number from 1 to 3 (got \"4\")"},
        {{"slots", "--profile", "1x"}, "--profile must be a number"},
        {{"slots", "--profile", "1", "--profile", "2"}, "--profile is given twice"},
        {{"clear"}, "clear needs KEY"},
        {{"reset"}, "confirm with --yes"},
        {{"status", "--speed", "1"}, "--speed does not go with status"},
        {{"light", "10"}, "EFFECT must be a number from 0 to 9"},
        {{"light", "1", "--areas", "1,2,3,4,5,6"}, "--areas applies only to effect 8"},
        {{"light", "8", "--colour", "2"}, "--colour does not apply to effect 8"},
        {{"light", "8", "--areas", "1,2,3"}, "--areas must be six numbers"},
        {{"light", "0", "--direction", "up"}, "--direction must be left or right"},
        {{"light", "0", "--bogus"}, "unknown option --bogus"},
        {{"--config", folder_.File("none.xml"), "status"}, "cannot read configuration"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const RunResult result = folder_.Sim(c.args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        ASSERT_EQ(result.ErrLines().size(), 1u) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(folder_.File("state.xml")));
    }
}

TEST_F(KbcfgTest, KeepsAnUnreadableStateFileAndABrokenConfiguration) {
    folder_.Write("state.xml", "<simkeyboard version=\"1\" activeprofile=\"7\"/>");
    RunResult result = folder_.Sim({"slots"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("cannot read simulator state"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(folder_.File("state.xml")),
              "<simkeyboard version=\"1\" activeprofile=\"7\"/>");

    // A state file whose folder is missing could never be kept.
    for (const std::string& state :
         {folder_.File("missing/state.xml"), folder_.File("state.xml/inner.xml")}) {
        SCOPED_TRACE(state);
        result = folder_.Run({"--config", folder_.File("config.xml"), "--simulate=" + state,
                              "assign", "A", "--key", "B"});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("cannot keep simulator state " + state + ": no folder"),
                  std::string::npos)
            << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder_.File("missing")));

    folder_.Write("config.xml", "<usb vid=\"258a\"");
    result = folder_.Run({"--config", folder_.File("config.xml"), "--simulate", "status"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("is not well-formed XML"), std::string::npos) << result.err;
}

TEST_F(KbcfgTest, FindsTheSimulatedKeyboardAsDiscoveryWould) {
    const std::string status = Ok({"--verbose", "status"});
    EXPECT_EQ(status.rfind("got classs: guid={4d1e55b2-f16f-11cf-88cb001111000030}\n", 0), 0u)
        << status;
    EXPECT_TRUE(status.ends_with("\nConnected\n")) << status;
    EXPECT_EQ(Ok({"status"}), "Connected\n");

    const std::string list = Ok({"list"});
    std::vector<std::string> marked;
    for (std::size_t at = list.find("\n* "); at != std::string::npos;
         at = list.find("\n* ", at + 1)) {
        marked.push_back(list.substr(at + 1, list.find('\n', at + 1) - at - 1));
    }
    ASSERT_EQ(marked.size(), 2u) << list;  // the row and the legend
    EXPECT_EQ(marked[0].rfind("* 258a 0049  1          2           ff00:", 0), 0u) << list;
    EXPECT_TRUE(marked[0].ends_with("  sim:mi_01&col02")) << list;
    EXPECT_NE(marked[1].find("(vid 258a, pid 0049, interface 1, collection 2)"), std::string::npos);
}

#ifndef _WIN32
TEST_F(KbcfgTest, ReportsAMachineWithoutHidDevices) {
    if (std::filesystem::exists("/sys/class/hidraw") &&
        !std::filesystem::is_empty("/sys/class/hidraw")) {
        GTEST_SKIP() << "this machine has HID devices";
    }
    const std::string config = folder_.File("config.xml");
    const RunResult list = folder_.Run({"--config", config, "list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, "No HID devices found.\n");

    const RunResult status = folder_.Run({"--config", config, "status"});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_EQ(status.err, "Failed to open USB\n");
    EXPECT_EQ(folder_.Run({"--config", config, "slots"}).err, "Failed to open USB\n");
}
#endif

// The slot tables of all three profiles, as "slots" prints them.
std::string AllSlots(const KbcfgFolder& folder) {
    std::string text;
    for (const char* profile : {"1", "2", "3"}) {
        const RunResult result = folder.Sim({"slots", "--profile", profile});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        text += result.out;
    }
    return text;
}

TEST_F(KbcfgTest, KeysSayWhatEachKeyDoesAndFollowTheKeyboard) {
    const std::string lib = folder_.File("lib.xml");
    Ok({"assign", "A", "--macro", "Hello", "--repeat", "3", "--library", lib});
    Ok({"assign", "B", "--key", "Esc"});
    Ok({"assign", "C", "--media", "Mute", "--profile", "2"});
    Ok({"assign", "D", "--function", "Copy", "--profile", "2"});
    // Repeat 0 cannot be given, so a single code to itself comes from the key page.
    Ok({"assign", "E", "--key", "E", "--profile", "3"});
    EXPECT_EQ(Ok({"keys"}),
              "profile 1\n"
              "  A            Macro \"Hello\" \u00d73\n"
              "  B            \u2192 Esc\n"
              "profile 2\n"
              "  C            Mute\n"
              "  D            Copy (Ctrl+C)\n"
              "profile 3\n"
              "  E            \u2192 E\n");

    // Changed behind kbcfg's back: A now holds a remap, F is new; both are unknown. B is free.
    SimKeyboardState state = LoadState(folder_);
    state.profiles[0].macros[0] = SimMacroRecord{};
    state.profiles[0].remaps[0] = {0x04, 0x29};
    state.profiles[0].remaps[5] = {0x09, 0x29};
    ASSERT_TRUE(SaveSimState(folder_.File("state.xml"), state));
    EXPECT_EQ(Ok({"keys", "--profile", "1"}),
              "profile 1\n"
              "  A            assigned elsewhere\n"
              "  F            assigned elsewhere\n");

    Ok({"clear", "D", "--profile", "2"});
    EXPECT_EQ(Ok({"keys", "--profile", "2"}), "profile 2\n  C            Mute\n");

    Ok({"reset", "--yes"});
    EXPECT_EQ(Ok({"keys"}),
              "profile 1\n  no key assigned\nprofile 2\n  no key assigned\n"
              "profile 3\n  no key assigned\n");
    // The memory goes with the simulated keyboard's state file.
    EXPECT_TRUE(std::filesystem::exists(folder_.File("state-keymap.xml")));
}

TEST_F(KbcfgTest, BackupFactoryRestoreRestoreGivesTheSameSlotsInEveryProfile) {
    const std::string lib = folder_.File("lib.xml");
    Ok({"assign", "A", "--macro", "Hello", "--repeat", "3", "--library", lib});
    Ok({"assign", "B", "--key", "Esc"});
    Ok({"assign", "F1", "--function", "Paste"});
    Ok({"assign", "Ctrl Left", "--media", "Mute"});
    Ok({"assign", "C", "--media", "Volume up", "--profile", "2"});
    Ok({"assign", "D", "--macro", "Hello", "--library", lib, "--profile", "2"});
    Ok({"assign", "E", "--key", "Pad Enter", "--profile", "3"});
    Ok({"assign", "G", "--function", "Task manager", "--profile", "3"});
    Ok({"light", "8", "--areas", "2,15,0,1,3,4", "--brightness", "1"});
    const std::string slots = AllSlots(folder_);
    const SimKeyboardState before = LoadState(folder_);

    const std::string backup = folder_.File("settings.kbbackup");
    EXPECT_EQ(Ok({"backup", backup}), "backed up 8 keys and the lighting to " + backup + "\n");
    Ok({"reset", "--yes"});
    ASSERT_NE(AllSlots(folder_), slots);
    // A key the backup does not know is cleared by the restore.
    Ok({"assign", "Z", "--key", "A", "--profile", "2"});

    const std::string out = Ok({"restore", backup});
    EXPECT_EQ(out.substr(0, out.find('\n')), "restored 8 keys and the lighting");
    EXPECT_EQ(AllSlots(folder_), slots);
    SimKeyboardState after = LoadState(folder_);
    after.activeProfile = before.activeProfile;
    EXPECT_EQ(after, before);
    EXPECT_EQ(Ok({"keys", "--profile", "3"}),
              "profile 3\n  E            \u2192 Num Enter\n"
              "  G            Task manager (Ctrl+Shift+Esc)\n");
}

// "-" writes the backup to standard output and nothing else goes there: the summary, the keys
// left out and the diagnostics go to standard error. What comes out restores like a file.
TEST_F(KbcfgTest, BackupToStandardOutputHasItToItself) {
    Ok({"assign", "B", "--key", "Esc"});
    const std::string file = folder_.File("file.kbbackup");
    Ok({"backup", file});
    const RunResult result = folder_.Sim({"--verbose", "backup", "-"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, ReadFile(file));
    EXPECT_NE(result.err.find("backed up 1 keys to standard output\n"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("got classs"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(folder_.File("-")));

    folder_.Write("piped.kbbackup", result.out);
    Ok({"reset", "--yes"});
    EXPECT_EQ(Ok({"restore", folder_.File("piped.kbbackup")}).substr(0, 16), "restored 1 keys\n");
}

// A keymap file that cannot be read whole is kept aside once and said in a line; the command
// itself goes on with what could be read.
TEST_F(KbcfgTest, AnUnreadableKeymapIsKeptAsideAndSaidOnce) {
    folder_.Write("state-keymap.xml", "<keymap><keyboard");
    RunResult result = folder_.Sim({"assign", "A", "--key", "B"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "kbcfg: " + folder_.File("state-keymap.xml") +
                              " could not be read whole; it was kept as " +
                              folder_.File("state-keymap.xml.unreadable") + "\n");
    EXPECT_EQ(ReadFile(folder_.File("state-keymap.xml.unreadable")), "<keymap><keyboard");
    result = folder_.Sim({"keys"});
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(std::filesystem::exists(folder_.File("state-keymap.xml.unreadable.1")));
}

TEST_F(KbcfgTest, RefusesBadBackupsBeforeSendingAnything) {
    Ok({"assign", "B", "--key", "Esc"});
    const std::string good = folder_.File("good.kbbackup");
    Ok({"backup", good});
    const std::string text = ReadFile(good);
    const SimKeyboardState state = LoadState(folder_);

    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    struct Case {
        std::string name;
        std::string content;  // empty: the file does not exist
        std::string message;
    };
    const std::vector<Case> cases{
        {"missing.kbbackup", "", "cannot read "},
        {"macro.xml", kLibrary, " is not a backup file"},
        {"text.kbbackup", "not xml at all <", " is not a backup file"},
        {"other.kbbackup", replaced("vid=\"258a\"", "vid=\"1234\""),
         " is a backup of another keyboard (vid 1234, pid 0049)"},
        {"future.kbbackup", replaced("format=\"1\"", "format=\"2\""),
         " is a backup in a format this version does not know"},
        {"damaged.kbbackup", replaced("sent=\"07 fa", "sent=\"07 zz"),
         " is damaged: an entry cannot be assigned again"},
        {"badkind.kbbackup", replaced("kind=\"key\"", "kind=\"laser\""),
         " is damaged: an entry cannot be assigned again"},
        {"cut.kbbackup", text.substr(0, text.size() / 2), " is a damaged or incomplete backup"},
    };
    for (const Case& c : cases) {
        const std::string path = folder_.File(c.name);
        if (!c.content.empty()) {
            folder_.Write(c.name, c.content);
        }
        const RunResult result = folder_.Sim({"--trace", "restore", path});
        EXPECT_EQ(result.exitCode, 2) << c.name;
        EXPECT_EQ(result.out, "") << c.name;
        const std::string what = c.content.empty() ? c.message + path : path + c.message;
        EXPECT_EQ(result.err, "kbcfg: " + what + "; nothing was sent (see kbcfg --help)\n")
            << c.name;
        EXPECT_EQ(LoadState(folder_), state) << c.name;
    }
}

#ifndef _WIN32
TEST_F(KbcfgTest, RefusesOutputsThatAreNotRegularFilesBeforeSendingAnything) {
    Ok({"assign", "B", "--key", "Esc"});
    const SimKeyboardState state = LoadState(folder_);
    ASSERT_EQ(::mkfifo(folder_.File("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(folder_.File("folder"));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"backup", folder_.File("fifo")},
         "cannot write the backup " + folder_.File("fifo") + ": it is not a regular file"},
        {{"backup", folder_.File("folder")},
         "cannot write the backup " + folder_.File("folder") + ": it is not a regular file"},
        {{"backup", "/dev/null"}, "cannot write the backup /dev/null: it is not a regular file"},
        {{"backup", folder_.File("none/x.kbbackup")},
         "cannot write the backup " + folder_.File("none/x.kbbackup") +
             ": its folder does not exist"},
        {{"--keymap", "", "clear", "B"}, "cannot keep what is sent in \"\": the name is empty"},
        {{"--keymap", folder_.File("fifo"), "clear", "B"},
         "cannot keep what is sent in \"" + folder_.File("fifo") + "\": it is not a regular file"},
        {{"--keymap", folder_.File("folder"), "keys"},
         "cannot keep what is sent in \"" + folder_.File("folder") +
             "\": it is not a regular file"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--trace"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult result = folder_.Sim(args);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_EQ(result.out, "") << c.message;
        // Said at once, without a report sent or a pointer to the usage text.
        EXPECT_EQ(result.err, "kbcfg: " + c.message + "; nothing was sent\n");
        EXPECT_EQ(LoadState(folder_), state) << c.message;
    }
    struct stat info {};
    ASSERT_EQ(::lstat(folder_.File("fifo").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}
#endif

#ifndef _WIN32
// A full disk (a small tmpfs of a private mount namespace, filled up) fails the saves that
// come after the checks: each is said, and kbcfg exits 1 without pointing to the usage text.
TEST_F(KbcfgTest, SavesThatFailOnAFullDiskAreSaid) {
    const std::filesystem::path full = folder_.Path() / "full";
    std::filesystem::create_directory(full);
    if (::geteuid() != 0 || std::system("unshare --mount true 2>/dev/null") != 0) {
        GTEST_SKIP() << "needs root and mount namespaces for a full disk";
    }
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string keymap = (full / "keymap.xml").string();
    const std::string backup = (full / "b.kbbackup").string();
    const std::vector<Case> cases{
        {{"--keymap", keymap, "assign", "A", "--key", "B"},
         "could not save " + keymap + ": what was sent is not remembered"},
        {{"backup", backup}, "could not write the backup " + backup},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::string command = std::string(KBCFG_PATH) + " --config " + folder_.File("config.xml") +
                              " --simulate=" + folder_.File("state.xml");
        for (const std::string& arg : c.args) {
            command += " " + arg;
        }
        folder_.Write("full.sh", "mount -t tmpfs -o size=32k tmpfs " + full.string() +
                                     " || exit 99\nhead -c 1000000 /dev/zero > " +
                                     (full / "fill").string() + " 2>/dev/null\n" + command + " >" +
                                     folder_.File("out.txt") + " 2>" + folder_.File("err.txt") +
                                     "\n");
        const int status = std::system(("unshare --mount sh " + folder_.File("full.sh")).c_str());
        if (WEXITSTATUS(status) == 99) {
            GTEST_SKIP() << "no tmpfs could be mounted";
        }
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_EQ(ReadFile(folder_.File("err.txt")), "kbcfg: " + c.message + "\n");
    }
}
#endif

// Keys go by the names the program shows too, in either language and any case, and are shown
// by them.
TEST_F(KbcfgTest, TakesTheKeyNamesTheProgramShows) {
    Ok({"assign", "left ctrl", "--key", "Caps Lock"});
    Ok({"assign", "大写锁定", "--key", "Num Enter"});
    const SimKeyboardState state = LoadState(folder_);
    EXPECT_EQ(state.profiles[0].remaps[0], (SimRemapEntry{0xE0, 0x39}));
    EXPECT_EQ(state.profiles[0].remaps[1], (SimRemapEntry{0x39, 0x58}));
    // And shows them by those names.
    EXPECT_EQ(Ok({"keys", "--profile", "1"}),
              "profile 1\n"
              "  Caps Lock    \u2192 Num Enter\n"
              "  Left Ctrl    \u2192 Caps Lock\n");
}

}  // namespace
}  // namespace kb::test

namespace kb::test {
namespace {

// The memory file says what the keyboard holds: following its tables changes nothing.
bool MemoryFollowsKeyboard(const KbcfgFolder& folder) {
    const KeyboardMemory memory =
        LoadKeymap(folder.File("state-keymap.xml"), {0x258a, 0x0049, 1, 2});
    SimKeyboardState state;
    EXPECT_TRUE(LoadSimState(folder.File("state.xml"), state));
    for (std::size_t p = 0; p < 3; ++p) {
        SlotTable macro{}, remap{};
        for (std::size_t slot = 0; slot < 12; ++slot) {
            macro[slot] = state.profiles[p].macros[slot][2];
            remap[slot] = state.profiles[p].remaps[slot].key;
        }
        ProfileMemory copy = memory.profiles[p];
        if (Reconcile(copy, macro, remap)) {
            return false;
        }
    }
    return true;
}

// Every command with the keyboard unplugged after each of its exchanges: it exits 1 with the
// reason and writes no file until every exchange went through; the memory file is as it was
// or says what the keyboard holds.
TEST_F(KbcfgTest, ACommandInterruptedAtAnyExchangeSaysSoAndKeepsTheMemory) {
    const std::string lib = folder_.File("lib.xml");
    Ok({"assign", "A", "--macro", "Hello", "--library", lib});
    Ok({"assign", "B", "--key", "Esc"});
    Ok({"assign", "C", "--media", "Mute", "--profile", "2"});
    Ok({"light", "3", "--brightness", "1"});
    const std::string backup = folder_.File("settings.kbbackup");
    Ok({"backup", backup});
    Ok({"keys"});
    const std::string state = ReadFile(folder_.File("state.xml"));
    const std::string memory = ReadFile(folder_.File("state-keymap.xml"));
    const std::string out = folder_.File("out.kbbackup");

    const std::vector<std::vector<std::string>> commands{
        {"slots", "--profile", "2"},
        {"keys"},
        {"backup", out},
        {"assign", "D", "--macro", "Hello", "--library", lib},
        {"assign", "E", "--key", "Esc", "--profile", "2"},
        {"clear", "A"},
        {"light", "5", "--speed", "2"},
        {"reset", "--yes"},
        {"restore", backup},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(::testing::PrintToString(command));
        // The exchanges the command takes when nothing goes wrong.
        folder_.Write("state.xml", state);
        folder_.Write("state-keymap.xml", memory);
        std::vector<std::string> traced{"--trace"};
        traced.insert(traced.end(), command.begin(), command.end());
        int exchanges = 0;
        for (const std::string& line : folder_.Sim(traced).ErrLines()) {
            exchanges += line.starts_with("send ") || line.starts_with("read ") ? 1 : 0;
        }
        ASSERT_GT(exchanges, 0);
        for (int n = 0; n <= exchanges; ++n) {
            SCOPED_TRACE("unplugged after " + std::to_string(n));
            folder_.Write("state.xml", state);
            folder_.Write("state-keymap.xml", memory);
            std::filesystem::remove(out);
            std::vector<std::string> args{"--unplug-after", std::to_string(n)};
            args.insert(args.end(), command.begin(), command.end());
            const RunResult result = folder_.Sim(args);
            EXPECT_TRUE(ReadFile(folder_.File("state-keymap.xml")) == memory ||
                        MemoryFollowsKeyboard(folder_));
            if (n == exchanges) {
                // Done only once the keyboard is still there after the last exchange.
                EXPECT_EQ(result.exitCode, 0) << result.err;
                EXPECT_EQ(result.err, "");
                SimKeyboardState after;
                ASSERT_TRUE(LoadSimState(folder_.File("state.xml"), after));
                if (command[0] == "backup") {
                    EXPECT_TRUE(std::filesystem::exists(out));
                }
                break;
            }
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_NE(result.err, "");
            EXPECT_FALSE(std::filesystem::exists(out));
            // Nothing half-printed as if done.
            EXPECT_EQ(result.out, "");
        }
    }
}

}  // namespace
}  // namespace kb::test
