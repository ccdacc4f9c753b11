#include "mainwindow/theme_colors.h"

#include <array>

#include "toolkit/sapp.h"
#include "toolkit/theme.h"

namespace kb {

namespace {

// In KeyKind order.
constexpr std::array<const char*, 5> kKindColorNames{"kind_macro", "kind_key", "kind_media",
                                                     "kind_function", "kind_elsewhere"};

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
    return ui::ThemeColor(kKindColorNames[static_cast<std::size_t>(kind)]);
}

}  // namespace kb
