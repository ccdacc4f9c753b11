#include "app/configurator.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <pugixml.hpp>

#include "app/key_dialog_runner.h"
#include "config/atomic_file.h"
#include "config/data_folder.h"
#include "config/user_settings.h"
#include "macro/macro_dialog_state.h"
#include "macro/macro_library.h"
#include "mainwindow/file_notices.h"
#include "mainwindow/main_window.h"
#include "platform/qt_desktop.h"
#include "toolkit/first_frame.h"
#include "toolkit/msgbox.h"
#include "toolkit/named_ids.h"
#include "toolkit/sapp.h"
#include "toolkit/theme.h"
#include "toolkit/translator.h"
#include "util/file_read.h"
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

std::filesystem::path InDataFolder(const std::string& folder, const char* name) {
    const std::u8string base(folder.begin(), folder.end());
    return std::filesystem::path(base) /
           std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(name)));
}

// A save cut short by a kill leaves its temporary file behind; clear away those of processes
// that no longer run, for every file the program and the demo write in the data folder.
void RemoveLeftoverTemporaries() {
    const std::string folder = DataFolder();
    for (const char* name : {"macro.xml", "store.xml", "keymap.xml", "settings.xml",
                             "demo-keyboard.xml", "demo-keyboard-keymap.xml"}) {
        RemoveStaleTemporaries(InDataFolder(folder, name));
    }
}

// The files of the data folder the window saves, and those of them it found unreadable: each
// is kept aside at start and named in one notice.
struct OwnFiles {
    std::vector<std::filesystem::path> saved;
    std::vector<std::filesystem::path> unreadable;
};

OwnFiles FindOwnFiles(const std::string& dataFolder, const KeyMemory& memory,
                      const DeviceSide& devices) {
    OwnFiles files;
    const auto own = [&files](const std::filesystem::path& file, bool unreadable) {
        files.saved.push_back(file);
        if (unreadable) {
            files.unreadable.push_back(file);
        }
    };
    own(InDataFolder(dataFolder, kSettingsFile), !UnreadableSettingsFile(dataFolder).empty());
    // Read here on its own: the dialog's state is read when the first dialog opens.
    const std::filesystem::path store = InDataFolder(dataFolder, "store.xml");
    const std::u8string storeText = store.u8string();
    own(store,
        MacroDialogState(std::string(storeText.begin(), storeText.end())).LoadedUnreadable());
    if (!memory.Path().empty()) {
        own(PathFromUtf8(memory.Path()), memory.LoadedDamaged());
    }
    // macro.xml is looked at apart (LibraryUnreadableLater).
    files.saved.push_back(InDataFolder(dataFolder, "macro.xml"));
    for (const std::string& file : devices.ownFiles) {
        const bool unreadable = std::find(devices.unreadable.begin(), devices.unreadable.end(),
                                          file) != devices.unreadable.end();
        own(PathFromUtf8(file), unreadable);
    }
    return files;
}

// macro.xml may hold megabytes: whether it reads is found out beside the window's thread, once
// the window is on screen, instead of holding up its first frame.
std::shared_future<bool> LibraryUnreadableLater(const std::string& dataFolder) {
    const std::u8string text = InDataFolder(dataFolder, "macro.xml").u8string();
    return std::async(
               std::launch::async,
               [path = std::string(text.begin(), text.end())] { return MacroFileUnreadable(path); })
        .share();
}

// Names in one box the files kept aside at start, once the library's verdict is in; asks
// again a little later while it is still out. The library is kept aside here too: nothing
// writes it before the key dialog opens, which keeps an unreadable library aside itself.
void TellKeptAsideWhenKnown(QWidget* window, std::vector<KeptAsideFile> kept,
                            std::filesystem::path library,
                            std::shared_future<bool> libraryUnreadable) {
    constexpr int kAskAgainMs = 20;
    if (libraryUnreadable.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        QTimer::singleShot(kAskAgainMs, window, [=] {
            TellKeptAsideWhenKnown(window, kept, library, libraryUnreadable);
        });
        return;
    }
    if (libraryUnreadable.get()) {
        const std::vector<KeptAsideFile> keptLibrary = KeepFilesAside({library});
        kept.insert(kept.end(), keptLibrary.begin(), keptLibrary.end());
    }
    if (!kept.empty()) {
        ui::SMessageBox(window, KeptAsideText(kept), QStringLiteral("Warning"), ui::kMbOk);
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
    const OwnFiles ownFiles = FindOwnFiles(dataFolder, session->Memory(), devices);
    SaveFailureNotices saveNotices(window.get(), ownFiles.saved);
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
    // Once the window is up: the files found unreadable are kept aside now, before anything
    // saves them, and named once.
    ui::RunAfterFirstFrame(
        window.get(), window.get(),
        [window = window.get(), kept = KeepFilesAside(ownFiles.unreadable), dataFolder] {
            TellKeptAsideWhenKnown(window, kept, InDataFolder(dataFolder, "macro.xml"),
                                   LibraryUnreadableLater(dataFolder));
        });

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
