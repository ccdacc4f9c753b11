#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/key_choice.h"

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

// A macro step as the macro library holds it: decimal texts.
struct MacroStepText {
    std::string code;
    std::string state;
    std::string delay;
};

// Byte 1 of a step: key state and the delay in the finest unit that holds it, limited to 31 s.
std::uint8_t EncodeStepTiming(bool keyUp, std::uint32_t delayMs);

// One macro step as its two record bytes; texts that are not numbers read as 0.
std::array<std::uint8_t, 2> EncodeMacroStep(const MacroStepText& step);

// The record that gives `key` (the first key of a selection) the choice: a macro's repeat count
// as its low byte (0: the key's own code, a single code) and its steps, cut to fit; a function
// key's chord; the single code of a key or media key (a media entry's first code). A function
// entry without codes is the key's own code; a choice of nothing known (elsewhere) is all zero.
AssignmentRecord RecordForChoice(const KeyChoice& choice, std::uint8_t key);

}  // namespace kb
