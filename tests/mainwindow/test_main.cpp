// Sets up what start-up sets up for the main window: an offscreen Qt application and the toolkit
// application over the build's resource folder, with the English translator and the program's
// widget classes.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <pugixml.hpp>

#include "mainwindow_test_env.h"
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
    auto translators = std::make_shared<kb::ui::STranslatorMgr>();
    app.SetTranslator(translators);
    pugi::xml_document doc;
    if (app.LoadXml(doc, QStringLiteral("translator:lang_en"))) {
        auto english = std::make_shared<kb::ui::STranslator>();
        english->Load(doc.child("language"));
        translators->InstallTranslator(english);
    }
    kb::ui::RegisterProgramWidgets(app);
    return RUN_ALL_TESTS();
}
