#include "mainwindow/language.h"

#include <memory>
#include <pugixml.hpp>

#include "mainwindow/main_window.h"
#include "mainwindow/theme_colors.h"
#include "toolkit/sapp.h"
#include "toolkit/swnd.h"
#include "toolkit/translator.h"

namespace kb {

namespace {

// The language names are read into a 64-character buffer.
constexpr qsizetype kMaxLanguageName = 63;

const char* TranslatorResource(int language) {
    return language == 1 ? "lang_cn" : "lang_en";
}

// The translation resource of a language (1: Chinese, else English), loaded; nullptr when it is
// missing or no translation.
std::shared_ptr<ui::STranslator> LoadTranslator(const ui::SApplication& app, int language) {
    pugi::xml_document doc;
    if (!app.LoadXml(doc, QStringLiteral("translator"),
                     QString::fromUtf8(TranslatorResource(language)))) {
        return nullptr;
    }
    auto translator = std::make_shared<ui::STranslator>();
    if (!translator->Load(doc.child("language"))) {
        return nullptr;
    }
    return translator;
}

}  // namespace

void LanguageSwitch::Find(ui::SWindow& root) {
    buttons_ = {LanguageButton{root.FindChildByName(QStringLiteral("zh_cn")), 1, {}},
                LanguageButton{root.FindChildByName(QStringLiteral("jp")), 0, {}}};
    for (LanguageButton& button : buttons_) {
        if (button.window) {
            button.idleColor = button.window->ColorText();
        }
    }
    MarkActive();
}

bool LanguageSwitch::Switch(int language, ui::SWindow* root) {
    ui::SApplication* app = ui::SApplication::Instance();
    ui::STranslatorMgr* manager = app ? app->GetTranslator() : nullptr;
    if (!manager) {
        return false;
    }
    // A resource that is no translation would drop the current one and leave the window
    // untranslated: it counts as not loaded.
    std::shared_ptr<ui::STranslator> translator = LoadTranslator(*app, language);
    if (!translator) {
        return false;
    }
    translationNames_[language == 1 ? 1 : 0] = translator->Name().left(kMaxLanguageName);
    manager->SetLanguage(translator->Name().left(kMaxLanguageName));
    manager->InstallTranslator(translator);
    if (root) {
        root->SendWndMessage(ui::kMsgSetLanguage, 0, 0);
    }
    MarkActive();
    return true;
}

int LanguageSwitch::Active() const {
    const ui::SApplication* app = ui::SApplication::Instance();
    const ui::STranslatorMgr* manager = app ? app->GetTranslator() : nullptr;
    if (!manager || manager->Language().isEmpty()) {
        return -1;
    }
    // Names already known first, then the translations in the order the configured language
    // comes first, so the one not in use is not read at start-up.
    for (const int language : {1, 0}) {
        const QString& name = translationNames_[static_cast<std::size_t>(language)];
        if (!name.isEmpty() && name == manager->Language()) {
            return language;
        }
    }
    const int configured = configuredChinese_ ? 1 : 0;
    for (const int language : {configured, 1 - configured}) {
        QString& name = translationNames_[static_cast<std::size_t>(language)];
        if (!name.isEmpty()) {
            continue;
        }
        if (const std::shared_ptr<ui::STranslator> translator = LoadTranslator(*app, language)) {
            name = translator->Name().left(kMaxLanguageName);
            if (name == manager->Language()) {
                return language;
            }
        }
    }
    return -1;
}

void LanguageSwitch::MarkActive() {
    const int active = Active();
    const QColor activeColor = ThemeColor("accent", kDefaultAccentColor);
    for (LanguageButton& button : buttons_) {
        if (!button.window) {
            continue;
        }
        const bool on = button.language == active;
        button.window->SetCheck(on);
        button.window->SetColorText(on ? activeColor : button.idleColor);
    }
}

}  // namespace kb
