#pragma once

#include <array>
#include <vector>

#include "session/keyboard_session.h"

namespace kb::ui {
class SComboBox;
class SSliderBar;
class SWindow;
}  // namespace kb::ui

namespace kb {

// The main window's lighting panel: the effect list, the direction pair, the colour rows, the
// area rows and the two sliders, shown per effect and read back into the effect's record.
class LightingPanelView {
public:
    // Finds the panel's controls below root and clears the groups' checks.
    void Find(ui::SWindow& root);

    ui::SComboBox* EffectList() const { return ledMode_; }
    // The effect chosen in the list, -1 when none.
    int CurrentEffect() const;
    // Chooses the effect in the list without notifications when it differs.
    void ChooseEffect(int effect);

    // True for the ids whose clicks change the current effect's record.
    static bool IsLightingClick(int id);

    // Shows the containers the effect uses and the record's values in them; an effect outside
    // 0-9 changes nothing.
    void Show(int effect, const LightingRecord& record);
    // The controls into the effect's record (only the bits the effect uses).
    void Store(int effect, LightingRecord& record) const;

    // The effect list and the containers, with every control inside them.
    std::vector<ui::SWindow*> Controls() const;
    // Enables the panel, or greys and fades it (its skins have no grey state).
    void Enable(bool enable);

private:
    using Group = std::vector<ui::SWindow*>;
    LightingControls Read() const;

    ui::SComboBox* ledMode_ = nullptr;
    ui::SSliderBar* speed_ = nullptr;
    ui::SSliderBar* brightness_ = nullptr;
    Group direction_;
    Group colour_;
    Group secondColour_;
    std::array<Group, kAreaCount> areas_;
    // The first control of each colour row, outside its group: checked for "no member".
    ui::SWindow* colourNone_ = nullptr;
    ui::SWindow* secondColourNone_ = nullptr;
    std::array<ui::SWindow*, kAreaCount> areaNone_{};
    std::array<ui::SWindow*, kLightingPanelCount> panels_{};
};

}  // namespace kb
