#include "macro/macro_recorder.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "macro/macro_dialog_state.h"
#include "macro/macro_library.h"

namespace kb {
namespace {

constexpr std::uint32_t kVkA = 0x41;
constexpr std::uint32_t kVkB = 0x42;
constexpr std::uint32_t kVkEnter = 0x0D;
constexpr std::uint32_t kVkOutsideTable = 0xFF;  // no row of the key-code table

class TestClock : public RecordingClock {
public:
    std::int32_t NowMs() const override { return now; }
    std::int32_t now = 0;
};

// A library with one group, shown as the dialog would show it.
class FakeDialog : public MacroRecordingTarget {
public:
    explicit FakeDialog(int existingSteps = 0) {
        library.Root().InsertChild(-1, MakeGroupNode("g"));
        for (int i = 0; i < existingSteps; ++i) {
            Group().InsertChild(-1, MakeStepNode("4", "A", "0", "7"));
        }
    }
    MacroNode& Group() { return *library.Root().ChildAt(0); }

    MacroNode* ShownGroup() override { return &Group(); }
    void AppendStep(std::uint8_t code, int state, std::string_view name, int delay) override {
        Group().InsertChild(-1, MakeStepNode(std::to_string(code), name, std::to_string(state),
                                             std::to_string(delay)));
    }
    void ShowStepLimitMessage() override {
        ++limitMessages;
        if (whileMessageOpen) {
            whileMessageOpen();
        }
    }
    void RefreshSteps() override { ++refreshes; }

    // "code name state delay" of each step.
    std::vector<std::string> Steps() {
        std::vector<std::string> steps;
        for (int i = 0; i < Group().ChildCount(); ++i) {
            const MacroNode& s = *Group().ChildAt(i);
            steps.push_back(std::string(s.GetAttribute("code")) + " " +
                            std::string(s.GetAttribute("name")) + " " +
                            std::string(s.GetAttribute("state")) + " " +
                            std::string(s.GetAttribute("delay")));
        }
        return steps;
    }

    MacroLibrary library;
    int limitMessages = 0;
    int refreshes = 0;
    std::function<void()> whileMessageOpen;
};

class MacroRecorderTest : public ::testing::Test {
protected:
    bool Key(unsigned message, std::uint32_t vk, std::int32_t at) {
        clock.now = at;
        return recorder.OnMacroPageKeystroke(message, vk, true, state, dialog);
    }

    TestClock clock;
    MacroDialogState state{""};
    MacroRecorder recorder{clock};
    FakeDialog dialog;
};

TEST_F(MacroRecorderTest, RealDelaysAreTheTimeUntilTheNextKeystroke) {
    state.dlymode = kDelayReal;
    EXPECT_TRUE(Key(kMsgKeyDown, kVkA, 1000));
    EXPECT_TRUE(Key(kMsgKeyUp, kVkA, 1120));
    EXPECT_TRUE(Key(kMsgSysKeyDown, kVkB, 1420));
    EXPECT_TRUE(Key(kMsgSysKeyUp, kVkB, 1425));
    EXPECT_EQ(dialog.Steps(),
              (std::vector<std::string>{"4 A 0 120", "4 A 1 300", "5 B 0 5", "5 B 1 0"}));
    EXPECT_EQ(dialog.refreshes, 4);
    EXPECT_EQ(recorder.ReferenceTime(), 1425);
}

TEST_F(MacroRecorderTest, DelayModesOtherThanRealIgnoreTheClock) {
    struct Case {
        int mode;
        const char* delay;
    };
    for (const Case& c :
         {Case{kDelayFixed, "25"}, Case{kDelayNone, "0"}, Case{7, "0"}, Case{-1, "0"}}) {
        SCOPED_TRACE(c.mode);
        FakeDialog fresh;
        state.dlymode = c.mode;
        state.delay = 25;
        recorder.Reset();
        clock.now = 100;
        recorder.OnMacroPageKeystroke(kMsgKeyDown, kVkA, true, state, fresh);
        clock.now = 900;
        recorder.OnMacroPageKeystroke(kMsgKeyUp, kVkA, true, state, fresh);
        EXPECT_EQ(fresh.Steps(),
                  (std::vector<std::string>{std::string("4 A 0 ") + c.delay, "4 A 1 0"}));
    }
}

TEST_F(MacroRecorderTest, FirstKeystrokeIntoAFilledGroupCountsFromBeforeTheStart) {
    FakeDialog filled(2);
    state.dlymode = kDelayReal;
    clock.now = 500;
    recorder.OnMacroPageKeystroke(kMsgKeyDown, kVkB, true, state, filled);
    // The reference time starts at -1, so the time since the start plus 1 ms.
    EXPECT_EQ(filled.Steps(), (std::vector<std::string>{"4 A 0 7", "4 A 0 501", "5 B 0 0"}));
}

TEST_F(MacroRecorderTest, KeysOutsideTheTableAddNoStepButRestartTheDelay) {
    state.dlymode = kDelayReal;
    Key(kMsgKeyDown, kVkA, 0);
    EXPECT_TRUE(Key(kMsgKeyDown, kVkOutsideTable, 40));
    Key(kMsgKeyUp, kVkA, 100);
    EXPECT_EQ(dialog.Steps(), (std::vector<std::string>{"4 A 0 60", "4 A 1 0"}));
}

TEST_F(MacroRecorderTest, PadEnterRecordsEnterAndAutoRepeatRecordsEachDown) {
    Key(kMsgKeyDown, kVkEnter, 0);
    Key(kMsgKeyDown, kVkA, 0);
    Key(kMsgKeyDown, kVkA, 0);
    Key(kMsgKeyDown, kVkA, 0);
    EXPECT_EQ(dialog.Steps(),
              (std::vector<std::string>{"40 Enter 0 0", "4 A 0 0", "4 A 0 0", "4 A 0 0"}));
}

TEST_F(MacroRecorderTest, ReleaseIntoAnEmptyGroupIsSwallowedAndIgnored) {
    Key(kMsgKeyDown, kVkOutsideTable, 70);  // sets the reference time, adds nothing
    EXPECT_TRUE(Key(kMsgKeyUp, kVkA, 90));
    EXPECT_TRUE(Key(kMsgSysKeyUp, kVkA, 95));
    EXPECT_TRUE(dialog.Steps().empty());
    EXPECT_EQ(recorder.ReferenceTime(), 70);
}

TEST_F(MacroRecorderTest, NotRecordingPassesEverythingAndOtherMessagesAreSwallowed) {
    clock.now = 5;
    EXPECT_FALSE(recorder.OnMacroPageKeystroke(kMsgKeyDown, kVkA, false, state, dialog));
    EXPECT_TRUE(Key(0x102, kVkA, 10));
    EXPECT_TRUE(dialog.Steps().empty());
    EXPECT_EQ(dialog.refreshes, 0);
    EXPECT_EQ(recorder.ReferenceTime(), -1);
}

TEST(MacroRecorderLimit, EightiethStepIsAddedThenOneBoxPerBurst) {
    TestClock clock;
    MacroDialogState state("");
    MacroRecorder recorder(clock);
    FakeDialog dialog(79);
    EXPECT_TRUE(recorder.OnMacroPageKeystroke(kMsgKeyDown, kVkB, true, state, dialog));
    EXPECT_EQ(dialog.Group().ChildCount(), 80);

    // Keystrokes that arrive while the box is open pass through without a second box.
    std::vector<bool> consumedWhileOpen;
    dialog.whileMessageOpen = [&] {
        EXPECT_TRUE(recorder.LimitMessageOpen());
        consumedWhileOpen.push_back(
            recorder.OnMacroPageKeystroke(kMsgKeyUp, kVkB, true, state, dialog));
    };
    EXPECT_FALSE(recorder.OnMacroPageKeystroke(kMsgKeyUp, kVkB, true, state, dialog));
    EXPECT_EQ(dialog.limitMessages, 1);
    EXPECT_EQ(consumedWhileOpen, std::vector<bool>{false});
    EXPECT_FALSE(recorder.LimitMessageOpen());

    // The next burst gets its own box.
    dialog.whileMessageOpen = nullptr;
    EXPECT_FALSE(recorder.OnMacroPageKeystroke(kMsgKeyDown, kVkA, true, state, dialog));
    EXPECT_EQ(dialog.limitMessages, 2);
    EXPECT_EQ(dialog.Group().ChildCount(), 80);
}

// One box per burst: what happens while it is open and after it closed within the same burst
// (the Enter that closed it, releases, a held key repeating) opens no other box.
TEST(MacroRecorderLimit, BurstsGetOneBoxEach) {
    constexpr std::uint32_t kVkS = 0x53;
    constexpr std::uint32_t kVkD = 0x44;
    struct Stroke {
        unsigned message;
        std::uint32_t vk;
        std::int32_t at;
        bool whileBoxOpen = false;  // delivered from inside the box's loop
    };
    struct Case {
        const char* what;
        int existingSteps;
        std::vector<Stroke> strokes;
        int expectedBoxes;
    };
    const Case cases[] = {
        {"a release fills past the limit; Enter closes the box; its release follows",
         79,
         {{kMsgKeyDown, kVkA, 0},
          {kMsgKeyUp, kVkA, 120},
          {kMsgKeyDown, kVkEnter, 900, true},
          {kMsgKeyUp, kVkEnter, 990}},
         1},
        {"keys pressed together in one millisecond, released together",
         78,
         {{kMsgKeyDown, kVkA, 5},
          {kMsgKeyDown, kVkS, 5},
          {kMsgKeyDown, kVkD, 5},
          {kMsgKeyUp, kVkA, 5},
          {kMsgKeyUp, kVkS, 5},
          {kMsgKeyUp, kVkD, 5}},
         1},
        {"a held key repeats its press, Enter closes the box meanwhile",
         80,
         {{kMsgKeyDown, kVkA, 0},
          {kMsgKeyDown, kVkA, 40, true},
          {kMsgKeyDown, kVkEnter, 70, true},
          {kMsgKeyDown, kVkA, 80},
          {kMsgKeyUp, kVkEnter, 100},
          {kMsgKeyDown, kVkA, 120},
          {kMsgKeyUp, kVkA, 160}},
         1},
        {"the next press after every key was released is a new burst",
         80,
         {{kMsgKeyDown, kVkA, 0}, {kMsgKeyUp, kVkA, 50}, {kMsgKeyDown, kVkB, 300}},
         2},
        {"a long pause begins a new burst even when a release went missing",
         80,
         {{kMsgKeyDown, kVkA, 0}, {kMsgKeyDown, kVkB, 1500}},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestClock clock;
        MacroDialogState state("");
        MacroRecorder recorder(clock);
        FakeDialog dialog(c.existingSteps);
        std::size_t next = 0;
        auto deliver = [&](const Stroke& stroke) {
            clock.now = stroke.at;
            recorder.OnMacroPageKeystroke(stroke.message, stroke.vk, true, state, dialog);
        };
        // The box's loop delivers the strokes marked for it, then the box closes.
        dialog.whileMessageOpen = [&] {
            while (next < c.strokes.size() && c.strokes[next].whileBoxOpen) {
                deliver(c.strokes[next++]);
            }
        };
        while (next < c.strokes.size()) {
            deliver(c.strokes[next++]);
        }
        EXPECT_EQ(dialog.limitMessages, c.expectedBoxes);
        EXPECT_EQ(dialog.Group().ChildCount(), std::max(c.existingSteps, kMaxRecordedSteps));
    }
}

TEST(MacroRecorderLimit, OverfullGroupFromAFileTakesNothing) {
    TestClock clock;
    MacroDialogState state("");
    MacroRecorder recorder(clock);
    FakeDialog dialog(85);
    EXPECT_FALSE(recorder.OnMacroPageKeystroke(kMsgKeyDown, kVkA, true, state, dialog));
    EXPECT_EQ(dialog.limitMessages, 1);
    EXPECT_EQ(dialog.Group().ChildCount(), 85);
    EXPECT_EQ(dialog.Group().ChildAt(84)->GetAttribute("delay"), "7");
}

TEST(SingleKeyCapture, KeyDownsCaptureCodesFromTheTable) {
    MacroDialogState state("");
    state.sgcode = 9;

    const SingleKeyCapture up = CaptureSingleKey(kMsgKeyUp, kVkA, state);
    EXPECT_FALSE(up.keyDown);
    EXPECT_EQ(state.sgcode, 9);

    const SingleKeyCapture outside = CaptureSingleKey(kMsgKeyDown, kVkOutsideTable, state);
    EXPECT_TRUE(outside.keyDown);
    EXPECT_EQ(outside.code, 0);
    EXPECT_FALSE(outside.name.has_value());
    EXPECT_EQ(state.sgcode, 9);

    const SingleKeyCapture enter = CaptureSingleKey(kMsgSysKeyDown, kVkEnter, state);
    EXPECT_EQ(enter.code, 0x28);
    EXPECT_EQ(enter.name, "Enter");
    EXPECT_EQ(state.sgcode, 0x28);
}

TEST(ProcessClock, CountsTimeSpentWaitingToo) {
    // A user pausing between keystrokes uses no processor time; the delay must still count it.
    ProcessClock clock;
    const std::int32_t before = clock.NowMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(clock.NowMs() - before, 25);
}

}  // namespace
}  // namespace kb
