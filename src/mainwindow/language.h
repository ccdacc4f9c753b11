#pragma once

#include <QColor>
#include <QString>
#include <array>

namespace kb::ui {
class SWindow;
}  // namespace kb::ui

namespace kb {

// The two language buttons of the main window and the translations behind them: 1 is Chinese,
// 0 English.
class LanguageSwitch {
public:
    // `configuredChinese`: the language config.xml ships with, read first when asking which
    // translation is in use.
    explicit LanguageSwitch(bool configuredChinese) : configuredChinese_(configuredChinese) {}

    // Finds the two buttons below root and marks the language in use.
    void Find(ui::SWindow& root);

    // Installs the language's translation and retranslates root's windows. False when the
    // translation cannot be loaded: nothing changed then.
    bool Switch(int language, ui::SWindow* root);

    // 1 when the translator manager's language is the Chinese translation's, 0 when it is the
    // English one's, -1 otherwise.
    int Active() const;

    // The button of the language in use is checked and in the accent colour.
    void MarkActive();

private:
    struct LanguageButton {
        ui::SWindow* window = nullptr;
        int language = 0;
        QColor idleColor;  // the layout's text colour, shown while the language is not in use
    };

    bool configuredChinese_ = false;
    std::array<LanguageButton, 2> buttons_{};
    // The names of the English (0) and Chinese (1) translations, once read.
    mutable std::array<QString, 2> translationNames_{};
};

}  // namespace kb
