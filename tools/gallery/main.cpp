// kb-gallery: renders a layout of the resource folder offscreen into a PNG, for looking at the
// program's screens without a display.
//
//   kb-gallery [--layout LAYOUT:XML_MAINWND] [--lang en|cn] [--effect N] [--page N]
//              [--mark ID,ID,...] [--ticks N] [--uires DIR] [--scale F] --out FILE.png
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <cstdio>
#include <memory>
#include <pugixml.hpp>

#include "toolkit/toolkit.h"
#include "widgets/coord_button_image.h"
#include "widgets/register_widgets.h"
#include "widgets/tab_ctrl2.h"

namespace {

using namespace kb::ui;

void InstallLanguage(SApplication& app, const QString& lang) {
    auto manager = std::make_shared<STranslatorMgr>();
    app.SetTranslator(manager);
    pugi::xml_document doc;
    const QString name =
        lang == QLatin1String("cn") ? QStringLiteral("lang_cn") : QStringLiteral("lang_en");
    if (!app.LoadXml(doc, QStringLiteral("translator"), name)) {
        std::fprintf(stderr, "kb-gallery: no translator %s\n", qPrintable(name));
        return;
    }
    auto translator = std::make_shared<STranslator>();
    if (translator->Load(doc.child("language"))) {
        manager->InstallTranslator(translator);
    }
}

template <class T>
std::vector<T*> AllOf(SWindow* root) {
    std::vector<T*> out;
    if (!root) {
        return out;
    }
    for (SWindow* child : root->GetChildWindows()) {
        if (auto* w = dynamic_cast<T*>(child)) {
            out.push_back(w);
        }
        const std::vector<T*> deeper = AllOf<T>(child);
        out.insert(out.end(), deeper.begin(), deeper.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    // Offscreen unless the caller chose a platform; the scale must be set before Qt starts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--scale") {
            qputenv("QT_SCALE_FACTOR", argv[i + 1]);
        }
    }
    QApplication qapp(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption layoutOpt("layout", "Layout resource.", "name", "LAYOUT:XML_MAINWND");
    const QCommandLineOption langOpt("lang", "Language: en or cn.", "lang", "en");
    const QCommandLineOption effectOpt("effect", "Lighting effect index (cmb_led_mode).", "n");
    const QCommandLineOption pageOpt("page", "Page of the first tab control.", "n");
    const QCommandLineOption markOpt("mark", "Key ids to mark on the keyboard picture.", "ids");
    const QCommandLineOption ticksOpt("ticks", "Animation ticks (10 ms) to run first.", "n", "0");
    const QCommandLineOption uiresOpt("uires", "Resource folder.", "dir");
    const QCommandLineOption scaleOpt("scale", "Screen scale factor.", "f");
    const QCommandLineOption outOpt("out", "PNG file to write.", "file");
    parser.addOptions(
        {layoutOpt, langOpt, effectOpt, pageOpt, markOpt, ticksOpt, uiresOpt, scaleOpt, outOpt});
    parser.process(qapp);
    if (!parser.isSet(outOpt)) {
        std::fprintf(stderr, "kb-gallery: --out is required\n");
        return 2;
    }

    const QString folder = SApplication::ProgramFolder();
    SApplication app;
    app.RegisterNamedIds(ProgramNamedIds(), true);
    auto uires = std::make_shared<SResProviderFiles>();
    const QString uiresDir =
        parser.isSet(uiresOpt) ? parser.value(uiresOpt) : QDir(folder).filePath("uires");
    if (!uires->Init(uiresDir)) {
        std::fprintf(stderr, "kb-gallery: no resource folder at %s\n", qPrintable(uiresDir));
        return 1;
    }
    app.AddResProvider(uires, QStringLiteral("uidef:xml_init"));
    // The gallery's own layouts, looked up before the resource folder's.
    auto own = std::make_shared<SResProviderFiles>();
    if (own->Init(QDir(folder).filePath("gallery_res"))) {
        app.AddResProvider(own);
    }
    InstallLanguage(app, parser.value(langOpt));
    RegisterProgramWidgets(app);

    SHostWnd host(parser.value(layoutOpt));
    if (!host.CreateHost()) {
        std::fprintf(stderr, "kb-gallery: layout %s does not load\n",
                     qPrintable(parser.value(layoutOpt)));
        return 1;
    }
    if (parser.isSet(effectOpt)) {
        if (auto* combo = host.FindChildByName2<SComboBox>("cmb_led_mode")) {
            combo->SetCurSel(parser.value(effectOpt).toInt(), true);
        }
    }
    if (parser.isSet(pageOpt)) {
        const auto tabs = AllOf<STabCtrl>(host.GetRoot());
        if (!tabs.empty()) {
            tabs.front()->SetCurSel(parser.value(pageOpt).toInt());
        }
    }
    if (parser.isSet(markOpt)) {
        for (CoordButtonImage* keys : AllOf<CoordButtonImage>(host.GetRoot())) {
            for (const QString& id : parser.value(markOpt).split(',', Qt::SkipEmptyParts)) {
                keys->SetCheck(id.trimmed().toInt(), 1);
            }
        }
    }
    host.show();
    QApplication::processEvents();
    for (int i = parser.value(ticksOpt).toInt(); i > 0; --i) {
        host.RunTimelineTick();
    }
    QApplication::processEvents();
    const QImage image = host.grab().toImage();
    if (!image.save(parser.value(outOpt), "PNG")) {
        std::fprintf(stderr, "kb-gallery: cannot write %s\n", qPrintable(parser.value(outOpt)));
        return 1;
    }
    std::printf("%s: %dx%d\n", qPrintable(parser.value(outOpt)), image.width(), image.height());
    return 0;
}
