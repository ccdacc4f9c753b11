#include "mainwindow/key_labels.h"

namespace kb {

QString KeyCapLabel(const RememberedKey& key, const TranslateText& translate) {
    const KeyChoice& choice = key.choice;
    const auto arrowTo = [&translate](std::uint8_t code) {
        return QStringLiteral("\u2192") + (code == 0 ? translate("main", QStringLiteral("nothing"))
                                                     : QString::fromStdString(KeyBriefName(code)));
    };
    switch (choice.kind) {
        case KeyKind::Macro:
            // A repeat count the keyboard keeps as 0 made it a single code for the key itself.
            return RepeatKept(choice.repeat) == 0 ? arrowTo(key.key)
                                                  : QString::fromStdString(choice.name);
        case KeyKind::Key:
            return arrowTo(choice.target);
        case KeyKind::Media:
        case KeyKind::Function: {
            // The translations hold short forms for the caps; other names as the dialog
            // shows them.
            const QString name = QString::fromStdString(choice.name);
            const QString brief = translate("keylabel", name);
            return brief != name ? brief : translate("macro", name);
        }
        case KeyKind::Elsewhere:
            break;
    }
    return QStringLiteral("?");
}

QString KeyTitle(int keyCode, KeyNameLanguage language) {
    return QString::fromStdString(KeyDisplayName(static_cast<std::uint8_t>(keyCode), language));
}

QString KeyCapLegend(int keyCode) {
    return QString::fromStdString(KeyLegend(static_cast<std::uint8_t>(keyCode)));
}

}  // namespace kb
