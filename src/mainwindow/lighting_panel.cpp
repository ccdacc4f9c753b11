#include "mainwindow/lighting_panel.h"

#include <QGraphicsOpacityEffect>
#include <QString>

#include "toolkit/swidgets.h"

namespace kb {

namespace {

using ui::SWindow;

// How much of the lighting panel shows through while the keyboard is away.
constexpr qreal kDisconnectedOpacity = 0.4;

// Lighting panel ids: the direction pair, then each colour row with its first button left out
// of the group (choosing it leaves the group without a checked member).
constexpr std::array kDirectionIds = {65593, 65594};
constexpr int kColourNoneId = 65596;  // bar_color0: colour cycle
constexpr int kColourFirstMemberId = kColourNoneId + 1;
constexpr int kSecondColourNoneId = 65605;  // bar_color00
constexpr int kSecondColourFirstMemberId = kSecondColourNoneId + 1;
constexpr int kColourMembers = 7;
// udef_areaN_color1, areas in the panel's id order 1, 3, 5, 2, 4, 6.
constexpr std::array kAreaFirstIds = {65614, 65638, 65622, 65646, 65630, 65654};

// Clicks on these ids update the current effect's record.
constexpr std::array<std::pair<int, int>, 4> kLightingClickRanges{{
    {65593, 65594},
    {65596, 65603},
    {65605, 65612},
    {65614, 65661},
}};

int CheckedIndex(const std::vector<SWindow*>& group) {
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (group[i]->IsChecked()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Checks member `index` and clears the others; an index outside the group clears them all.
void CheckOnly(const std::vector<SWindow*>& group, int index) {
    for (std::size_t i = 0; i < group.size(); ++i) {
        group[i]->SetCheck(static_cast<int>(i) == index);
    }
}

// A colour row: member `index` checked, or for -1 the row's first control, which stands for
// "no member" (colour cycle, area off). Without it checked the row would show whatever was
// checked before, and the next change would store that.
void ShowRowChoice(const std::vector<SWindow*>& group, SWindow* none, int index) {
    CheckOnly(group, index);
    if (none) {
        none->SetCheck(index == -1);
    }
}

}  // namespace

bool LightingPanelView::IsLightingClick(int id) {
    for (const auto& [lo, hi] : kLightingClickRanges) {
        if (id >= lo && id <= hi) {
            return true;
        }
    }
    return false;
}

void LightingPanelView::Find(SWindow& root) {
    ledMode_ = root.FindChildByName2<ui::SComboBox>(QStringLiteral("cmb_led_mode"));
    speed_ = root.FindChildByName2<ui::SSliderBar>(QStringLiteral("bar_speed"));
    brightness_ = root.FindChildByName2<ui::SSliderBar>(QStringLiteral("bar_brightness"));

    const auto fill = [&root](Group& group, int firstId, int count) {
        group.clear();
        for (int id = firstId; id < firstId + count; ++id) {
            if (SWindow* member = root.FindChildByID(id)) {
                member->SetCheck(false);
                group.push_back(member);
            }
        }
    };
    fill(direction_, kDirectionIds.front(), static_cast<int>(kDirectionIds.size()));
    fill(colour_, kColourFirstMemberId, kColourMembers);
    fill(secondColour_, kSecondColourFirstMemberId, kColourMembers);
    colourNone_ = root.FindChildByID(kColourNoneId);
    secondColourNone_ = root.FindChildByID(kSecondColourNoneId);
    for (std::size_t area = 0; area < areas_.size(); ++area) {
        fill(areas_[area], kAreaFirstIds[area] + 1, kColourMembers);
        areaNone_[area] = root.FindChildByID(kAreaFirstIds[area]);
    }

    for (std::size_t i = 0; i < panels_.size(); ++i) {
        panels_[i] = root.FindChildByName2<SWindow>(QString::fromUtf8(
            kLightingPanelNames[i].data(), static_cast<qsizetype>(kLightingPanelNames[i].size())));
    }
}

int LightingPanelView::CurrentEffect() const {
    return ledMode_ ? ledMode_->GetCurSel() : -1;
}

void LightingPanelView::ChooseEffect(int effect) {
    if (ledMode_ && effect != CurrentEffect()) {
        ledMode_->SetCurSel(effect, false);
    }
}

LightingControls LightingPanelView::Read() const {
    LightingControls controls;
    controls.direction = CheckedIndex(direction_);
    controls.colour = CheckedIndex(colour_);
    controls.secondColour = CheckedIndex(secondColour_);
    for (std::size_t area = 0; area < areas_.size(); ++area) {
        controls.areas[area] = CheckedIndex(areas_[area]);
    }
    controls.speed = speed_ ? speed_->GetValue() : 0;
    controls.brightness = brightness_ ? brightness_->GetValue() : 0;
    return controls;
}

void LightingPanelView::Store(int effect, LightingRecord& record) const {
    StoreLightingControls(effect, Read(), record);
}

void LightingPanelView::Show(int effect, const LightingRecord& record) {
    if (effect < 0 || effect >= kEffectCount) {
        return;
    }
    const PanelRow& row = kPanelVisibility[static_cast<std::size_t>(effect)];
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        if (panels_[i]) {
            panels_[i]->SetVisible(row[i] == PanelVisibility::Shown);
        }
    }
    // Only what the effect shows changes.
    LightingControls controls;
    LoadLightingControls(effect, record, controls);
    if (brightness_) {
        brightness_->SetValue(controls.brightness);
    }
    if (effect == kUserAreaEffect) {
        for (std::size_t area = 0; area < areas_.size(); ++area) {
            ShowRowChoice(areas_[area], areaNone_[area], controls.areas[area]);
        }
        return;
    }
    if (speed_) {
        speed_->SetValue(controls.speed);
    }
    if (effect == kSecondColourEffect) {
        ShowRowChoice(secondColour_, secondColourNone_, controls.secondColour);
    } else {
        ShowRowChoice(colour_, colourNone_, controls.colour);
    }
    CheckOnly(direction_, controls.direction);
}

std::vector<SWindow*> LightingPanelView::Controls() const {
    std::vector<SWindow*> controls{ledMode_};
    for (SWindow* panel : panels_) {
        if (!panel) {
            continue;
        }
        // The panel's own controls show their own tooltips; they say why they are grey too.
        std::vector<SWindow*> pending{panel};
        while (!pending.empty()) {
            SWindow* control = pending.back();
            pending.pop_back();
            controls.push_back(control);
            for (SWindow* child : control->GetChildWindows()) {
                pending.push_back(child);
            }
        }
    }
    std::erase(controls, nullptr);
    return controls;
}

void LightingPanelView::Enable(bool enable) {
    if (ledMode_) {
        ledMode_->EnableWindow(enable);
    }
    for (SWindow* panel : panels_) {
        if (panel) {
            panel->EnableWindow(enable);
            // Sliders and swatches are drawn from skins without a grey state: the panel fades.
            if (enable) {
                panel->setGraphicsEffect(nullptr);
            } else {
                auto* fade = new QGraphicsOpacityEffect(panel);
                fade->setOpacity(kDisconnectedOpacity);
                panel->setGraphicsEffect(fade);
            }
        }
    }
}

}  // namespace kb
