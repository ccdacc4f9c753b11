#pragma once

#include <array>
#include <cstdint>

#include "device/hid_backend.h"

namespace kb {

// Every exchange is one 8-byte feature report: id, command, six parameters.
inline constexpr std::uint8_t kReportId = 0x07;

inline constexpr std::uint8_t kCommandSelectProfile = 0xFC;
inline constexpr std::uint8_t kCommandQuerySlots = 0xFB;
inline constexpr std::uint8_t kCommandSetLighting = 0xF7;
inline constexpr std::uint8_t kCommandFactoryReset = 0xF0;
inline constexpr std::uint8_t kCommandSetRemap = 0xFA;
inline constexpr std::uint8_t kCommandWriteMacro = 0xF1;
inline constexpr std::uint8_t kCommandContinuation = 0x00;

inline constexpr std::uint8_t kQuerySlotsParameter = 0x01;
inline constexpr std::uint8_t kFactoryResetParameter = 0xAA;

// Fixed pacing the keyboard relies on, in milliseconds.
inline constexpr int kWaitBeforeCommandMs = 50;  // before query, lighting, reset; after select
inline constexpr int kWaitBeforeReadMs = 10;     // after the query and before each read
inline constexpr int kWaitMacroReportMs = 8;     // after each report of a macro transfer
inline constexpr int kWaitAfterAssignMs = 20;    // after a remap report or a macro transfer
inline constexpr int kWaitAfterClearMs = 10;     // after a remap-clearing report
inline constexpr int kWaitFactoryResetMs = 800;  // between a factory reset and its read-back

inline constexpr int kSlotCount = 12;
inline constexpr int kProfileCount = 3;

// Profile index as chosen in the profile list (0-based, -1 for none) to its wire number.
constexpr std::uint8_t ProfileNumber(int profileIndex) {
    return static_cast<std::uint8_t>(profileIndex + 1);
}

constexpr Report MakeReport(std::uint8_t command, std::uint8_t p0 = 0, std::uint8_t p1 = 0,
                            std::uint8_t p2 = 0, std::uint8_t p3 = 0, std::uint8_t p4 = 0,
                            std::uint8_t p5 = 0) {
    return Report{kReportId, command, p0, p1, p2, p3, p4, p5};
}

constexpr Report SelectProfileReport(int profileIndex) {
    return MakeReport(kCommandSelectProfile, ProfileNumber(profileIndex));
}

constexpr Report QuerySlotsReport() {
    return MakeReport(kCommandQuerySlots, kQuerySlotsParameter);
}

// The buffer handed to a read: the reply replaces bytes 1 to 7.
constexpr Report ReadBuffer() {
    return MakeReport(kCommandContinuation);
}

constexpr Report LightingReport(int effect, const std::array<std::uint8_t, 5>& record) {
    return MakeReport(kCommandSetLighting, static_cast<std::uint8_t>(effect), record[0], record[1],
                      record[2], record[3], record[4]);
}

constexpr Report FactoryResetReport() {
    return MakeReport(kCommandFactoryReset, kFactoryResetParameter);
}

// Single-code assignment of a key; key and target 0 clear the slot.
constexpr Report RemapReport(int profileIndex, int slotIndex, std::uint8_t key,
                             std::uint8_t target) {
    return MakeReport(kCommandSetRemap, ProfileNumber(profileIndex),
                      static_cast<std::uint8_t>(slotIndex + 1), key, 1, target, 1);
}

}  // namespace kb
