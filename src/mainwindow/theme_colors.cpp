#include "mainwindow/theme_colors.h"

#include <array>

#include "toolkit/sapp.h"

namespace kb {

namespace {

struct KindEntry {
    const char* name;
    QRgb fallback;
};

// In KeyKind order; the fallbacks are the shipped table's values.
constexpr std::array<KindEntry, 5> kKindEntries{{
    {"kind_macro", 0xFFFFA23A},
    {"kind_key", 0xFF4DA3FF},
    {"kind_media", 0xFF3DDC84},
    {"kind_function", 0xFFC07BFF},
    {"kind_elsewhere", 0xFF8A9099},
}};

}  // namespace

QColor ThemeColor(const char* name, const QColor& fallback) {
    const ui::SApplication* app = ui::SApplication::Instance();
    QColor color;
    if (app && app->ParseColor(QStringLiteral("@color/") + QString::fromUtf8(name), color)) {
        return color;
    }
    return fallback;
}

QColor KindColor(KeyKind kind) {
    const KindEntry& entry = kKindEntries[static_cast<std::size_t>(kind)];
    return ThemeColor(entry.name, QColor::fromRgba(entry.fallback));
}

}  // namespace kb
