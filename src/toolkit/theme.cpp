#include "toolkit/theme.h"

#include <array>

#include "toolkit/sapp.h"

namespace kb::ui {
namespace {

// Kept equal to uires/values/color.xml (a resource test compares them).
constexpr std::array kFallbacks{
    ThemeFallback{"bg", 0x10, 0x12, 0x16, 0xFF},
    ThemeFallback{"caption", 0x16, 0x19, 0x1F, 0xFF},
    ThemeFallback{"panel", 0x1A, 0x1D, 0x24, 0xFF},
    ThemeFallback{"panel_dark", 0x13, 0x15, 0x1A, 0xFF},
    ThemeFallback{"edge", 0x2C, 0x31, 0x3B, 0xFF},
    ThemeFallback{"control_edge", 0x3A, 0x40, 0x4C, 0xFF},
    ThemeFallback{"face", 0x24, 0x28, 0x33, 0xFF},
    ThemeFallback{"face_hover", 0x2E, 0x34, 0x42, 0xFF},
    ThemeFallback{"face_pressed", 0x1B, 0x1E, 0x26, 0xFF},
    ThemeFallback{"hover", 0x20, 0x24, 0x2C, 0xFF},
    ThemeFallback{"selection", 0x00, 0xC8, 0xFF, 0x38},
    ThemeFallback{"popup", 0x1B, 0x1F, 0x27, 0xFF},
    ThemeFallback{"popup_hover", 0x2A, 0x30, 0x3C, 0xFF},
    ThemeFallback{"text", 0xD9, 0xDE, 0xE7, 0xFF},
    ThemeFallback{"text_dim", 0x8B, 0x93, 0xA1, 0xFF},
    ThemeFallback{"text_disabled", 0x4E, 0x54, 0x5E, 0xFF},
    ThemeFallback{"label_disabled", 0x5A, 0x60, 0x6B, 0xFF},
    ThemeFallback{"text_on_accent", 0x0B, 0x0D, 0x10, 0xFF},
    ThemeFallback{"accent", 0x00, 0xC8, 0xFF, 0xFF},
    ThemeFallback{"accent2", 0x7C, 0x5C, 0xFF, 0xFF},
    ThemeFallback{"link", 0x00, 0xC8, 0xFF, 0xFF},
    ThemeFallback{"danger", 0xFF, 0x4D, 0x5E, 0xFF},
    ThemeFallback{"transparent", 0x00, 0x00, 0x00, 0x00},
    ThemeFallback{"kind_macro", 0xFF, 0xA2, 0x3A, 0xFF},
    ThemeFallback{"kind_key", 0x4D, 0xA3, 0xFF, 0xFF},
    ThemeFallback{"kind_media", 0x3D, 0xDC, 0x84, 0xFF},
    ThemeFallback{"kind_function", 0xC0, 0x7B, 0xFF, 0xFF},
    ThemeFallback{"kind_elsewhere", 0x8A, 0x90, 0x99, 0xFF},
};

QString CssColor(const QColor& color) {
    if (color.alpha() == 255) {
        return color.name();
    }
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

}  // namespace

QColor ThemeColor(std::string_view name) {
    if (const SApplication* app = SApplication::Instance()) {
        QColor color;
        const QString reference =
            QStringLiteral("@color/") +
            QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
        if (app->ParseColor(reference, color)) {
            return color;
        }
    }
    for (const ThemeFallback& entry : kFallbacks) {
        if (name == entry.name) {
            return QColor(entry.red, entry.green, entry.blue, entry.alpha);
        }
    }
    return QColor();
}

std::span<const ThemeFallback> ThemeFallbacks() {
    return kFallbacks;
}

// Scanned by hand: a regular expression here would bring the pattern engine into every start.
QString ThemeStyleSheet(const QString& sheet) {
    static constexpr QLatin1StringView kReference("@color/");
    const auto isNameChar = [](QChar c) {
        return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
               (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_');
    };
    QString out;
    qsizetype from = 0;
    for (qsizetype at = sheet.indexOf(kReference); at >= 0;
         at = sheet.indexOf(kReference, at + 1)) {
        const qsizetype nameStart = at + kReference.size();
        qsizetype nameEnd = nameStart;
        while (nameEnd < sheet.size() && isNameChar(sheet[nameEnd])) {
            ++nameEnd;
        }
        if (nameEnd == nameStart) {
            continue;  // no name: left as it is
        }
        out += QStringView(sheet).mid(from, at - from);
        out += CssColor(ThemeColor(sheet.mid(nameStart, nameEnd - nameStart).toStdString()));
        from = nameEnd;
        at = nameEnd - 1;
    }
    out += QStringView(sheet).mid(from);
    return out;
}

QString StandardDialogStyleSheet() {
    return ThemeStyleSheet(QStringLiteral(
        "QDialog, QWidget { background-color: @color/bg; color: @color/text; }"
        "QLabel { background: transparent; }"
        "QLineEdit, QComboBox, QTreeView, QListView, QAbstractItemView {"
        " background-color: @color/panel_dark; color: @color/text;"
        " border: 1px solid @color/control_edge; border-radius: 4px;"
        " selection-background-color: @color/accent; selection-color: @color/text_on_accent; }"
        "QLineEdit:focus, QComboBox:focus, QAbstractItemView:focus {"
        " border: 1px solid @color/accent; }"
        "QComboBox { padding: 3px 8px; }"
        "QComboBox QAbstractItemView { background-color: @color/popup; }"
        "QHeaderView::section { background-color: @color/panel; color: @color/text_dim;"
        " border: none; border-right: 1px solid @color/edge; padding: 4px 8px; }"
        "QPushButton { background-color: @color/face; color: @color/text;"
        " border: 1px solid @color/control_edge; border-radius: 4px; padding: 5px 16px; }"
        "QPushButton:hover { background-color: @color/face_hover; }"
        "QPushButton:pressed { background-color: @color/face_pressed; }"
        "QPushButton:default { border: 1px solid @color/accent; }"
        "QPushButton:focus { border: 2px solid @color/accent; }"
        "QPushButton:disabled { color: @color/text_disabled; }"
        "QToolButton { background-color: transparent; border: 1px solid transparent;"
        " border-radius: 4px; padding: 2px; }"
        "QToolButton:hover, QToolButton:focus { border: 1px solid @color/accent; }"
        "QScrollBar { background-color: @color/panel_dark; }"
        "QScrollBar::handle { background-color: @color/face_hover; border-radius: 3px; }"
        "QMenu { background-color: @color/popup; color: @color/text; border: 1px solid "
        "@color/edge; }"
        "QMenu::item:selected { background-color: @color/accent; color: @color/text_on_accent; }"));
}

}  // namespace kb::ui
