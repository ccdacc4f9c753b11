#include "protocol/lighting.h"

#include <gtest/gtest.h>

namespace kb {
namespace {

TEST(LightingTable, StartsWithDefaultsAndAllAreasOnFirstColour) {
    const LightingTable table = InitialLightingTable();
    for (int effect = 0; effect < kEffectCount; ++effect) {
        const LightingRecord expected = effect == kUserAreaEffect ? LightingRecord{0, 0, 0, 3, 0}
                                                                  : LightingRecord{1, 1, 2, 3, 0};
        EXPECT_EQ(table[static_cast<std::size_t>(effect)], expected) << "effect " << effect;
    }
}

struct StoreCase {
    const char* name;
    int effect;
    LightingRecord before;
    LightingControls controls;
    LightingRecord after;
};

LightingControls Controls(int direction, int colour, int secondColour, int speed, int brightness) {
    LightingControls c;
    c.direction = direction;
    c.colour = colour;
    c.secondColour = secondColour;
    c.speed = speed;
    c.brightness = brightness;
    return c;
}

LightingControls Areas(std::array<int, kAreaCount> areas, int brightness) {
    LightingControls c;
    c.areas = areas;
    c.brightness = brightness;
    c.colour = 5;  // ignored by the area effect
    c.speed = 1;
    return c;
}

TEST(LightingRecord, StoresControlsIntoTheNamedBitsOnly) {
    const StoreCase cases[] = {
        {"speed change on defaults", 0, {1, 1, 2, 3, 0}, Controls(0, 0, -1, 1, 3), {1, 1, 1, 3, 0}},
        {"right, colour 7", 1, {1, 1, 2, 3, 0}, Controls(1, 6, -1, 2, 3), {7, 2, 2, 3, 0}},
        {"no colour checked stores 0",
         1,
         {4, 1, 2, 3, 0},
         Controls(0, -1, -1, 2, 3),
         {0, 1, 2, 3, 0}},
        {"no direction checked is left",
         2,
         {1, 2, 2, 3, 0},
         Controls(-1, 0, -1, 2, 3),
         {1, 1, 2, 3, 0}},
        {"effect 3 takes the second group",
         3,
         {1, 1, 2, 3, 0},
         Controls(0, 5, 2, 2, 3),
         {3, 1, 2, 3, 0}},
        {"slider values keep two bits",
         4,
         {1, 1, 2, 3, 0},
         Controls(0, 0, -1, 6, 5),
         {1, 1, 2, 1, 0}},
        {"other bits kept",
         9,
         {0xF9, 0xFE, 0xF0, 0xFC, 0},
         Controls(0, 1, -1, 3, 2),
         {0xFA, 0xFD, 0xF3, 0xFE, 0}},
        {"areas defaults", 8, {0, 0, 0, 3, 0}, Areas({0, 0, 0, 0, 0, 0}, 3), {0, 0, 0, 3, 0}},
        {"area 1 index 2, area 2 none",
         8,
         {0, 0, 0, 3, 0},
         Areas({2, -1, 0, 0, 0, 0}, 3),
         {0x2F, 0, 0, 3, 0}},
        {"all areas",
         8,
         {0, 0, 0, 0xF3, 0},
         Areas({1, 2, 3, 4, 5, 6}, 0),
         {0x12, 0x34, 0x56, 0xF0, 0}},
        {"effect out of range", 10, {1, 1, 2, 3, 0}, Controls(1, 6, 6, 0, 0), {1, 1, 2, 3, 0}},
        {"negative effect", -1, {1, 1, 2, 3, 0}, Controls(1, 6, 6, 0, 0), {1, 1, 2, 3, 0}},
    };
    for (const StoreCase& c : cases) {
        LightingRecord record = c.before;
        StoreLightingControls(c.effect, c.controls, record);
        EXPECT_EQ(record, c.after) << c.name;
    }
}

TEST(LightingRecord, LoadsControlsFromTheRecord) {
    LightingControls controls = Controls(-1, 4, 5, 0, 0);
    LoadLightingControls(1, {0xF3, 0x06, 0x07, 0x0D, 0}, controls);
    EXPECT_EQ(controls, Controls(1, 2, 5, 3, 1));

    // Colour 0 checks no member (the row's colour-cycle control instead); direction other
    // than 2 is left.
    LoadLightingControls(0, {0x08, 0x03, 1, 2, 0}, controls);
    EXPECT_EQ(controls, Controls(0, -1, 5, 1, 2));

    // Effect 3 shows its colour in the second group only.
    LoadLightingControls(3, {0x04, 0x02, 0, 0, 0}, controls);
    EXPECT_EQ(controls, Controls(1, -1, 3, 0, 0));
    LoadLightingControls(3, {0x00, 0x02, 0, 0, 0}, controls);
    EXPECT_EQ(controls, Controls(1, -1, -1, 0, 0));
}

TEST(LightingRecord, LoadsAreaNibblesWithNoneForF) {
    LightingControls controls = Controls(1, 3, 4, 2, 0);
    LoadLightingControls(kUserAreaEffect, {0x2F, 0x09, 0x60, 0x07, 0}, controls);
    LightingControls expected = Controls(1, 3, 4, 2, 3);
    expected.areas = {2, -1, 0, 9, 6, 0};
    EXPECT_EQ(controls, expected);

    LightingControls untouched = controls;
    LoadLightingControls(kEffectCount, {0, 0, 0, 0, 0}, controls);
    EXPECT_EQ(controls, untouched);
}

TEST(LightingRecord, SwitchingAwayAndBackRestoresEachEffect) {
    LightingTable table = InitialLightingTable();
    StoreLightingControls(1, Controls(1, 4, -1, 0, 1), table[1]);
    StoreLightingControls(3, Controls(0, -1, 6, 3, 2), table[3]);
    StoreLightingControls(8, Areas({6, 5, -1, 3, 2, 1}, 0), table[8]);

    LightingControls shown;
    LoadLightingControls(1, table[1], shown);
    EXPECT_EQ(shown, Controls(1, 4, -1, 0, 1));
    LoadLightingControls(3, table[3], shown);
    EXPECT_EQ(shown, Controls(0, 4, 6, 3, 2));
    LoadLightingControls(8, table[8], shown);
    EXPECT_EQ(shown.areas, (std::array<int, kAreaCount>{6, 5, -1, 3, 2, 1}));
    EXPECT_EQ(shown.brightness, 0);
}

TEST(LightingPanels, EffectsShareRowsAndSpectrumHidesBothColourRows) {
    EXPECT_EQ(kPanelVisibility[6], kPanelVisibility[0]);
    EXPECT_EQ(kPanelVisibility[9], kPanelVisibility[7]);
    for (const LightingPanel colourRow : {LightingPanel::Colour, LightingPanel::ColourBlack}) {
        EXPECT_EQ(kPanelVisibility[5][static_cast<std::size_t>(colourRow)],
                  PanelVisibility::Hidden);
    }
    for (int effect = 0; effect < kEffectCount; ++effect) {
        const PanelRow& row = kPanelVisibility[static_cast<std::size_t>(effect)];
        EXPECT_EQ(row[static_cast<std::size_t>(LightingPanel::Brightness)], PanelVisibility::Shown);
        EXPECT_EQ(row[static_cast<std::size_t>(LightingPanel::UserArea)] == PanelVisibility::Shown,
                  effect == kUserAreaEffect);
    }
}

}  // namespace
}  // namespace kb
