#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kb {

inline constexpr int kEffectCount = 10;
inline constexpr int kUserAreaEffect = 8;      // six user-defined areas, one colour each
inline constexpr int kSecondColourEffect = 3;  // uses the second colour group
inline constexpr int kAreaCount = 6;

// Effects 0-7 and 9: byte 0 bits 0-2 colour (checked member + 1, 0 for none), byte 1 bits 0-1
// direction (1 left, 2 right), byte 2 bits 0-1 speed, byte 3 bits 0-1 brightness.
// Effect 8: bytes 0-2 hold the area colours as nibbles (area 1 high nibble of byte 0, plain
// member index, 0xF for none), byte 3 bits 0-1 brightness. Byte 4 is always 0.
using LightingRecord = std::array<std::uint8_t, 5>;
using LightingTable = std::array<LightingRecord, kEffectCount>;

LightingTable InitialLightingTable();

// What the lighting panel shows, as plain values. A group index is the checked member's index
// in its group, -1 when none is checked.
struct LightingControls {
    int direction = -1;
    int colour = -1;
    int secondColour = -1;
    std::array<int, kAreaCount> areas{-1, -1, -1, -1, -1, -1};
    int speed = 0;
    int brightness = 0;

    bool operator==(const LightingControls&) const = default;
};

// Controls into the effect's record, writing only the bits the effect uses. An effect outside
// 0-9 changes nothing.
void StoreLightingControls(int effect, const LightingControls& controls, LightingRecord& record);

// The effect's record into the controls, changing only what the effect shows. A colour of 0
// gives -1 for the effect's colour group: the row's first control, outside the group, is the
// one to check. An area index may exceed the group (nibbles 7 to 14): such an index checks no
// member. An effect outside 0-9 changes nothing.
void LoadLightingControls(int effect, const LightingRecord& record, LightingControls& controls);

// The containers of the lighting panel, shown or hidden as wholes per effect.
enum class LightingPanel {
    Direction,
    Speed,
    Brightness,
    Colour,
    ColourBlack,
    UserArea,
};
inline constexpr int kLightingPanelCount = 6;

inline constexpr std::array<std::string_view, kLightingPanelCount> kLightingPanelNames{
    "radio_direction_parent", "bar_speed_parent",       "bar_brightness_parent",
    "bar_color_parent",       "bar_color_parent_black", "udef_area_parent",
};

enum class PanelVisibility : std::uint8_t { Hidden, Shown };

using PanelRow = std::array<PanelVisibility, kLightingPanelCount>;

namespace panel_detail {
inline constexpr auto H = PanelVisibility::Hidden;
inline constexpr auto S = PanelVisibility::Shown;
}  // namespace panel_detail

// Indexed by effect, columns in the order of LightingPanel. Effect 5 has no colour: both colour
// rows are hidden, whichever effect came before.
inline constexpr std::array<PanelRow, kEffectCount> kPanelVisibility = [] {
    using namespace panel_detail;
    return std::array<PanelRow, kEffectCount>{{
        {S, S, S, H, H, H},  // 0
        {S, S, S, S, H, H},  // 1
        {S, S, S, S, H, H},  // 2
        {H, H, S, H, S, H},  // 3
        {H, S, S, S, H, H},  // 4
        {H, S, S, H, H, H},  // 5
        {S, S, S, H, H, H},  // 6
        {H, H, S, H, H, H},  // 7
        {H, H, S, H, H, S},  // 8
        {H, H, S, H, H, H},  // 9
    }};
}();

}  // namespace kb
