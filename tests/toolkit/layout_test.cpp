#include "toolkit_fixture.h"

namespace kb::ui::test {
namespace {

using LayoutTest = ToolkitEnv;

TEST_F(LayoutTest, BuildsTheTreeAndFindsByNameIdAndClass) {
    SHostWnd host("LAYOUT:main");
    ASSERT_TRUE(host.CreateHost());
    EXPECT_EQ(host.size(), QSize(400, 300));
    EXPECT_EQ(host.windowTitle(), "Configurator");

    const char* tags[][2] = {{"cap", "caption"},
                             {"title", "text"},
                             {"btn_more", "imgbtn"},
                             {"plain", "button"},
                             {"logo_link", "link"},
                             {"pic", "img"},
                             {"ed", "edit"},
                             {"chk", "check"},
                             {"r1", "radio"},
                             {"cmb_profile", "combobox"},
                             {"bar_speed", "sliderbar"},
                             {"macro_group", "listview"},
                             {"key_info", "mclistview"},
                             {"tab", "tabctrl"},
                             {"inpage", "text"},
                             {"from_include", "text"},
                             {"after_include", "text"}};
    for (const auto& t : tags) {
        SWindow* w = host.FindChildByName(t[0]);
        ASSERT_NE(w, nullptr) << t[0];
        EXPECT_TRUE(w->IsClass(t[1])) << t[0];
        EXPECT_STREQ(w->GetClassTag(), t[1]);
    }
    // Names of the named-id table get their ids.
    SWindow* more = host.FindChildByID(65537);
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(more->GetName(), "btn_more");
    EXPECT_EQ(host.FindChildByName("cmb_profile")->GetID(), 65542);
    EXPECT_EQ(host.FindChildByID(123456), nullptr);
    EXPECT_NE(host.FindChildByName2<SImageButton>("btn_more"), nullptr);
    EXPECT_NE(host.FindChildByName2<SButton>("btn_more"), nullptr);  // through the base
    EXPECT_NE(host.FindChildByID2<SComboBox>(65542), nullptr);

    // A failed typed lookup reports to the debug hook and gives none.
    QStringList reports;
    SetDebugHook([&](const QString& text) { reports << text; });
    EXPECT_EQ(host.FindChildByName2<SEdit>("btn_more"), nullptr);
    EXPECT_EQ(host.FindChildByID2<SEdit>(65542), nullptr);
    SetDebugHook({});
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0],
              "FindChildByName2 Failed, no window of class [edit] with name of [btn_more] was "
              "found within [-1] levels");
    EXPECT_EQ(reports[1],
              "FindChildByID2 Failed, no window of class [edit] with id of [65542] was found "
              "within [-1] levels");

    // Depth-limited search.
    SWindow* panel = host.FindChildByName("panel");
    EXPECT_EQ(host.GetRoot()->FindChildByName("plain", 1), nullptr);
    EXPECT_EQ(panel->FindChildByName("plain", 1), host.FindChildByName("plain"));
}

TEST_F(LayoutTest, UnknownTagsIncludesAndLoopsAreHandled) {
    SHostWnd host("LAYOUT:main");
    ASSERT_TRUE(host.CreateHost());
    EXPECT_EQ(host.FindChildByName("unknown"), nullptr);
    EXPECT_EQ(host.FindChildByName("lost"), nullptr);  // skipped with its parent
    // The self-including layout stops after a bounded depth.
    EXPECT_NE(host.FindChildByName("loop_text"), nullptr);
    // Missing images and skins leave the widget without them.
    auto* nopic = host.FindChildByName2<SImageWnd>("nopic");
    ASSERT_NE(nopic, nullptr);
    EXPECT_TRUE(nopic->GetImage().isNull());
    EXPECT_EQ(nopic->GetSkin(), nullptr);
}

// Layouts written here, served by a second resource folder next to the fixture's.
class HostileLayoutTest : public ToolkitEnv {
protected:
    void AddLayouts(const std::vector<std::pair<QString, std::string>>& layouts) {
        ASSERT_TRUE(extra_.isValid());
        QString index = QStringLiteral("<resource><LAYOUT>");
        for (const auto& [name, text] : layouts) {
            index += QStringLiteral("<file name=\"%1\" path=\"%1.xml\"/>").arg(name);
            QFile file(extra_.filePath(name + QStringLiteral(".xml")));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text.data(), static_cast<qint64>(text.size()));
        }
        QFile file(extra_.filePath(QStringLiteral("uires.idx")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((index + QStringLiteral("</LAYOUT></resource>")).toUtf8());
        file.close();
        auto provider = std::make_shared<SResProviderFiles>();
        ASSERT_TRUE(provider->Init(extra_.path()));
        app_->AddResProvider(provider, QString());
    }

    // Windows named prefix0, prefix1, ... each inside the one before, around `inner`.
    static std::string Nested(const char* prefix, int levels, const std::string& inner = {}) {
        std::string xml;
        for (int i = 0; i < levels; ++i) {
            xml += "<window name=\"" + std::string(prefix) + std::to_string(i) + "\">";
        }
        xml += inner;
        for (int i = 0; i < levels; ++i) {
            xml += "</window>";
        }
        return xml;
    }

    static int CountNamed(const SHostWnd& host, const QString& name) {
        int count = 0;
        for (const SWindow* w : host.GetRoot()->findChildren<SWindow*>()) {
            count += w->GetName() == name ? 1 : 0;
        }
        return count;
    }

    QTemporaryDir extra_;
};

// Elements nested deeper than 256 levels are left out instead of being built until the stack
// overflows; the levels count on across includes.
TEST_F(HostileLayoutTest, NestingDeeperThanTheLimitIsNotBuilt) {
    std::string tabs;
    for (int i = 0; i < 100000; ++i) {
        tabs += "<tabctrl><page>";
    }
    for (int i = 0; i < 100000; ++i) {
        tabs += "</page></tabctrl>";
    }
    AddLayouts(
        {{"deep", "<layout>" + Nested("w", 100000) + "</layout>"},
         {"tabs", "<layout>" + tabs + "</layout>"},
         {"outer", "<layout>" + Nested("a", 200, "<include src=\"LAYOUT:inner\"/>") + "</layout>"},
         {"inner", "<layout>" + Nested("b", 200) + "</layout>"}});

    SHostWnd deep("LAYOUT:deep");
    ASSERT_TRUE(deep.CreateHost());
    EXPECT_NE(deep.FindChildByName("w255"), nullptr);
    EXPECT_EQ(deep.FindChildByName("w256"), nullptr);

    SHostWnd tabsHost("LAYOUT:tabs");
    ASSERT_TRUE(tabsHost.CreateHost());
    int pages = 0;
    for (SWindow* w : tabsHost.GetRoot()->findChildren<SWindow*>()) {
        pages += dynamic_cast<STabPage*>(w) != nullptr ? 1 : 0;
    }
    EXPECT_EQ(pages, 128);  // levels 2, 4, ... 256

    SHostWnd outer("LAYOUT:outer");
    ASSERT_TRUE(outer.CreateHost());
    EXPECT_NE(outer.FindChildByName("a199"), nullptr);
    EXPECT_NE(outer.FindChildByName("b55"), nullptr);
    EXPECT_EQ(outer.FindChildByName("b56"), nullptr);
}

// A small layout that includes itself several times would otherwise be loaded thousands of
// times (3^8 within the depth limit alone); the includes of one layout are limited in number.
TEST_F(HostileLayoutTest, IncludesAreLimitedInTotal) {
    AddLayouts({{"fan", R"(<layout><include src="LAYOUT:fan"/><include src="LAYOUT:fan"/>
<include src="LAYOUT:fan"/><text name="fan_text"/></layout>)"},
                {"twice", R"(<layout><include src="LAYOUT:fan"/><include src="LAYOUT:fan"/>
<text name="twice_text"/></layout>)"}});
    SHostWnd host("LAYOUT:fan");
    ASSERT_TRUE(host.CreateHost());
    EXPECT_EQ(CountNamed(host, "fan_text"), 1 + 64);

    // The count belongs to one layout: the next one gets its own.
    SHostWnd twice("LAYOUT:twice");
    ASSERT_TRUE(twice.CreateHost());
    EXPECT_EQ(CountNamed(twice, "twice_text"), 1);
    EXPECT_EQ(CountNamed(twice, "fan_text"), 64);
}

// Numbers past int's range read as its limit; the positions built from them must not overflow
// when right and bottom are worked out.
TEST_F(HostileLayoutTest, HugePositionsAndMarginsAreKeptInRange) {
    AddLayouts({{"huge", R"(<layout>
<window name="far" pos="0,64444444444444444444,200,40" margin="99999999999"/>
<window name="wide" pos="-99999999999,5,99999999999,99999999999"/></layout>)"}});
    SHostWnd host("LAYOUT:huge");
    ASSERT_TRUE(host.CreateHost());
    SWindow* far = host.FindChildByName("far");
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->GetWindowRect(), QRect(0, 1000000, 200, 40));
    SWindow* wide = host.FindChildByName("wide");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->GetWindowRect(), QRect(-1000000, 5, 1000000, 1000000));
}

TEST_F(LayoutTest, BadLayoutsBuildNothing) {
    for (const char* name : {"LAYOUT:broken", "LAYOUT:NoFile", "LAYOUT:unlisted", "nocolon"}) {
        SHostWnd host(name);
        EXPECT_FALSE(host.CreateHost()) << name;
        ASSERT_NE(host.GetRoot(), nullptr);
        EXPECT_TRUE(host.GetRoot()->GetChildWindows().empty()) << name;
        EXPECT_EQ(host.FindChildByName("x"), nullptr);
    }
}

TEST_F(LayoutTest, PositionsAreRelativeToTheParentsClientArea) {
    SHostWnd host("LAYOUT:main");
    ASSERT_TRUE(host.CreateHost());
    SWindow* panel = host.FindChildByName("panel");
    EXPECT_EQ(panel->GetWindowRect(), QRect(10, 40, 380, 250));
    EXPECT_EQ(panel->GetClientRect(), QRect(15, 46, 370, 239));  // margin 5,6,5,5
    EXPECT_EQ(host.FindChildByName("plain")->GetWindowRect(), QRect(35, 46, 60, 20));
    EXPECT_EQ(host.FindChildByName("inpage")->GetWindowRect().topLeft(), QPoint(15, 46 + 195 + 20));
}

TEST_F(LayoutTest, TextsTranslateInTheLayoutContextAndAgainOnLanguageChange) {
    SHostWnd host("LAYOUT:main");
    ASSERT_TRUE(host.CreateHost());
    SWindow* title = host.FindChildByName("title");
    SWindow* plain = host.FindChildByName("plain");
    auto* combo = host.FindChildByName2<SComboBox>("cmb_profile");
    EXPECT_EQ(title->GetText(), "Lighting");
    EXPECT_EQ(plain->GetText(), "OK");  // @string/ok_text
    EXPECT_EQ(plain->GetToolTipText(), "Lighting");

    SWindow* status = host.FindChildByName("logo_link");
    status->SetText("Lighting");  // set by code: literal, never translated

    InstallChinese();
    host.GetRoot()->SendWndMessage(kMsgSetLanguage);
    EXPECT_EQ(title->GetText(), QString::fromUtf8("灯光"));
    EXPECT_EQ(title->GetText(true), "Lighting");
    EXPECT_EQ(plain->GetToolTipText(), QString::fromUtf8("灯光"));
    EXPECT_EQ(combo->GetLBText(0), QString::fromUtf8("配置 1"));
    EXPECT_EQ(status->GetText(), "Lighting");

    // Runtime strings pass through the translator too.
    const int added = combo->AddString("Lighting");
    EXPECT_EQ(combo->GetLBText(added), QString::fromUtf8("灯光"));

    // Back to a language without translations: every text returns to its source.
    app_->GetTranslator()->SetLanguage("en");
    host.GetRoot()->SendWndMessage(kMsgSetLanguage);
    EXPECT_EQ(title->GetText(), "Lighting");
    EXPECT_EQ(combo->GetLBText(0), "Profile 1");
    EXPECT_EQ(combo->GetLBText(added), "Lighting");
}

}  // namespace
}  // namespace kb::ui::test
