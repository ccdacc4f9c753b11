// Renders the main window offscreen, connected and disconnected, in English and Chinese and with
// several lighting effects, with the notice of a keyboard that did not respond and the boxes
// about a keyboard the program may not open: mainwindow_shots <output folder>.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <iostream>
#include <memory>
#include <pugixml.hpp>

#include "device/device_gate.h"
#include "keymap/keymap_file.h"
#include "mainwindow/main_window.h"
#include "platform/recording_platform.h"
#include "protocol/pacers.h"
#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "toolkit/msgbox.h"
#include "toolkit/named_ids.h"
#include "toolkit/sapp.h"
#include "toolkit/swidgets.h"
#include "toolkit/translator.h"
#include "widgets/register_widgets.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: mainwindow_shots <output folder>\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    kb::ui::SApplication app;
    auto files = std::make_shared<kb::ui::SResProviderFiles>();
    if (!files->Init(kb::ui::SApplication::ProgramFolder() + QStringLiteral("/uires"))) {
        std::cerr << "no uires next to the program\n";
        return 1;
    }
    app.AddResProvider(files, QStringLiteral("uidef:xml_init"));
    app.RegisterNamedIds(kb::ui::ProgramNamedIds());
    auto translators = std::make_shared<kb::ui::STranslatorMgr>();
    app.SetTranslator(translators);
    kb::ui::RegisterProgramWidgets(app);
    // Warnings are answered at once; those of a shot that asks for them are saved first, as
    // "<file>-box<N>.png".
    QString boxPrefix;
    int boxCount = 0;
    kb::ui::SetMessageBoxHook([&boxPrefix, &boxCount](QWidget* box) {
        if (!boxPrefix.isEmpty()) {
            box->grab().save(boxPrefix + QStringLiteral("-box") + QString::number(++boxCount) +
                             QStringLiteral(".png"));
        }
        if (auto* dialog = dynamic_cast<kb::ui::SHostDialog*>(box)) {
            dialog->EndDialog(kb::ui::kIdOk);
        }
    });

    const kb::DeviceConfig config = kb::DeviceConfig::LoadFrom(
        (kb::ui::SApplication::ProgramFolder() + QStringLiteral("/config.xml")).toStdString());
    kb::SimulatedKeyboard keyboard(config.vid, config.pid, config.interfaceNumber,
                                   config.subdevice);
    kb::SimKeyboardState state = keyboard.State();
    state.profiles[0].remaps[0] = {0x29, 0x04};
    state.profiles[0].remaps[1] = {0x04, 0x05};
    state.profiles[0].macros[0][0] = 1;
    state.profiles[0].macros[0][1] = 1;
    state.profiles[0].macros[0][2] = 0x2C;
    state.profiles[0].macros[0][3] = 1;
    keyboard.SetState(state);
    kb::SimulatedHidBackend backend(keyboard);
    kb::OpenGate gate;
    kb::RecordingPacer pacer;
    kb::platform::RecordingPlatform platform;

    // What the program remembers sending to the keys above (and one more the keyboard holds
    // from elsewhere): the picture marks each kind in its colour.
    // Each shot starts from this memory: a disconnected window's read-back forgets it all.
    const auto remember = [](kb::KeyMemory& memory) {
        kb::KeyChoice esc;
        esc.kind = kb::KeyKind::Key;
        esc.target = 0x04;
        kb::KeyChoice a;
        a.kind = kb::KeyKind::Media;
        a.name = "Mute";
        a.codes = {226};
        kb::KeyChoice space;
        space.kind = kb::KeyKind::Macro;
        space.name = "Hello";
        space.repeat = 3;
        kb::AssignmentRecord single{};
        single[2] = 0x04;
        kb::AssignmentRecord macro{};
        macro[3] = 3;
        const kb::SlotTable macros{0x2C, 0x3A};
        const kb::SlotTable remaps{0x29, 0x04};
        memory.AssignmentApplied(0, 0x29, esc, single, macros, remaps);
        memory.AssignmentApplied(0, 0x04, a, single, macros, remaps);
        memory.AssignmentApplied(0, 0x2C, space, macro, macros, remaps);
        kb::KeyChoice f1;
        f1.kind = kb::KeyKind::Function;
        f1.name = "Copy";
        f1.codes = {224, 6};
        macro[3] = 1;
        memory.AssignmentApplied(0, 0x3A, f1, macro, macros, remaps);
    };
    state.profiles[0].macros[1] = {1, 2, 0x3A, 1};
    state.profiles[0].remaps[2] = {0x10, 0x05};  // M, set by some other program
    keyboard.SetState(state);

    struct Shot {
        const char* file;
        bool connected;
        int language;  // 1 Chinese
        int effect;
        bool failing = false;  // the keyboard stops answering before the effect is chosen
        bool denied = false;   // opening is refused for lack of permission; boxes are saved
    };
    const Shot shots[] = {
        {"main_en_connected_effect0.png", true, 0, 0},
        {"main_en_disconnected_effect3.png", false, 0, 3},
        {"main_en_connected_effect8.png", true, 0, 8},
        {"main_cn_connected_effect1.png", true, 1, 1},
        {"main_cn_disconnected_effect8.png", false, 1, 8},
        {"main_cn_connected_effect7.png", true, 1, 7},
        {"main_en_no_response.png", true, 0, 4, true},
        {"main_cn_no_response.png", true, 1, 4, true},
        {"main_en_denied.png", true, 0, 0, false, true},
        {"main_cn_denied.png", true, 1, 0, false, true},
    };
    int failures = 0;
    for (const Shot& shot : shots) {
        shot.connected ? keyboard.Plug() : keyboard.Unplug();
        keyboard.ClearFaults();
        keyboard.DenyOpen(shot.denied);
        const QString path = out + QLatin1Char('/') + QLatin1String(shot.file);
        // The boxes of start-up are in the start-up language: the one asked for.
        if (shot.denied) {
            pugi::xml_document doc;
            app.LoadXml(doc, QStringLiteral("translator"),
                        shot.language == 1 ? QStringLiteral("lang_cn") : QStringLiteral("lang_en"));
            auto translator = std::make_shared<kb::ui::STranslator>();
            translator->Load(doc.child("language"));
            translators->SetLanguage(translator->Name());
            translators->InstallTranslator(translator);
            boxPrefix = path.chopped(4);
            boxCount = 0;
        }
        // What the keys were given, in a keymap the session reads.
        const QTemporaryDir keymapFolder;
        const std::string keymapPath =
            keymapFolder.filePath(QStringLiteral("keymap.xml")).toStdString();
        const kb::KeyboardIdentity identity{config.vid, config.pid, config.interfaceNumber,
                                            config.subdevice};
        {
            kb::KeyMemory memory(keymapPath, identity);
            remember(memory);
        }
        kb::KeyboardSession session(backend, gate, pacer, keymapPath, identity);
        kb::MainWindowServices services{session, platform, config};
        kb::CMainDlg window(services);
        if (!window.CreateHost()) {
            std::cerr << "the main layout did not load\n";
            return 1;
        }
        window.SendHostMessage(kb::ui::kWmInitDialog);
        boxPrefix.clear();
        window.SwitchLanguage(shot.language);
        if (shot.failing) {
            keyboard.FailAllExchanges(true);
        }
        window.show();
        if (auto* effects =
                window.FindChildByName2<kb::ui::SComboBox>(QStringLiteral("cmb_led_mode"))) {
            effects->SetCurSel(shot.effect, true);
        }
        QApplication::processEvents();
        if (!window.grab().save(path)) {
            std::cerr << "could not write " << path.toStdString() << "\n";
            ++failures;
        }
        window.DestroyWindow();
    }
    return failures == 0 ? 0 : 1;
}
