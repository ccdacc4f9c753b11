#pragma once

#include <QColor>
#include <QString>
#include <span>
#include <string_view>

namespace kb::ui {

// One colour of the dark look as the code knows it when the colour table is not loaded.
struct ThemeFallback {
    const char* name;
    int red;
    int green;
    int blue;
    int alpha;
};

// The colours the toolkit paints with, by their name in the colour table (values/color.xml). A
// colour the loaded table lacks, or any colour before a table is loaded, comes from the fallback
// table, which holds the shipped values. An unknown name gives an invalid colour.
QColor ThemeColor(std::string_view name);

// The fallback table (the shipped colour table's values), for checking the two agree.
std::span<const ThemeFallback> ThemeFallbacks();

// A style sheet with every "@color/NAME" replaced by that theme colour.
QString ThemeStyleSheet(const QString& sheet);

// The dark look for Qt's own dialogs that the program opens (the file chooser).
QString StandardDialogStyleSheet();

}  // namespace kb::ui
