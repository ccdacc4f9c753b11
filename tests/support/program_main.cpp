#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <pugixml.hpp>

#include "program_env.h"
#include "toolkit/named_ids.h"
#include "toolkit/sapp.h"
#include "toolkit/translator.h"
#include "widgets/register_widgets.h"

namespace kb::testenv {

const DeviceConfig& Config() {
    static const DeviceConfig config = DeviceConfig::LoadFrom(
        (ui::SApplication::ProgramFolder() + QStringLiteral("/config.xml")).toStdString());
    return config;
}

bool UseLanguage(const QString& name) {
    ui::SApplication* app = ui::SApplication::Instance();
    auto translators = std::make_shared<ui::STranslatorMgr>();
    pugi::xml_document doc;
    if (!app->LoadXml(doc, QStringLiteral("translator:lang_") + name)) {
        return false;
    }
    auto translator = std::make_shared<ui::STranslator>();
    translator->Load(doc.child("language"));
    translators->InstallTranslator(translator);
    app->SetTranslator(translators);
    return true;
}

}  // namespace kb::testenv

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);

    kb::ui::SApplication app;
    auto files = std::make_shared<kb::ui::SResProviderFiles>();
    if (!files->Init(kb::ui::SApplication::ProgramFolder() + QStringLiteral("/uires"))) {
        return 2;
    }
    app.AddResProvider(files, QStringLiteral("uidef:xml_init"));
    app.RegisterNamedIds(kb::ui::ProgramNamedIds());
    if (!kb::testenv::UseLanguage(QStringLiteral("en"))) {
        return 3;
    }
    kb::ui::RegisterProgramWidgets(app);
    return RUN_ALL_TESTS();
}
