// Renders the screens of the resource folder offscreen for looking at:
//   resource_shots OUTPUT_FOLDER [SCALE]
// The main window once per lighting effect (with the panels that effect shows), the
// key-assignment dialog's four pages with sample rows, and both message boxes, in English and
// Chinese. With SCALE 2 the files end in @2x.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <cstdio>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "toolkit/msgbox.h"
#include "toolkit/toolkit.h"
#include "widgets/coord_button_image.h"
#include "widgets/register_widgets.h"

namespace {

using namespace kb::ui;

// Containers shown per effect, in the order brightness, speed, direction, colour, second colour,
// areas.
constexpr bool kPanels[10][6] = {
    {true, true, true, false, false, false},  {true, true, true, true, false, false},
    {true, true, true, true, false, false},   {true, false, false, false, true, false},
    {true, true, false, true, false, false},  {true, true, false, false, false, false},
    {true, true, true, false, false, false},  {true, false, false, false, false, false},
    {true, false, false, false, false, true}, {true, false, false, false, false, false},
};
const char* const kPanelNames[6] = {"bar_brightness_parent",  "bar_speed_parent",
                                    "radio_direction_parent", "bar_color_parent",
                                    "bar_color_parent_black", "udef_area_parent"};

QString g_out;
QString g_suffix;
int g_failures = 0;

void Save(QWidget* w, const QString& name) {
    QApplication::processEvents();
    const QString path = g_out + QLatin1Char('/') + name + g_suffix + QStringLiteral(".png");
    if (!w->grab().toImage().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

void SetLanguage(SApplication& app, const char* lang) {
    auto manager = std::make_shared<STranslatorMgr>();
    pugi::xml_document doc;
    if (app.LoadXml(doc, QStringLiteral("translator"), QLatin1String(lang))) {
        auto t = std::make_shared<STranslator>();
        if (t->Load(doc.child("language"))) {
            manager->InstallTranslator(t);
        }
    }
    app.SetTranslator(manager);
}

void ShowMain(const QString& lang) {
    for (int effect = 0; effect < 10; ++effect) {
        SHostWnd host(QStringLiteral("LAYOUT:XML_MAINWND"));
        if (!host.CreateHost()) {
            ++g_failures;
            return;
        }
        if (auto* combo = host.FindChildByName2<SComboBox>(QStringLiteral("cmb_led_mode"))) {
            combo->SetCurSel(effect);
        }
        for (int p = 0; p < 6; ++p) {
            if (SWindow* panel = host.FindChildByName(QLatin1String(kPanelNames[p]))) {
                panel->SetVisible(kPanels[effect][p]);
            }
        }
        if (auto* keys = host.FindChildByName2<CoordButtonImage>(QStringLiteral("img_keyboard"))) {
            for (int id : {0x04, 0x29, 0x2C, 0x3A, 0x58}) {  // A, Esc, space, F1, Pad Enter
                keys->SetCheck(id, 1);
            }
        }
        if (SWindow* status = host.FindChildByName(QStringLiteral("version"))) {
            status->SetText(effect % 2 ? QStringLiteral("Disconnected")
                                       : QStringLiteral("Connected"));
        }
        host.show();
        Save(&host, QStringLiteral("main_%1_effect%2").arg(lang).arg(effect));
    }
}

class Groups : public SAdapterBase {
public:
    int GetCount() override { return 4; }
    void GetView(int position, SWindow* item, const pugi::xml_node&) override {
        if (SWindow* name = item->FindChildByName(QStringLiteral("group_name"))) {
            const char* names[] = {"Group 0", "Reload", "Build order", "Quick chat"};
            name->SetText(QLatin1String(names[position]));
        }
    }
};

class Steps : public SMcAdapterBase {
public:
    int GetCount() override { return 6; }
    void GetView(int position, SWindow* item, const pugi::xml_node&) override {
        const char* rows[][4] = {{"224", "Ctrl Left", "key down", "0"},
                                 {"6", "C", "key down", "35"},
                                 {"6", "C", "key up", "82"},
                                 {"224", "Ctrl Left", "key up", "41"},
                                 {"25", "V", "key down", "120"},
                                 {"25", "V", "key up", "64"}};
        const char* cells[] = {"key_code", "key_name", "key_state", "key_delay"};
        for (int c = 0; c < 4; ++c) {
            if (SWindow* w = item->FindChildByName(QLatin1String(cells[c]))) {
                w->SetText(QLatin1String(rows[position][c]), c == 2);
            }
        }
    }
};

void ShowDialog(const QString& lang) {
    pugi::xml_document config;
    config.load_file(qPrintable(SApplication::ProgramFolder() + QStringLiteral("/config.xml")));
    for (int page = 0; page < 4; ++page) {
        SHostWnd host(QStringLiteral("LAYOUT:macro"));
        if (!host.CreateHost()) {
            ++g_failures;
            return;
        }
        if (SWindow* keys = host.FindChildByName(QStringLiteral("text_recording_keys"))) {
            keys->SetText(QStringLiteral("A,Pad Enter"));
        }
        if (SWindow* single = host.FindChildByName(QStringLiteral("edit_single_key"))) {
            single->SetText(QStringLiteral("F5"));
        }
        for (const char* list : {"mediakey", "functkey"}) {
            auto* combo = host.FindChildByName2<SComboBox>(
                list[0] == 'm' ? QStringLiteral("cmb_media_keys")
                               : QStringLiteral("cmb_function_keys"));
            for (pugi::xml_node k : config.child(list).children()) {
                if (combo) {
                    combo->AddString(QString::fromUtf8(k.attribute("name").value()));
                }
            }
            if (combo) {
                combo->SetCurSel(1);
            }
        }
        if (auto* groups = host.FindChildByName2<SListView>(QStringLiteral("macro_group"))) {
            groups->SetAdapter(std::make_shared<Groups>());
            groups->SetSel(1);
        }
        if (auto* steps = host.FindChildByName2<SMcListView>(QStringLiteral("key_info"))) {
            steps->SetAdapter(std::make_shared<Steps>());
            steps->SetSel(2);
        }
        if (auto* fixed = host.FindChildByName(QStringLiteral("chk_macro_fixed_delay"))) {
            fixed->SetCheck(true);
        }
        if (SWindow* delay = host.FindChildByName(QStringLiteral("edit_macro_delay_time"))) {
            delay->SetText(QStringLiteral("20"));
        }
        if (SWindow* repeat = host.FindChildByName(QStringLiteral("edit_macro_repeat_times"))) {
            repeat->SetText(QStringLiteral("1"));
        }
        if (auto* tabs =
                host.FindChildByName2<STabCtrl>(QStringLiteral("tab_macro_mode_selection"))) {
            tabs->SetCurSel(page);
        }
        host.show();
        Save(&host, QStringLiteral("macro_%1_page%2").arg(lang).arg(page));
    }
}

void ShowMessageBoxes(const QString& lang) {
    QString name;
    SetMessageBoxHook([&](QWidget* box) {
        Save(box, name);
        if (auto* dialog = dynamic_cast<SHostDialog*>(box)) {
            dialog->EndDialog(kIdOk);
        }
    });
    name = QStringLiteral("msgbox_%1_ok").arg(lang);
    SMessageBox(nullptr, QStringLiteral("Failed to open USB"), QStringLiteral("Warning"), kMbOk);
    name = QStringLiteral("msgbox_%1_okcancel").arg(lang);
    SMessageBox(nullptr,
                QStringLiteral("All settings will be restored, are you sure you want to continue?"),
                QStringLiteral("Warning"), kMbOkCancel);
    name = QStringLiteral("msgbox_%1_long").arg(lang);
    SMessageBox(nullptr,
                QStringLiteral("Insufficient space, please delete the record button first."),
                QStringLiteral("Warning"), kMbOk);
    SetMessageBoxHook({});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: resource_shots OUTPUT_FOLDER [SCALE]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 2 && std::string(argv[2]) != "1") {
        qputenv("QT_SCALE_FACTOR", argv[2]);
        g_suffix = QStringLiteral("@%1x").arg(QString::fromLocal8Bit(argv[2]));
    }
    QApplication qapp(argc, argv);
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);

    SApplication app;
    auto files = std::make_shared<SResProviderFiles>();
    if (!files->Init(SApplication::ProgramFolder() + QStringLiteral("/uires"))) {
        std::fprintf(stderr, "no uires next to the program\n");
        return 1;
    }
    app.AddResProvider(files, QStringLiteral("uidef:xml_init"));
    app.RegisterNamedIds(ProgramNamedIds());
    RegisterProgramWidgets(app);
    for (const char* lang : {"en", "cn"}) {
        SetLanguage(app, lang[0] == 'e' ? "lang_en" : "lang_cn");
        ShowMain(QLatin1String(lang));
        ShowDialog(QLatin1String(lang));
        ShowMessageBoxes(QLatin1String(lang));
    }
    return g_failures == 0 ? 0 : 1;
}
