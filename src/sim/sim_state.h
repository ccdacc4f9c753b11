#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kb {

inline constexpr int kSimProfileCount = 3;
inline constexpr int kSimSlotCount = 12;
inline constexpr int kSimEffectCount = 10;
inline constexpr std::size_t kSimMacroRecordSize = 168;

// A stored macro exactly as it arrived: profile, slot, key, repeat count, steps. All zero = free.
using SimMacroRecord = std::array<std::uint8_t, kSimMacroRecordSize>;
using SimLightingRecord = std::array<std::uint8_t, 5>;

struct SimRemapEntry {
    std::uint8_t key = 0;  // physical key, 0 = free slot
    std::uint8_t target = 0;
    bool operator==(const SimRemapEntry&) const = default;
};

struct SimProfileState {
    std::array<SimMacroRecord, kSimSlotCount> macros{};
    std::array<SimRemapEntry, kSimSlotCount> remaps{};
    bool operator==(const SimProfileState&) const = default;
};

// Everything the keyboard keeps across commands and power cycles.
struct SimKeyboardState {
    int activeProfile = 1;  // 1 to 3
    std::array<SimProfileState, kSimProfileCount> profiles{};
    int effect = 0;  // 0 to 9
    std::array<SimLightingRecord, kSimEffectCount> lighting = DefaultLighting();

    bool operator==(const SimKeyboardState&) const = default;

    static constexpr std::array<SimLightingRecord, kSimEffectCount> DefaultLighting() {
        std::array<SimLightingRecord, kSimEffectCount> records{};
        for (auto& record : records) {
            record = {1, 1, 2, 3, 0};
        }
        records[8] = {0, 0, 0, 3, 0};
        return records;
    }
};

// Readable multi-line description of the state, for test failures and the CLI.
std::string DumpSimState(const SimKeyboardState& state);

// State file, UTF-8 XML, numbers decimal, bytes as lower-case hex without separators:
//   <simkeyboard version="1" activeprofile="1" effect="0">
//     <profile number="1">
//       <macro slot="1" record="(336 hex digits: the whole 168-byte record)"/>
//       <remap slot="12" key="2c" target="04"/>
//     </profile>
//     <lighting effect="8" record="0000000300"/>
//   </simkeyboard>
// Free slots are left out; missing profiles and lighting entries take their defaults.

// Reads a state file. False (and state untouched) when the file is missing, unreadable, not
// ours or holds any value out of range: a half-trusted file is never partly applied.
bool LoadSimState(const std::string& utf8Path, SimKeyboardState& state);

// Writes the state through a temporary file renamed over the target. False when nothing was
// written; the previous file is then still intact.
bool SaveSimState(const std::string& utf8Path, const SimKeyboardState& state);

}  // namespace kb
