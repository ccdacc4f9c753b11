#include "protocol/lighting.h"

namespace kb {

namespace {

bool ValidEffect(int effect) {
    return effect >= 0 && effect < kEffectCount;
}

void SetBits(std::uint8_t& byte, unsigned mask, unsigned value) {
    byte = static_cast<std::uint8_t>((byte & ~mask) | (value & mask));
}

unsigned Low(int value) {
    return static_cast<unsigned>(value);
}

}  // namespace

LightingTable InitialLightingTable() {
    LightingTable table{};
    for (auto& record : table) {
        record = LightingRecord{1, 1, 2, 3, 0};
    }
    table[kUserAreaEffect][0] = 0;
    table[kUserAreaEffect][1] = 0;
    table[kUserAreaEffect][2] = 0;
    return table;
}

void StoreLightingControls(int effect, const LightingControls& controls, LightingRecord& record) {
    if (!ValidEffect(effect)) {
        return;
    }
    SetBits(record[3], 0x3, Low(controls.brightness));
    if (effect == kUserAreaEffect) {
        for (int pair = 0; pair < 3; ++pair) {
            const unsigned high = Low(controls.areas[static_cast<std::size_t>(2 * pair)]) & 0xF;
            const unsigned low = Low(controls.areas[static_cast<std::size_t>(2 * pair + 1)]) & 0xF;
            record[static_cast<std::size_t>(pair)] = static_cast<std::uint8_t>(high << 4 | low);
        }
        return;
    }
    SetBits(record[2], 0x3, Low(controls.speed));
    SetBits(record[1], 0x3, controls.direction == 1 ? 2u : 1u);
    const int colour = effect == kSecondColourEffect ? controls.secondColour : controls.colour;
    SetBits(record[0], 0x7, Low(colour + 1));
}

void LoadLightingControls(int effect, const LightingRecord& record, LightingControls& controls) {
    if (!ValidEffect(effect)) {
        return;
    }
    controls.brightness = record[3] & 0x3;
    if (effect == kUserAreaEffect) {
        for (std::size_t area = 0; area < kAreaCount; ++area) {
            const std::uint8_t byte = record[area / 2];
            const int nibble = area % 2 == 0 ? byte >> 4 : byte & 0xF;
            controls.areas[area] = nibble == 0xF ? -1 : nibble;
        }
        return;
    }
    controls.speed = record[2] & 0x3;
    const int colour = record[0] & 0x7;
    (effect == kSecondColourEffect ? controls.secondColour : controls.colour) = colour - 1;
    controls.direction = (record[1] & 0x3) == 2 ? 1 : 0;
}

}  // namespace kb
