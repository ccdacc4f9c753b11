#include "mainwindow/key_labels.h"

namespace kb {

QString KeyCapLabel(const KeyChoice& choice, const TranslateText& translate) {
    switch (choice.kind) {
        case KeyKind::Macro:
            return QString::fromStdString(choice.name);
        case KeyKind::Key:
            return QStringLiteral("\u2192") +
                   (choice.target == 0 ? translate("main", QStringLiteral("nothing"))
                                       : QString::fromStdString(KeyBriefName(choice.target)));
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
