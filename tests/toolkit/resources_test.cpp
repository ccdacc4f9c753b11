#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "toolkit/theme.h"
#include "toolkit_fixture.h"

namespace kb::ui::test {
namespace {

using ResourceTest = ToolkitEnv;

TEST_F(ResourceTest, LookupIgnoresCaseAndChecksLengths) {
    EXPECT_TRUE(app_->HasResource("layout:MAIN"));
    EXPECT_TRUE(app_->HasResource("LAYOUT:main"));
    EXPECT_TRUE(app_->HasResource("Img:Btn4"));
    EXPECT_FALSE(app_->HasResource("layout:nothing"));
    EXPECT_FALSE(app_->HasResource("main"));   // no colon
    EXPECT_FALSE(app_->HasResource(":main"));  // empty type
    EXPECT_FALSE(app_->LoadRawData("LAYOUT:MAIN").isEmpty());

    QString type;
    QString name;
    EXPECT_TRUE(SApplication::SplitResName(QString(29, 'a') + ":" + QString(99, 'b'), type, name));
    EXPECT_FALSE(SApplication::SplitResName(QString(30, 'a') + ":x", type, name));
    EXPECT_FALSE(SApplication::SplitResName("x:" + QString(100, 'b'), type, name));
}

TEST_F(ResourceTest, MissingOrBrokenIndexProvidesNothing) {
    SResProviderFiles missing;
    EXPECT_FALSE(missing.Init(dir_.filePath("no_such_folder")));
    EXPECT_EQ(missing.Count(), 0u);

    QTemporaryDir broken;
    QFile idx(broken.filePath("uires.idx"));
    ASSERT_TRUE(idx.open(QIODevice::WriteOnly));
    idx.write("<resource><LAYOUT><file name=");
    idx.close();
    SResProviderFiles provider;
    EXPECT_FALSE(provider.Init(broken.path()));
    EXPECT_FALSE(provider.HasResource("LAYOUT", "main"));

    // A listed file that does not exist loads as nothing.
    pugi::xml_document doc;
    EXPECT_FALSE(app_->LoadXml(doc, "LAYOUT:NoFile"));
    EXPECT_TRUE(app_->LoadPixmap("img:nothing").isNull());
    EXPECT_TRUE(app_->LoadPixmap("LAYOUT:main").isNull());  // not an image
}

#ifdef __linux__
// Image plug-ins this process has mapped (each one costs start-up time and memory).
int MappedImagePlugins() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) {
        return -1;
    }
    return static_cast<int>(maps.readAll().count("/imageformats/"));
}

// Run on its own (as ctest runs each test), so that no image written by Qt (whose writer
// loads every plug-in) comes before it.
TEST(PictureDecoding, NamedBySuffixWithoutLoadingImagePlugins) {
    if (MappedImagePlugins() != 0) {
        GTEST_SKIP() << "an earlier test of this process loaded image plug-ins";
    }
    // Two pixels, red and blue, as a PNG file.
    static const char kPng[] =
        "\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x00\x02\x00\x00\x00\x01\x08\x06"
        "\x00\x00\x00\xf4\x22\x7f\x8a\x00\x00\x00\x0eIDAT\x78\x9c\x63\xf8\xcf\xc0\x00"
        "\x42\xff\x01\x0f\xf9\x03\xfd\x85\x11\x99\x76\x00\x00\x00\x00IEND\xae\x42\x60\x82";
    const QByteArray png(kPng, sizeof(kPng) - 1);
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("image")));
    for (const char* name : {"image/dot.png", "image/mislabelled.gif", "uires.idx"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(name) == "uires.idx"
                       ? QByteArray("<resource><img><file name=\"dot\" path=\"image/dot.png\"/>"
                                    "<file name=\"mislabelled\" path=\"image/mislabelled.gif\"/>"
                                    "</img></resource>")
                       : png);
    }
    auto provider = std::make_shared<SResProviderFiles>();
    ASSERT_TRUE(provider->Init(dir.path()));
    SApplication app;
    app.AddResProvider(provider, QString());

    const QPixmap dot = app.LoadPixmap("img:dot");
    ASSERT_EQ(dot.size(), QSize(2, 1));
    EXPECT_EQ(dot.toImage().pixelColor(1, 0), QColor(Qt::blue));
    EXPECT_EQ(MappedImagePlugins(), 0);
    // A file whose suffix names another format is still read by its content.
    EXPECT_EQ(app.LoadPixmap("img:mislabelled").size(), QSize(2, 1));
}
#endif

TEST_F(ResourceTest, UiDefinitionLoadsStringColourAndSkinTables) {
    // Entries sorted by name: "_instance" comes first although it is written last.
    ASSERT_EQ(app_->StringCount(), 3);
    EXPECT_EQ(app_->StringAt(0), "kb.instance");
    EXPECT_EQ(app_->InstanceName(), "kb.instance");
    EXPECT_EQ(app_->StringAt(1), "Configurator");
    EXPECT_TRUE(app_->StringAt(3).isNull());
    EXPECT_EQ(app_->ResolveString("@string/ok_text"), "OK");
    EXPECT_EQ(app_->ResolveString("@string/none"), "@string/none");
    EXPECT_EQ(app_->ResolveString("plain"), "plain");
    // Looked up each time, so a later change shows.
    app_->SetString("_a", "first");
    EXPECT_EQ(app_->InstanceName(), "first");

    QColor c;
    ASSERT_TRUE(app_->ParseColor("@color/accent", c));
    EXPECT_EQ(c, QColor(0x00, 0xC8, 0xFF));
    ASSERT_TRUE(app_->ParseColor("#11223344", c));
    EXPECT_EQ(c, QColor(0x11, 0x22, 0x33, 0x44));
    EXPECT_FALSE(app_->ParseColor("#12345", c));
    EXPECT_FALSE(app_->ParseColor("@color/none", c));

    ASSERT_NE(app_->GetSkin("BTN4"), nullptr);
    EXPECT_EQ(app_->GetSkin("btn4")->States(), 4);
    EXPECT_EQ(app_->GetSkin("btn4")->SkinSize(), QSize(10, 10));
    EXPECT_EQ(app_->GetSkin("vert")->SkinSize(), QSize(10, 10));
    EXPECT_EQ(app_->GetSkin("missing"), nullptr);  // its image does not exist
}

TEST_F(ResourceTest, SkinsDrawTheirStates) {
    QImage img(100, 10, QImage::Format_ARGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    app_->GetSkin("btn4")->Draw(p, QRect(0, 0, 10, 10), 2);
    app_->GetSkin("btn4")->Draw(p, QRect(10, 0, 10, 10), 9);  // clamped to the last state
    app_->GetSkin("vert")->Draw(p, QRect(20, 0, 10, 10), 1);
    // Nine-patch: the 10-pixel side columns keep their size, the middle stretches.
    app_->GetSkin("frame")->Draw(p, QRect(30, 0, 70, 10), 0);
    p.end();
    EXPECT_EQ(img.pixelColor(5, 5), Btn4Color(2));
    EXPECT_EQ(img.pixelColor(15, 5), Btn4Color(3));
    EXPECT_EQ(img.pixelColor(25, 5), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(31, 5), QColor(Qt::blue));
    EXPECT_EQ(img.pixelColor(39, 5), QColor(Qt::blue));
    EXPECT_EQ(img.pixelColor(41, 5), QColor(Qt::green));
    EXPECT_EQ(img.pixelColor(88, 5), QColor(Qt::green));
    EXPECT_EQ(img.pixelColor(91, 5), QColor(Qt::red));
}

TEST(ThemeStyleSheet, ReplacesEachColourReference) {
    ASSERT_EQ(SApplication::Instance(), nullptr);  // the fallback colours
    const std::pair<const char*, const char*> cases[] = {
        {"a { color: @color/accent; }", "a { color: #00c8ff; }"},
        {"@color/accent@color/selection,", "#00c8ffrgba(0, 200, 255, 56),"},
        {"b: @color/no_such_colour", "b: #000000"},          // unknown: an invalid colour
        {"c: @color/; d: @color", "c: @color/; d: @color"},  // no name: left as it is
        {"@color/@color/text_dim!", "@color/#8b93a1!"},
        {"", ""},
    };
    for (const auto& [sheet, expected] : cases) {
        EXPECT_EQ(ThemeStyleSheet(QString::fromUtf8(sheet)), QString::fromUtf8(expected)) << sheet;
    }
}

TEST(NamedIds, TableHasTheProgramIdsInLayoutOrder) {
    const std::vector<NamedId>& table = ProgramNamedIds();
    ASSERT_EQ(table.size(), 127u);
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].id, 65535 + static_cast<int>(i)) << table[i].name.toStdString();
    }
    SApplication app;
    app.RegisterNamedIds(table);
    const struct {
        const char* name;
        int id;
    } cases[] = {{"_name_start", 65535},
                 {"title", 65536},
                 {"btn_more", 65537},
                 {"version", 65543},
                 {"btnMin", 65545},
                 {"btnDelete", 65580},
                 {"msgtitle", 65581},
                 {"button3rd", 65587},
                 {"bar_brightness_parent", 65588},
                 {"bar_color0", 65596},
                 {"bar_color77", 65612},
                 {"udef_area_parent", 65613},
                 {"udef_area1_color1", 65614},
                 {"udef_area3_color1", 65622},
                 {"udef_area5_color1", 65630},
                 {"udef_area2_color1", 65638},
                 {"udef_area4_color1", 65646},
                 {"udef_area6_color1", 65654},
                 {"udef_area6_color8", 65661}};
    for (const auto& c : cases) {
        EXPECT_EQ(app.IdOfName(c.name), c.id) << c.name;
    }
    EXPECT_EQ(app.IdOfName("BTN_MORE"), 0);  // names are exact
    EXPECT_EQ(app.NameOfId(65580), "btnDelete");
    // Held sorted by name.
    const std::vector<NamedId>& sorted = app.NamedIds();
    ASSERT_EQ(sorted.size(), 127u);
    for (size_t i = 1; i < sorted.size(); ++i) {
        EXPECT_LT(sorted[i - 1].name, sorted[i].name);
    }
}

TEST(Factory, RegistrationKeepsTheFirstAndClassTestsFollowBases) {
    SApplication app;
    EXPECT_TRUE(app.IsRegistered("IMGBTN"));
    EXPECT_FALSE(app.RegisterWidget("button", "window",
                                    [](QWidget* p) -> SWindow* { return new SStatic(p); }));
    std::unique_ptr<SWindow> button(app.CreateWidget("button", nullptr));
    EXPECT_NE(dynamic_cast<SButton*>(button.get()), nullptr);  // the first registration stays

    EXPECT_TRUE(app.RegisterWidget("checkex", "check",
                                   [](QWidget* p) -> SWindow* { return new SCheckBox(p); }));
    EXPECT_TRUE(app.TagIsA("checkex", "button"));
    EXPECT_TRUE(app.TagIsA("checkex", "window"));
    EXPECT_FALSE(app.TagIsA("checkex", "radio"));
    EXPECT_EQ(app.BaseTagOf("imgbtn"), "button");

    SImageButton imgbtn;
    EXPECT_TRUE(imgbtn.IsClass("imgbtn"));
    EXPECT_TRUE(imgbtn.IsClass("Button"));
    EXPECT_TRUE(imgbtn.IsClass("window"));
    EXPECT_FALSE(imgbtn.IsClass("check"));
    SMcListView mc;
    EXPECT_TRUE(mc.IsClass("mclistview"));
    EXPECT_FALSE(mc.IsClass("listview"));
    EXPECT_EQ(app.CreateWidget("nonsense", nullptr), nullptr);
}

}  // namespace
}  // namespace kb::ui::test
