#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kb {

// Byte 0 profile number, 1 slot number, 2 code, 3 repeat count (0: single-code assignment),
// then up to 82 two-byte steps, zero after the last.
using AssignmentRecord = std::array<std::uint8_t, 168>;

inline constexpr std::size_t kRecordStepOffset = 4;
inline constexpr std::size_t kMaxRecordSteps = 82;
inline constexpr std::size_t kMaxChordCodes = kMaxRecordSteps / 2;

// Step byte 1: bit 7 key up, bits 5-6 time unit, bits 0-4 count (1 to 31).
inline constexpr std::uint8_t kStepKeyUp = 0x80;
inline constexpr std::uint8_t kChordDownTiming = 0x45;  // 5 x 100 ms
inline constexpr std::uint8_t kChordUpTiming = 0x81;    // key up, 1 x 10 ms
inline constexpr std::uint32_t kMaxStepDelayMs = 31000;

// Pages of the key-assignment dialog, in tab order.
enum class AssignmentPage { Macro, SingleKey, MediaKey, FunctionKey };

// A macro step as the macro library holds it: decimal texts.
struct MacroStepText {
    std::string code;
    std::string state;
    std::string delay;
};

// What the dialog gathered when OK was pressed.
struct AssignmentInputs {
    std::optional<std::uint8_t> firstKey;  // first key of the key selection; none when empty
    std::int32_t repeatCount = 0;
    std::optional<std::vector<MacroStepText>> macroSteps;    // chosen group; none when none chosen
    std::int32_t singleKeyCode = 0;                          // captured key, 0 when none
    std::optional<std::vector<std::int32_t>> mediaKeyCodes;  // chosen media entry
    std::optional<std::vector<std::int32_t>> functionKeyCodes;  // chosen function entry
};

// Byte 1 of a step: key state and the delay in the finest unit that holds it, limited to 31 s.
std::uint8_t EncodeStepTiming(bool keyUp, std::uint32_t delayMs);

// One macro step as its two record bytes; texts that are not numbers read as 0.
std::array<std::uint8_t, 2> EncodeMacroStep(const MacroStepText& step);

// Writes the record for the page showing when OK was pressed. An empty key selection leaves
// the record untouched.
void FillAssignmentRecord(AssignmentPage page, const AssignmentInputs& inputs,
                          AssignmentRecord& record);

}  // namespace kb
