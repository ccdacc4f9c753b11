#include "protocol/assignment_record.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kb {
namespace {

using Step = std::pair<std::uint8_t, std::uint8_t>;

std::vector<Step> StepsOf(const AssignmentRecord& record) {
    std::vector<Step> steps;
    for (std::size_t offset = kRecordStepOffset; offset + 1 < record.size(); offset += 2) {
        if (record[offset] == 0 && record[offset + 1] == 0) {
            break;
        }
        steps.emplace_back(record[offset], record[offset + 1]);
    }
    return steps;
}

RememberedStep Down(int code, int delay) {
    return {std::to_string(code), "", "0", std::to_string(delay)};
}

RememberedStep Up(int code, int delay) {
    return {std::to_string(code), "", "1", std::to_string(delay)};
}

MacroStepText Text(const RememberedStep& step) {
    return {step.code, step.state, step.delay};
}

KeyChoice Macro(int repeat, std::vector<RememberedStep> steps) {
    KeyChoice choice;
    choice.kind = KeyKind::Macro;
    choice.repeat = repeat;
    choice.steps = std::move(steps);
    return choice;
}

KeyChoice Entry(KeyKind kind, std::vector<std::int32_t> codes) {
    KeyChoice choice;
    choice.kind = kind;
    choice.codes = std::move(codes);
    return choice;
}

// The record for key 0x3A.
AssignmentRecord Filled(const KeyChoice& choice) {
    return RecordForChoice(choice, 0x3A);
}

TEST(StepEncoding, ChoosesTheFinestUnitThatHoldsTheDelay) {
    const std::pair<std::uint32_t, std::uint8_t> cases[] = {
        {0, 0x01},    {5, 0x01},     {310, 0x1F},   {311, 0x26},        {500, 0x2A},
        {1550, 0x3F}, {1551, 0x4F},  {2000, 0x54},  {3100, 0x5F},       {3101, 0x63},
        {5000, 0x65}, {31000, 0x7F}, {40000, 0x7F}, {0xFFFFFFFF, 0x7F},
    };
    for (const auto& [delay, expected] : cases) {
        EXPECT_EQ(EncodeStepTiming(false, delay), expected) << delay << " ms";
        EXPECT_EQ(EncodeStepTiming(true, delay), expected | 0x80) << delay << " ms, key up";
    }
}

TEST(StepEncoding, ReadsTheTextsAsDecimalPrefixes) {
    using Bytes = std::array<std::uint8_t, 2>;
    EXPECT_EQ(EncodeMacroStep(Text(Down(4, 100))), (Bytes{0x04, 0x0A}));
    EXPECT_EQ(EncodeMacroStep(Text(Up(4, 20))), (Bytes{0x04, 0x82}));
    EXPECT_EQ(EncodeMacroStep({"260", "2", "12ab"}), (Bytes{0x04, 0x81}));  // low byte, any state
    EXPECT_EQ(EncodeMacroStep({"x", "up", ""}), (Bytes{0x00, 0x01}));       // not numbers: 0
    EXPECT_EQ(EncodeMacroStep({" 44", "0", "-1"}), (Bytes{0x2C, 0x7F}));    // negative: 31 s
}

TEST(RecordForChoice, MacroPageWritesKeyRepeatAndSteps) {
    const AssignmentRecord record = Filled(Macro(3, {Down(4, 100), Up(4, 20)}));
    EXPECT_EQ(record[0], 0);
    EXPECT_EQ(record[1], 0);
    EXPECT_EQ(record[2], 0x3A);
    EXPECT_EQ(record[3], 3);
    EXPECT_EQ(StepsOf(record), (std::vector<Step>{{0x04, 0x0A}, {0x04, 0x82}}));
}

TEST(RecordForChoice, MacroEdgeCases) {
    // A repeat count of 256 keeps only its low byte: the key becomes a single-code assignment.
    EXPECT_EQ(Filled(Macro(256, {Down(4, 10)}))[3], 0);

    // No group chosen: code and repeat count only.
    AssignmentRecord expected{};
    expected[2] = 0x3A;
    expected[3] = 2;
    EXPECT_EQ(Filled(Macro(2, {})), expected);

    // Eighty steps fill offsets 4 to 163 and leave the last four bytes 0.
    std::vector<RememberedStep> eighty;
    for (int i = 0; i < 40; ++i) {
        eighty.push_back(Down(4 + i, 10));
        eighty.push_back(Up(4 + i, 10));
    }
    const AssignmentRecord full = Filled(Macro(1, eighty));
    EXPECT_EQ(StepsOf(full).size(), 80u);
    EXPECT_EQ(full[162], 4 + 39);
    EXPECT_EQ(full[163], 0x81);
    EXPECT_EQ(full[164] | full[165] | full[166] | full[167], 0);

    // Nothing known of the key (assigned elsewhere): nothing to send.
    EXPECT_EQ(Filled(KeyChoice{}), AssignmentRecord{});
}

// Replays the steps and returns the keys still down at the end.
std::set<std::uint8_t> HeldAfter(const std::vector<Step>& steps) {
    std::set<std::uint8_t> held;
    for (const auto& [code, timing] : steps) {
        if ((timing & 0x80) != 0) {
            held.erase(code);
        } else {
            held.insert(code);
        }
    }
    return held;
}

TEST(RecordForChoice, OverlongGroupIsCutWithEveryKeyReleased) {
    // Shift held across a long run of taps: keep 81 steps (shift down, 40 taps), release shift.
    std::vector<RememberedStep> shifted{Down(0xE1, 10)};
    for (int i = 0; i < 60; ++i) {
        shifted.push_back(Down(4, 30));
        shifted.push_back(Up(4, 30));
    }
    shifted.push_back(Up(0xE1, 10));
    std::vector<Step> steps = StepsOf(Filled(Macro(1, shifted)));
    ASSERT_EQ(steps.size(), kMaxRecordSteps);
    EXPECT_EQ(steps[0], (Step{0xE1, 0x01}));
    EXPECT_EQ(steps[79], (Step{0x04, 0x03}));
    EXPECT_EQ(steps[80], (Step{0x04, 0x83}));
    EXPECT_EQ(steps[81], (Step{0xE1, 0x81}));
    EXPECT_TRUE(HeldAfter(steps).empty());

    // Fifty keys down, then fifty up: 41 go down and come up again, the last pressed first.
    std::vector<RememberedStep> rolled;
    for (int i = 0; i < 50; ++i) {
        rolled.push_back(Down(4 + i, 10));
    }
    for (int i = 0; i < 50; ++i) {
        rolled.push_back(Up(4 + i, 10));
    }
    steps = StepsOf(Filled(Macro(1, rolled)));
    ASSERT_EQ(steps.size(), kMaxRecordSteps);
    EXPECT_EQ(steps[40], (Step{4 + 40, 0x01}));
    EXPECT_EQ(steps[41], (Step{4 + 40, 0x81}));
    EXPECT_EQ(steps[81], (Step{4, 0x81}));
    EXPECT_TRUE(HeldAfter(steps).empty());

    // Taps only: the cut falls between taps and nothing needs adding.
    std::vector<RememberedStep> taps;
    for (int i = 0; i < 50; ++i) {
        taps.push_back(Down(5, 10));
        taps.push_back(Up(5, 10));
    }
    steps = StepsOf(Filled(Macro(1, taps)));
    EXPECT_EQ(steps.size(), kMaxRecordSteps);
    EXPECT_EQ(steps.back(), (Step{5, 0x81}));
}

TEST(RecordForChoice, KeyAndMediaKeyAreOneCode) {
    KeyChoice key;
    key.kind = KeyKind::Key;
    key.target = 0x29;
    AssignmentRecord expected{};
    expected[2] = 0x29;
    EXPECT_EQ(Filled(key), expected);

    key.target = 0;  // nothing captured: code 0
    EXPECT_EQ(Filled(key), AssignmentRecord{});

    expected[2] = 0xE2;  // a media entry's first code, low byte
    EXPECT_EQ(Filled(Entry(KeyKind::Media, {0x1E2, 0x33})), expected);
    // An entry without codes counts as 0.
    EXPECT_EQ(Filled(Entry(KeyKind::Media, {})), AssignmentRecord{});
}

TEST(RecordForChoice, FunctionKeyWritesTheChord) {
    struct Case {
        std::vector<std::int32_t> codes;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {{224, 6}, {{0xE0, 0x45}, {0x06, 0x45}, {0x06, 0x81}, {0xE0, 0x81}}},
        {{1, 2, 3}, {{1, 0x45}, {2, 0x45}, {3, 0x45}, {2, 0x81}, {3, 0x81}, {1, 0x81}}},
        {{0x107}, {{0x07, 0x45}, {0x07, 0x81}}},
    };
    for (const Case& c : cases) {
        const AssignmentRecord record = Filled(Entry(KeyKind::Function, c.codes));
        EXPECT_EQ((std::vector<std::uint8_t>(record.begin(), record.begin() + 4)),
                  (std::vector<std::uint8_t>{0, 0, 0x3A, 1}));
        EXPECT_EQ(StepsOf(record), c.steps);
    }
}

TEST(RecordForChoice, FunctionKeyEdgeCases) {
    // More than 41 codes: the first 41 make the chord, which fills the record.
    std::vector<std::int32_t> codes;
    for (int code = 1; code <= 45; ++code) {
        codes.push_back(code);
    }
    const std::vector<Step> steps = StepsOf(Filled(Entry(KeyKind::Function, codes)));
    ASSERT_EQ(steps.size(), kMaxRecordSteps);
    EXPECT_EQ(steps[40], (Step{41, 0x45}));
    EXPECT_EQ(steps[41], (Step{2, 0x81}));
    EXPECT_EQ(steps[80], (Step{41, 0x81}));
    EXPECT_EQ(steps[81], (Step{1, 0x81}));

    // An entry without codes writes only the key's code.
    AssignmentRecord expected{};
    expected[2] = 0x3A;
    EXPECT_EQ(Filled(Entry(KeyKind::Function, {})), expected);
}

}  // namespace
}  // namespace kb
