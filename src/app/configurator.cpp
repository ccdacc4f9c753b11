#include "app/configurator.h"

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <filesystem>
#include <pugixml.hpp>

#include "app/key_dialog_runner.h"
#include "config/atomic_file.h"
#include "config/data_folder.h"
#include "config/user_settings.h"
#include "mainwindow/main_window.h"
#include "platform/qt_desktop.h"
#include "toolkit/named_ids.h"
#include "toolkit/sapp.h"
#include "toolkit/theme.h"
#include "toolkit/translator.h"
#include "widgets/register_widgets.h"

namespace kb {

namespace {

constexpr const char* kResourceFolder = "uires";
constexpr const char* kUiDefinition = "uidef:xml_init";
constexpr const char* kConfigFile = "config.xml";

// The translator for the configured language, installed without choosing a language first:
// the manager takes the translator's own name.
void InstallStartupTranslator(ui::SApplication& app, ui::STranslatorMgr& manager, bool chineseUi) {
    pugi::xml_document doc;
    if (!app.LoadXml(doc, QStringLiteral("translator"), StartupTranslatorName(chineseUi))) {
        return;
    }
    auto translator = std::make_shared<ui::STranslator>();
    if (translator->Load(doc.child("language"))) {
        manager.InstallTranslator(std::move(translator));
    }
}

// A save cut short by a kill leaves its temporary file behind; clear away those of processes
// that no longer run, for every file the program and the demo write in the data folder.
void RemoveLeftoverTemporaries() {
    const std::string folder = DataFolder();
    const std::u8string base(folder.begin(), folder.end());
    for (const char8_t* name : {u8"macro.xml", u8"store.xml", u8"keymap.xml", u8"settings.xml",
                                u8"demo-keyboard.xml", u8"demo-keyboard-keymap.xml"}) {
        RemoveStaleTemporaries(folder.empty() ? std::filesystem::path(name)
                                              : std::filesystem::path(base) / name);
    }
}

}  // namespace

QString StartupTranslatorName(bool chineseUi) {
    return chineseUi ? QStringLiteral("lang_cn") : QStringLiteral("lang_en");
}

int BringMarkedWindowsForward(const QString& instanceName) {
    if (instanceName.isEmpty()) {
        return 0;
    }
    const QByteArray marker = instanceName.toUtf8();
    int found = 0;
    // Every marked window, not just the first, as a stale marker must not hide the live one.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->property(marker.constData()).isValid()) {
            continue;
        }
        ++found;
        if (window->isMinimized()) {
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        }
        if (!window->isVisible()) {
            window->show();
        }
        window->raise();
        window->activateWindow();
    }
    return found;
}

int RunConfigurator(char* argv0, const Composition& composition) {
    // Qt sees the program name only: the configurator takes no command-line options.
    int qtArgc = 1;
    char* qtArgv[] = {argv0, nullptr};
    QApplication qtApp(qtArgc, qtArgv);
    // The tray keeps the program alive while its window is hidden; only destroying the main
    // window ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    // "uires" and the other relative names are taken in the program folder.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    auto app = std::make_unique<ui::SApplication>();

    auto folder = std::make_shared<ui::SResProviderFiles>();
    folder->Init(QString::fromLatin1(kResourceFolder));
    app->RegisterNamedIds(ui::ProgramNamedIds());
    app->AddResProvider(folder, QString::fromLatin1(kUiDefinition));
    // The toolkit's system resources need no loading of their own: the message box draws its
    // layout from the resource folder when it is shown, and the skins are built in.

    auto translators = std::make_shared<ui::STranslatorMgr>();
    app->SetTranslator(translators);
    const DeviceConfig* config = DeviceConfig::Instance(kConfigFile);
    // The language chosen in an earlier run wins over the shipped one.
    const std::string dataFolder = DataFolder();
    InstallStartupTranslator(*app, *translators,
                             LoadChineseUiChoice(dataFolder).value_or(config->chineseUi));

    ui::RegisterProgramWidgets(*app);
    platform::SetChooserStyleSheet(ui::StandardDialogStyleSheet());

    std::unique_ptr<platform::PlatformServices> platform = composition.makePlatform();
    // Looked up each time: the string table decides the name.
    const QString instanceName = app->InstanceName();
    if (!platform->ClaimSingleInstance(
            instanceName, [app = app.get()] { BringMarkedWindowsForward(app->InstanceName()); })) {
        platform.reset();
        app.reset();
        return 0;
    }
    RemoveLeftoverTemporaries();

    DeviceSide devices = composition.makeDevices(*config, *platform);
    auto session = std::make_unique<KeyboardSession>(
        *devices.backend, *devices.gate, *devices.pacer,
        devices.keymapPath.empty() && !dataFolder.empty() ? dataFolder + "/" + kKeymapFileName
                                                          : devices.keymapPath,
        KeyboardIdentity{config->vid, config->pid, config->interfaceNumber, config->subdevice},
        devices.diagnostics, devices.trace);
    const MainWindowServices services{*session, *platform, *config};
    auto window = std::make_unique<CMainDlg>(services);
    window->SetKeyDialogRunner(MakeKeyDialogRunner(*platform, *config, dataFolder));
    window->SetLanguageChosenHandler(
        [dataFolder](int language) { SaveChineseUiChoice(dataFolder, language == 1); });
    window->CreateHost(QApplication::activeWindow());
    window->DeferStartupConnection();
    window->SendHostMessage(ui::kWmInitDialog);
    window->CenterOnScreen();
    window->showNormal();
    if (composition.onMainWindow) {
        composition.onMainWindow(*window);
    }

    const int result = app->Run(window.get());
    if (!window->IsDestroyed()) {
        window->DestroyWindow();
    }

    // Teardown: the window first, then the application object with its providers and
    // translators, then the single-instance claim, then the session and what it talked to.
    window.reset();
    app.reset();
    platform.reset();
    session.reset();
    devices = DeviceSide{};
    return result;
}

}  // namespace kb
