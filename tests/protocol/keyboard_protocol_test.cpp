#include "protocol/keyboard_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "device/device_channel.h"
#include "device/device_gate.h"
#include "device/trace_sink.h"
#include "protocol/pacers.h"
#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "wire_script.h"

namespace kb {
namespace {

using namespace wire;

class FakeView : public KeyboardView {
public:
    void ClearKeyMarks() override {
        marked.clear();
        ++clears;
    }
    void MarkKey(int keyId) override { marked.insert(keyId); }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }

    std::set<int> marked;
    int clears = 0;
    std::vector<std::string> warnings;
    int profileListIndex = 0;
};

SimMacroRecord StoredMacro(int profile, int slot, std::uint8_t key) {
    SimMacroRecord record{};
    record[0] = static_cast<std::uint8_t>(profile);
    record[1] = static_cast<std::uint8_t>(slot);
    record[2] = key;
    record[3] = 1;
    record[4] = 0x04;
    record[5] = 0x01;
    return record;
}

class KeyboardProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(channel.OpenChannel(keyboard.VendorId(), keyboard.ProductId(),
                                      keyboard.InterfaceNumber(), keyboard.Collection()),
                  1);
    }

    // Puts assignments on the keyboard and reads them back, leaving an empty trace.
    void Prepare(const SimKeyboardState& state) {
        keyboard.SetState(state);
        protocol.ReadSlotTables();
        trace.Clear();
    }

    SimKeyboardState& Profile1Macro(SimKeyboardState& state, int slot, std::uint8_t key) {
        state.profiles[0].macros[static_cast<std::size_t>(slot - 1)] = StoredMacro(1, slot, key);
        return state;
    }

    SimulatedKeyboard keyboard{0, 0, -1, -1};
    SimulatedHidBackend backend{keyboard};
    OpenGate gate;
    Trace trace;
    DeviceChannel channel{backend, gate, nullptr, &trace};
    RecordingPacer pacer{&trace};
    FakeView view;
    KeyboardProtocol protocol{channel, pacer, view};
};

TEST_F(KeyboardProtocolTest, ReadSlotTablesTakesBothTablesAndMarksTheirKeys) {
    SimKeyboardState state;
    state.activeProfile = 2;
    state.profiles[1].macros[0] = StoredMacro(2, 1, 0x04);
    state.profiles[1].macros[11] = StoredMacro(2, 12, 0xE0);
    state.profiles[1].remaps[0] = {0x29, 0x05};
    state.profiles[1].remaps[11] = {0x2C, 0x06};
    keyboard.SetState(state);
    view.marked = {0x77};

    protocol.ReadSlotTables();

    EXPECT_EQ(trace.Lines(), ReadBack("02 04 00 00 00 00 00", "00 00 00 00 00 e0 00",
                                      "29 00 00 00 00 00 00", "00 00 00 00 2c 00 00"));
    EXPECT_EQ(protocol.MacroSlots(), (SlotTable{0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0}));
    EXPECT_EQ(protocol.RemapSlots(), (SlotTable{0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C}));
    EXPECT_EQ(view.marked, (std::set<int>{0x04, 0xE0, 0x29, 0x2C}));
    EXPECT_EQ(view.clears, 1);
}

TEST_F(KeyboardProtocolTest, ReadSlotTablesTakesTheDocumentedBytePositions) {
    // Every read answers 1..7: the macro table starts at block byte 1, the remap table at 0,
    // and the bytes after each table are ignored.
    keyboard.ReplyWithGarbage(4, std::array<std::uint8_t, 7>{1, 2, 3, 4, 5, 6, 7});
    protocol.ReadSlotTables();
    EXPECT_EQ(protocol.MacroSlots(), (SlotTable{2, 3, 4, 5, 6, 7, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(protocol.RemapSlots(), (SlotTable{1, 2, 3, 4, 5, 6, 7, 1, 2, 3, 4, 5}));
}

TEST_F(KeyboardProtocolTest, UnpluggedKeyboardReadsAsEmptyAndTransfersGiveUpPerReport) {
    SimKeyboardState state;
    Prepare(Profile1Macro(state, 3, 0x04));
    ASSERT_EQ(view.marked, std::set<int>{0x04});

    keyboard.Unplug();
    protocol.ReadSlotTables();
    const std::string failedRead = "read 07 00 00 00 00 00 00 00 failed";
    EXPECT_EQ(trace.Lines(), (Lines{"wait 50", "send 07 fb 01 00 00 00 00 00 failed", "wait 10",
                                    "wait 10", failedRead, "wait 10", failedRead, "wait 10",
                                    failedRead, "wait 10", failedRead}));
    EXPECT_EQ(protocol.MacroSlots(), SlotTable{});
    EXPECT_EQ(protocol.RemapSlots(), SlotTable{});
    EXPECT_TRUE(view.marked.empty());

    // The first report fails four times and the transfer stops there.
    trace.Clear();
    EXPECT_FALSE(protocol.SendAssignmentRecord(AssignmentRecord{}, true));
    const std::string failed = "send 07 f1 00 00 00 00 00 00 failed";
    EXPECT_EQ(trace.Lines(), (Lines{failed, failed, failed, failed}));
}

TEST_F(KeyboardProtocolTest, SingleReportCommands) {
    struct Case {
        int profileIndex;
        const char* report;
        int activeAfter;
    };
    for (const Case& c :
         {Case{2, "07 fc 03 00 00 00 00 00", 3}, Case{1, "07 fc 02 00 00 00 00 00", 2},
          Case{0, "07 fc 01 00 00 00 00 00", 1}, Case{-1, "07 fc 00 00 00 00 00 00", 1}}) {
        trace.Clear();
        protocol.SetCurrentProfileIndex(c.profileIndex);
        EXPECT_EQ(protocol.SelectProfile(), 1);
        EXPECT_EQ(trace.Lines(), (Lines{std::string("send ") + c.report, "wait 50"}));
        EXPECT_EQ(keyboard.ActiveProfile(), c.activeAfter);
    }

    trace.Clear();
    protocol.SendLighting(8);
    StoreLightingControls(0, LightingControls{0, 0, -1, {}, 0, 3}, protocol.Lighting()[0]);
    protocol.SendLighting(0);
    protocol.SendLighting(-1);
    protocol.SendLighting(kEffectCount);
    EXPECT_EQ(trace.Lines(), (Lines{"wait 50", "send 07 f7 08 00 00 00 03 00", "wait 50",
                                    "send 07 f7 00 01 01 00 03 00"}));
    EXPECT_EQ(keyboard.LightingEffect(), 0);
    EXPECT_EQ(keyboard.LightingRecord(0), (SimLightingRecord{1, 1, 0, 3, 0}));
}

// The reset report; the caller's part runs on the reset profile index and lighting table and
// may send reports of its own; then the long wait and one read-back.
TEST_F(KeyboardProtocolTest, FactoryRestoreResetsThenLetsTheCallerFollowThenReadsBack) {
    SimKeyboardState state;
    Prepare(Profile1Macro(state, 1, 0x04));
    protocol.SetCurrentProfileIndex(2);
    protocol.Lighting()[0][3] = 1;
    protocol.RestoreFactorySettings([this] {
        EXPECT_EQ(protocol.CurrentProfileIndex(), 0);
        EXPECT_EQ(protocol.Lighting(), InitialLightingTable());
        protocol.SendLighting(0);
    });
    EXPECT_EQ(trace.Lines(), Join({{"wait 50", "send 07 f0 aa 00 00 00 00 00", "wait 50",
                                    "send 07 f7 00 01 01 02 03 00", "wait 800"},
                                   EmptyReadBack()}));
    EXPECT_EQ(keyboard.State(), SimKeyboardState{});
}

TEST_F(KeyboardProtocolTest, ChangingProfileSelectsAndReadsBackOnlyTheFirstThree) {
    SimKeyboardState state;
    state.profiles[1].remaps[0] = {0x29, 0x05};
    keyboard.SetState(state);

    protocol.ChangeProfile(1);
    EXPECT_EQ(trace.Lines(), Join({{"send 07 fc 02 00 00 00 00 00", "wait 50"},
                                   ReadBack("02 00 00 00 00 00 00", "00 00 00 00 00 00 00",
                                            "29 00 00 00 00 00 00", "00 00 00 00 00 00 00")}));
    EXPECT_EQ(view.marked, std::set<int>{0x29});

    // A fourth entry sends nothing and keeps the marks of the previous profile.
    trace.Clear();
    protocol.ChangeProfile(3);
    EXPECT_TRUE(trace.Lines().empty());
    EXPECT_EQ(protocol.CurrentProfileIndex(), 3);
    EXPECT_EQ(protocol.RemapSlots()[0], 0x29);
    EXPECT_EQ(view.marked, std::set<int>{0x29});
}

TEST(Pacers, AnnounceEveryWait) {
    Trace trace;
    RecordingPacer recording(&trace);
    recording.Wait(50);
    recording.Wait(8);
    SleepingPacer sleeping(&trace);
    sleeping.Wait(0);
    sleeping.Wait(1);
    EXPECT_EQ(recording.Waits(), (std::vector<int>{50, 8}));
    EXPECT_EQ(recording.TotalMilliseconds(), 58);
    EXPECT_EQ(trace.Lines(), (Lines{"wait 50", "wait 8", "wait 0", "wait 1"}));
}

TEST_F(KeyboardProtocolTest, TransferRetriesEachReportUpToFourTimes) {
    AssignmentRecord record{};
    record[0] = 1;
    record[1] = 2;
    record[2] = 0x3A;
    record[3] = 1;
    record[4] = 0x04;
    record[5] = 0x0A;

    // Three failures: the first report gets through on its fourth attempt.
    keyboard.FailNextExchanges(3);
    protocol.SendAssignmentRecord(record, true);
    const std::string failed = "send 07 f1 01 02 3a 01 04 0a failed";
    EXPECT_EQ(trace.Lines(),
              Join({{failed, failed, failed}, Transfer({"07 f1 01 02 3a 01 04 0a"}, true)}));
    EXPECT_EQ(keyboard.MacroRecord(1, 2), record);

    // Four failures: the first report is lost and nothing further of the record is sent.
    trace.Clear();
    record[1] = 3;
    keyboard.FailNextExchanges(4);
    EXPECT_FALSE(protocol.SendAssignmentRecord(record, false));
    const std::string lost = "send 07 f1 01 03 3a 01 04 0a failed";
    EXPECT_EQ(trace.Lines(), (Lines{lost, lost, lost, lost}));
    EXPECT_EQ(keyboard.MacroRecord(1, 3), SimMacroRecord{});
}

TEST_F(KeyboardProtocolTest, KeyboardLostDuringAnAssignmentStopsItReadsBackAndWarnsOnce) {
    AssignmentRecord macro{};
    macro[3] = 1;
    for (std::size_t i = 4; i < 40; ++i) {
        macro[i] = static_cast<std::uint8_t>(i);
    }
    AssignmentRecord single{};
    single[2] = 0x29;
    // The reports of the macro transfer for key 0x3A in slot 2, from the second on.
    const Lines later = {"07 00 06 07 08 09 0a 0b", "07 00 0c 0d 0e 0f 10 11",
                         "07 00 12 13 14 15 16 17", "07 00 18 19 1a 1b 1c 1d"};
    struct Case {
        const char* name;
        int exchangesBefore;  // how many get through before the cable comes out
        bool clear;
        AssignmentRecord record;
        KeySelection keys;
        Lines sent;  // before the read-back
    };
    const auto failedTimes4 = [](const std::string& report) {
        const std::string line = "send " + report + " failed";
        return Lines{line, line, line, line};
    };
    const Case cases[] = {
        {"macro, first report",
         0,
         false,
         macro,
         {{0x3A, "CapsLock"}},
         failedTimes4("07 f1 01 02 3a 01 04 05")},
        {"macro, fifth report",
         4,
         false,
         macro,
         {{0x3A, "CapsLock"}},
         Join({{"send 07 f1 01 02 3a 01 04 05", "wait 8"},
               {"send " + later[0], "wait 8", "send " + later[1], "wait 8", "send " + later[2],
                "wait 8"},
               failedTimes4(later[3])})},
        {"macro, last report",
         27,
         false,
         macro,
         {{0x3A, "CapsLock"}},
         [&] {
             Lines lines =
                 Transfer({"07 f1 01 02 3a 01 04 05", later[0], later[1], later[2], later[3],
                           "07 00 1e 1f 20 21 22 23", "07 00 24 25 26 27 00 00"},
                          false);
             lines.resize(2 * 27);  // the first 27 reports and their waits
             return Join({lines, failedTimes4("07 00 00 00 00 00 00 00")});
         }()},
        {"single code",
         0,
         false,
         single,
         {{0x3A, "CapsLock"}},
         {"send 07 fa 01 02 3a 01 29 01 failed"}},
        {"second key after the first went out",
         6,
         false,
         single,
         {{0x3A, "CapsLock"}, {0x3B, "F2"}},
         Join({{"send 07 fa 01 02 3a 01 29 01", "wait 20"},
               ReadBack("01 04 00 00 00 00 00", kZeros, "29 3a 00 00 00 00 00", kZeros),
               {"send 07 fa 01 03 3b 01 29 01 failed"}})},
        {"clear a macro",
         2,
         true,
         {},
         {{0x04, "A"}},
         Join({{"send 07 f1 01 01 00 00 00 00", "wait 8", "send 07 00 00 00 00 00 00 00", "wait 8"},
               failedTimes4("07 00 00 00 00 00 00 00")})},
        {"clear a single code",
         0,
         true,
         {},
         {{0x29, "Esc"}},
         {"send 07 fa 01 01 00 01 00 01 failed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keyboard.Plug();
        ASSERT_EQ(channel.OpenChannel(keyboard.VendorId(), keyboard.ProductId(),
                                      keyboard.InterfaceNumber(), keyboard.Collection()),
                  1);
        SimKeyboardState state;
        Profile1Macro(state, 1, 0x04);
        state.profiles[0].remaps[0] = {0x29, 0x05};
        Prepare(state);
        view.warnings.clear();

        keyboard.UnplugAfterExchanges(c.exchangesBefore);
        const bool done = c.clear
                              ? protocol.ClearAssignment(c.keys, view.profileListIndex)
                              : protocol.ApplyAssignment(c.record, c.keys, view.profileListIndex);

        EXPECT_FALSE(done);
        EXPECT_EQ(trace.Lines(), Join({c.sent, LostReadBack()}));
        EXPECT_EQ(view.warnings,
                  std::vector<std::string>{c.clear ? kNotClearedWarning : kNotTakenWarning});
        EXPECT_TRUE(view.marked.empty());
        // What the keyboard had stored stays; a partial record is never stored.
        EXPECT_EQ(keyboard.State().profiles[0].macros[0], StoredMacro(1, 1, 0x04));
        EXPECT_EQ(keyboard.MacroRecord(1, 2), SimMacroRecord{});
        EXPECT_EQ(keyboard.Remap(1, 1), (SimRemapEntry{0x29, 0x05}));
    }
}

TEST_F(KeyboardProtocolTest, MacroReusesTheKeysSlot) {
    SimKeyboardState state;
    Profile1Macro(state, 1, 0x04);
    Prepare(Profile1Macro(state, 5, 0xE0));

    KeyChoice macro;
    macro.kind = KeyKind::Macro;
    macro.repeat = 3;
    macro.steps = {{"4", "A", "0", "100"}, {"4", "A", "1", "20"}};
    const AssignmentRecord record = RecordForChoice(macro, 0xE0);
    EXPECT_TRUE(protocol.ApplyAssignment(record, {{0xE0, "LCtrl"}}, view.profileListIndex));

    EXPECT_EQ(trace.Lines(),
              Join({Transfer({"07 f1 01 05 e0 03 04 0a", "07 00 04 82 00 00 00 00"}, true),
                    ReadBack("01 04 00 00 00 e0 00", "00 00 00 00 00 00 00", "00 00 00 00 00 00 00",
                             "00 00 00 00 00 00 00")}));
    EXPECT_EQ(keyboard.MacroRecord(1, 5)[3], 3);
    EXPECT_EQ(view.marked, (std::set<int>{0x04, 0xE0}));
}

struct KindCase {
    const char* name;
    KeyChoice choice;
    Lines sent;  // the assignment's reports before the read-back
};

KeyChoice Chosen(KeyKind kind, int repeat = 0, std::uint8_t target = 0,
                 std::vector<std::int32_t> codes = {}) {
    KeyChoice choice;
    choice.kind = kind;
    choice.repeat = repeat;
    choice.target = target;
    choice.codes = std::move(codes);
    if (kind == KeyKind::Macro) {
        choice.steps = {{"5", "B", "0", "10"}};
    }
    return choice;
}

TEST_F(KeyboardProtocolTest, EachKindOfAssignmentGoesToItsFirstFreeSlot) {
    const KindCase cases[] = {
        {"macro", Chosen(KeyKind::Macro, 1), Transfer({"07 f1 01 03 3a 01 05 01"}, true)},
        {"repeat 0",  // the key produces itself
         Chosen(KeyKind::Macro, 0),
         {"send 07 fa 01 02 3a 01 3a 01", "wait 20"}},
        {"single key", Chosen(KeyKind::Key, 0, 0x29), {"send 07 fa 01 02 3a 01 29 01", "wait 20"}},
        {"nothing captured", Chosen(KeyKind::Key), {"send 07 fa 01 02 3a 01 00 01", "wait 20"}},
        {"media key",
         Chosen(KeyKind::Media, 0, 0, {0xE9}),
         {"send 07 fa 01 02 3a 01 e9 01", "wait 20"}},
        {"function key", Chosen(KeyKind::Function, 0, 0, {224, 6}),
         Transfer({"07 f1 01 03 3a 01 e0 45", "07 00 06 45 06 81 e0 81"}, true)},
    };
    for (const KindCase& c : cases) {
        SimKeyboardState state;
        Profile1Macro(state, 1, 0x04);
        Profile1Macro(state, 2, 0x05);
        state.profiles[0].remaps[0] = {0x06, 0x07};
        Prepare(state);

        const AssignmentRecord record = RecordForChoice(c.choice, 0x3A);
        EXPECT_TRUE(protocol.ApplyAssignment(record, {{0x3A, "CapsLock"}}, view.profileListIndex))
            << c.name;
        ASSERT_EQ(trace.Lines().size(), c.sent.size() + 11) << c.name;  // then one read-back
        EXPECT_EQ(Lines(trace.Lines().begin(), trace.Lines().begin() + std::ssize(c.sent)), c.sent)
            << c.name;
        EXPECT_EQ(trace.Lines()[c.sent.size() + 1], "send 07 fb 01 00 00 00 00 00") << c.name;
        EXPECT_EQ(view.marked.count(0x3A), 1u) << c.name;
        EXPECT_TRUE(view.warnings.empty()) << c.name;
    }
}

TEST_F(KeyboardProtocolTest, SingleCodeUsesTheProfileListAndMacroTheCurrentProfile) {
    SimKeyboardState state;
    state.activeProfile = 2;
    Prepare(state);
    protocol.SetCurrentProfileIndex(1);
    view.profileListIndex = 1;

    AssignmentRecord single{};
    single[2] = 0x29;
    AssignmentRecord macro{};
    macro[3] = 1;
    macro[4] = 0x04;
    macro[5] = 0x01;
    EXPECT_TRUE(protocol.ApplyAssignment(single, {{0x3A, "CapsLock"}}, view.profileListIndex));
    EXPECT_EQ(trace.Lines()[0], "send 07 fa 02 01 3a 01 29 01");
    EXPECT_TRUE(protocol.ApplyAssignment(macro, {{0x3B, "F2"}}, view.profileListIndex));
    EXPECT_EQ(keyboard.Remap(2, 1), (SimRemapEntry{0x3A, 0x29}));
    EXPECT_EQ(keyboard.MacroRecord(2, 1)[2], 0x3B);

    // No profile chosen in the list: single codes send nothing and skip the read-back; macros
    // still go to the current profile.
    view.profileListIndex = -1;
    trace.Clear();
    EXPECT_TRUE(protocol.ApplyAssignment(single, {{0x3C, "F3"}}, view.profileListIndex));
    EXPECT_TRUE(trace.Lines().empty());
    EXPECT_TRUE(protocol.ApplyAssignment(macro, {{0x3C, "F3"}}, view.profileListIndex));
    EXPECT_EQ(trace.Lines()[0], "send 07 f1 02 02 3c 01 04 01");
}

TEST_F(KeyboardProtocolTest, FullTablesRefuseWithAWarningAndSendNothing) {
    AssignmentRecord single{};
    single[2] = 0x29;
    AssignmentRecord macro{};
    macro[3] = 1;

    // Twelve other keys hold macros: even a single code is refused, though remap slots are free.
    SimKeyboardState macrosFull;
    for (int slot = 1; slot <= 12; ++slot) {
        Profile1Macro(macrosFull, slot, static_cast<std::uint8_t>(0x10 + slot));
    }
    Prepare(macrosFull);
    EXPECT_FALSE(protocol.ApplyAssignment(single, {{0x3A, "CapsLock"}, {0x3B, "F2"}},
                                          view.profileListIndex));
    EXPECT_FALSE(protocol.ApplyAssignment(macro, {{0x3A, "CapsLock"}}, view.profileListIndex));
    EXPECT_TRUE(trace.Lines().empty());
    EXPECT_EQ(view.warnings, (std::vector<std::string>{kNoSpaceWarning, kNoSpaceWarning}));

    // A key that already holds one of the twelve macros can still be reassigned.
    EXPECT_TRUE(protocol.ApplyAssignment(macro, {{0x15, "R"}}, view.profileListIndex));
    EXPECT_EQ(trace.Lines()[0], "send 07 f1 01 05 15 01 00 00");

    // Twelve other keys hold single codes: a new single code is refused, a macro is not.
    SimKeyboardState remapsFull;
    for (std::size_t slot = 0; slot < 12; ++slot) {
        remapsFull.profiles[0].remaps[slot] = {static_cast<std::uint8_t>(0x10 + slot), 0x04};
    }
    Prepare(remapsFull);
    view.warnings.clear();
    EXPECT_FALSE(protocol.ApplyAssignment(single, {{0x3A, "CapsLock"}}, view.profileListIndex));
    EXPECT_TRUE(trace.Lines().empty());
    EXPECT_EQ(view.warnings.size(), 1u);
    EXPECT_TRUE(protocol.ApplyAssignment(macro, {{0x3A, "CapsLock"}}, view.profileListIndex));
    EXPECT_EQ(trace.Lines()[0], "send 07 f1 01 01 3a 01 00 00");
}

TEST_F(KeyboardProtocolTest, ClearFreesWhatEachKeyHoldsThenReadsBackOnce) {
    SimKeyboardState state;
    Profile1Macro(state, 2, 0x04);
    state.profiles[0].remaps[3] = {0x29, 0x05};
    Prepare(state);
    protocol.SetCurrentProfileIndex(0);

    protocol.ClearAssignment({{0x04, "A"}, {0x29, "Esc"}, {0x2C, "Space"}}, view.profileListIndex);

    EXPECT_EQ(trace.Lines(), Join({Transfer({"07 f1 01 02 00 00 00 00"}, false),
                                   {"send 07 fa 01 04 00 01 00 01", "wait 10"},
                                   EmptyReadBack()}));
    EXPECT_EQ(keyboard.State().profiles[0], SimProfileState{});
    EXPECT_TRUE(view.marked.empty());

    // A key holding nothing, or a remap with no profile chosen in the list: only the read-back.
    state.profiles[0].macros = {};
    Prepare(state);
    view.profileListIndex = -1;
    protocol.ClearAssignment({{0x29, "Esc"}, {0x2C, "Space"}}, view.profileListIndex);
    EXPECT_EQ(trace.Lines(), ReadBack("01 00 00 00 00 00 00", "00 00 00 00 00 00 00",
                                      "00 00 00 29 00 00 00", "00 00 00 00 00 00 00"));
}

}  // namespace
}  // namespace kb
