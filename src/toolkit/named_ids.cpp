#include "toolkit/named_ids.h"

#include <array>

namespace kb::ui {

namespace {

// Control names in the order they appear in the layouts, window by window; the ids follow
// that order from 65536.
constexpr std::array kOrderedNames = {
    // main window
    "title", "btn_more", "btn_min", "img_keyboard", "cmb_led_mode", "btn_restore_factory",
    "cmb_profile", "version", "logo_link",
    // key-assignment dialog
    "btnMin", "btnRestore", "btnCancel", "text_recording_keys", "tab_macro_mode_selection",
    "groupDel", "groupAdd", "groupImport", "groupExport", "item_up", "item_down", "item_delete",
    "item_clear", "macro_group", "group_name", "key_info", "col1", "key_code", "col2", "key_name",
    "col3", "key_state", "col4", "key_delay", "edit_macro_repeat_times", "edit_macro_delay_time",
    "chk_macro_realy_delay", "chk_macro_fixed_delay", "chk_macro_no_delay", "chk_macro_record",
    "chk_single_record", "edit_single_key", "cmb_media_keys", "cmb_function_keys", "btnOK",
    "btnDelete",
    // message box
    "msgtitle", "msgicon", "msgtext", "btnSwitch", "button1st", "button2nd", "button3rd",
    // lighting panel
    "bar_brightness_parent", "bar_brightness", "bar_speed_parent", "bar_speed",
    "radio_direction_parent", "radio_direction_left", "radio_direction_right", "bar_color_parent",
    "bar_color0", "bar_color1", "bar_color2", "bar_color3", "bar_color4", "bar_color5",
    "bar_color6", "bar_color7", "bar_color_parent_black", "bar_color00", "bar_color11",
    "bar_color22", "bar_color33", "bar_color44", "bar_color55", "bar_color66", "bar_color77",
    "udef_area_parent"};

// The area colour buttons come in the panel's visual order of areas.
constexpr std::array kAreaOrder = {1, 3, 5, 2, 4, 6};
constexpr int kColorsPerArea = 8;
constexpr int kFirstId = 65535;

std::vector<NamedId> BuildTable() {
    std::vector<NamedId> table;
    table.reserve(kOrderedNames.size() + kAreaOrder.size() * kColorsPerArea + 1);
    int id = kFirstId;
    table.push_back({QStringLiteral("_name_start"), id++});
    for (const char* name : kOrderedNames) {
        table.push_back({QString::fromLatin1(name), id++});
    }
    for (int area : kAreaOrder) {
        for (int color = 1; color <= kColorsPerArea; ++color) {
            table.push_back({QStringLiteral("udef_area%1_color%2").arg(area).arg(color), id++});
        }
    }
    return table;
}

}  // namespace

const std::vector<NamedId>& ProgramNamedIds() {
    static const std::vector<NamedId> table = BuildTable();
    return table;
}

}  // namespace kb::ui
