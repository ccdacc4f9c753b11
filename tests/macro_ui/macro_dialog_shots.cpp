// Renders the key-assignment dialog's four pages, in use, into PNGs for looking at:
//   macro_dialog_shots <output folder>
// Writes macro_<page>_<language>.png for English and Chinese (the media page also closed).
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <pugixml.hpp>

#include "config/device_config.h"
#include "macro/macro_dialog_state.h"
#include "macro/ui/macro_record_dlg.h"
#include "platform/recording_platform.h"
#include "toolkit/named_ids.h"
#include "toolkit/sapp.h"
#include "toolkit/slistview.h"
#include "toolkit/stabctrl.h"
#include "toolkit/swidgets.h"
#include "toolkit/translator.h"
#include "widgets/register_widgets.h"

namespace {

using namespace kb;

class FixedClock : public RecordingClock {
public:
    std::int32_t NowMs() const override { return now; }
    std::int32_t now = 0;
};

bool UseLanguage(ui::SApplication& app, const QString& name) {
    auto translators = std::make_shared<ui::STranslatorMgr>();
    pugi::xml_document doc;
    if (!app.LoadXml(doc, QStringLiteral("translator:lang_") + name)) {
        return false;
    }
    auto translator = std::make_shared<ui::STranslator>();
    translator->Load(doc.child("language"));
    translators->InstallTranslator(translator);
    app.SetTranslator(translators);
    return true;
}

// The dialog with an open combo box's list drawn where it drops.
QPixmap GrabWithPopup(QWidget& dialog, ui::SComboBox* combo) {
    QPixmap shot = dialog.grab();
    if (combo == nullptr) {
        return shot;
    }
    combo->Combo()->showPopup();
    QApplication::processEvents();
    QWidget* popup = combo->Combo()->view()->window();
    if (popup != nullptr && popup->isVisible()) {
        QPainter painter(&shot);
        painter.drawPixmap(dialog.mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
    }
    combo->Combo()->hidePopup();
    return shot;
}

void Save(const QPixmap& shot, const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name;
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    ui::SApplication app;
    auto files = std::make_shared<ui::SResProviderFiles>();
    if (!files->Init(ui::SApplication::ProgramFolder() + QStringLiteral("/uires"))) {
        return 2;
    }
    app.AddResProvider(files, QStringLiteral("uidef:xml_init"));
    app.RegisterNamedIds(ui::ProgramNamedIds());
    ui::RegisterProgramWidgets(app);
    const DeviceConfig config = DeviceConfig::LoadFrom(
        (ui::SApplication::ProgramFolder() + QStringLiteral("/config.xml")).toStdString());

    const std::filesystem::path data =
        std::filesystem::temp_directory_path() / "kb_macro_dialog_shots";
    platform::RecordingPlatform platform;
    FixedClock clock;
    const KeySelection keys{{0x2B, "Tab"}};

    for (const QString& language : {QStringLiteral("en"), QStringLiteral("cn")}) {
        if (!UseLanguage(app, language)) {
            return 3;
        }
        std::filesystem::remove_all(data);
        std::filesystem::create_directories(data);
        MacroDialogState state((data / "store.xml").string());
        state.mediasel = 1;
        state.functsel = 2;
        const MacroDialogServices services{platform, config, state, data.string(), clock};
        MacroRecordDlg dialog(services, keys);
        dialog.CreateHost();
        dialog.SendHostMessage(ui::kWmInitDialog);
        dialog.show();
        QApplication::processEvents();

        // Macro page: two groups, the first recorded with real delays, the recording still on.
        auto click = [&](const char* name) {
            QTest::mouseClick(dialog.FindChildByName(QString::fromLatin1(name)), Qt::LeftButton);
        };
        click("groupAdd");
        click("groupAdd");
        auto* groups = dynamic_cast<ui::SListView*>(dialog.FindChildByName("macro_group"));
        QTest::mouseClick(
            groups->GetItemPanel(0)->FindChildByName2<ui::SEdit>("group_name")->LineEdit(),
            Qt::LeftButton);
        click("chk_macro_record");
        const std::uint32_t keysDown[] = {0xA2, 0x43, 0x43, 0xA2, 0x41, 0x41};
        const unsigned messages[] = {platform::kKeyDown, platform::kKeyDown, platform::kKeyUp,
                                     platform::kKeyUp,   platform::kKeyDown, platform::kKeyUp};
        for (int i = 0; i < 6; ++i) {
            clock.now += 60 + 45 * i;
            platform.PressKey(messages[i], keysDown[i]);
        }
        dynamic_cast<ui::SListView*>(dialog.FindChildByName("key_info"))->SetSel(3);
        QApplication::processEvents();
        Save(dialog.grab(), out, QStringLiteral("macro_0_%1.png").arg(language));
        click("chk_macro_record");

        auto* tab = dynamic_cast<ui::STabCtrl*>(dialog.FindChildByName("tab_macro_mode_selection"));
        tab->SetCurSel(1);
        platform.PressKey(platform::kKeyDown, 0x70);  // F1
        QApplication::processEvents();
        Save(dialog.grab(), out, QStringLiteral("macro_1_%1.png").arg(language));

        tab->SetCurSel(2);
        QApplication::processEvents();
        Save(dialog.grab(), out, QStringLiteral("macro_2_closed_%1.png").arg(language));
        Save(GrabWithPopup(dialog,
                           dynamic_cast<ui::SComboBox*>(dialog.FindChildByName("cmb_media_keys"))),
             out, QStringLiteral("macro_2_%1.png").arg(language));

        tab->SetCurSel(3);
        QApplication::processEvents();
        Save(GrabWithPopup(
                 dialog, dynamic_cast<ui::SComboBox*>(dialog.FindChildByName("cmb_function_keys"))),
             out, QStringLiteral("macro_3_%1.png").arg(language));
        dialog.DestroyWindow();
    }
    std::filesystem::remove_all(data);
    return 0;
}
