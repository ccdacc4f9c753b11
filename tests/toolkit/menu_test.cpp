#include "toolkit/menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QMenu>
#include <QTimer>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "memory_resources.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "toolkit/translator.h"

namespace kb::ui {
namespace {

std::optional<SMenuModel> Parse(const char* xml, const SMenuTextFn& text = {}) {
    pugi::xml_document doc;
    if (!doc.load_string(xml)) {
        return std::nullopt;
    }
    return ParseMenu(doc.document_element(), text);
}

TEST(ParseMenu, ClassicMenuWithSubmenuSeparatorAndStates) {
    const auto model = Parse(R"(
        <menu>
          <item id="1" text="Upgrade" icon="main:more_menu_png"/>
          <sep/>
          <item text="More">
            <item id="0x10" text="Deep"/>
            <item id="17" enable="0">Inner text</item>
          </item>
          <menuItem id="99" text="wrong kind"/>
          <item id="6" text="Exit"/>
        </menu>)");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->kind, SMenuKind::Classic);
    ASSERT_EQ(model->items.size(), 4u);
    EXPECT_EQ(model->items[0].id, 1);
    EXPECT_EQ(model->items[0].text, "Upgrade");
    EXPECT_EQ(model->items[0].icon, "main:more_menu_png");
    EXPECT_TRUE(model->items[1].separator);
    const SMenuItem& more = model->items[2];
    ASSERT_EQ(more.children.size(), 2u);
    EXPECT_EQ(more.children[0].id, 16);
    EXPECT_EQ(more.children[1].id, 17);
    EXPECT_EQ(more.children[1].text, "Inner text");
    EXPECT_FALSE(more.children[1].enabled);
    EXPECT_EQ(model->items[3].id, 6);
}

TEST(ParseMenu, ExtendedRootsAndTranslatedTexts) {
    const SMenuTextFn upper = [](const QString& raw) { return raw.toUpper(); };
    for (const char* root : {"menuRoot", "menuItem"}) {
        const std::string xml = std::string("<") + root +
                                R"(><menuItem id="1" text="upgrade"/><sep/>)"
                                R"(<menuItem text="sub"><menuItem id="6" text="exit"/></menuItem>)"
                                R"(<item id="5" text="classic entry"/></)" +
                                root + ">";
        const auto model = Parse(xml.c_str(), upper);
        ASSERT_TRUE(model) << root;
        EXPECT_EQ(model->kind, SMenuKind::Extended);
        ASSERT_EQ(model->items.size(), 3u) << root;
        EXPECT_EQ(model->items[0].text, "UPGRADE");
        ASSERT_EQ(model->items[2].children.size(), 1u);
        EXPECT_EQ(model->items[2].children[0].id, 6);
        EXPECT_EQ(model->items[2].children[0].text, "EXIT");
    }
}

TEST(ParseMenu, UnknownRootsGiveNoMenu) {
    EXPECT_FALSE(Parse("<layout><item id='1'/></layout>"));
    EXPECT_FALSE(Parse("<Menu><item id='1'/></Menu>"));
    EXPECT_FALSE(ParseMenu(pugi::xml_node()));
    // Bad ids give an entry that delivers nothing rather than a wrong command.
    const auto model = Parse("<menu><item id='abc' text='x'/><item id='012' text='y'/></menu>");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->items[0].id, 0);
    EXPECT_EQ(model->items[1].id, 12);
}

// Nesting is bounded so that a hostile menu file cannot exhaust the stack: 256 levels of items
// below the root are a menu, one more (or 100,000 more) is refused.
TEST(ParseMenu, NestingDeeperThanTheLimitIsRefused) {
    const auto nested = [](int levels) {
        std::string xml = "<menu>";
        for (int i = 0; i < levels; ++i) {
            xml += "<item text='x'>";
        }
        for (int i = 0; i < levels; ++i) {
            xml += "</item>";
        }
        return xml + "</menu>";
    };
    const auto model = Parse(nested(256).c_str());
    ASSERT_TRUE(model);
    const SMenuItem* item = &model->items.at(0);
    int levels = 1;
    for (; !item->children.empty(); item = &item->children.front()) {
        ++levels;
    }
    EXPECT_EQ(levels, 256);
    EXPECT_FALSE(Parse(nested(257).c_str()));
    EXPECT_FALSE(Parse(nested(100000).c_str()));
}

// Records the menu commands that reach its message hook.
class RecordingHost : public SHostWnd {
public:
    RecordingHost() : SHostWnd(QStringLiteral("LAYOUT:none")) {}
    std::vector<qintptr> commands;

protected:
    bool OnHostMessage(unsigned msg, qintptr wParam, qintptr /*lParam*/, qintptr& result) override {
        if (msg == kWmCommand) {
            commands.push_back(wParam);
            result = 0;
            return true;
        }
        return false;
    }
};

constexpr char kMoreMenu[] = R"(
<menuRoot trCtx="menu">
  <menuItem id="1" text="Upgrade firmware" icon="main:icon_upgrade_png"/>
  <sep/>
  <menuItem text="@string/more">
    <menuItem id="16" text="Deep"/>
  </menuItem>
  <menuItem id="6" text="Exit"/>
</menuRoot>)";

constexpr char kChinese[] = R"(
<language name="cn" guid="{6f1c2a4e-93b7-4d0a-8e55-1b2c3d4e5f60}">
  <context name="menu">
    <message><source>Upgrade firmware</source><translation>升级固件</translation></message>
    <message><source>More</source><translation>更多</translation></message>
  </context>
</language>)";

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SApplication::Instance()) {
            app_ = std::make_unique<SApplication>();
        }
        SApplication* app = SApplication::Instance();
        app->AddResProvider(provider_);
        app->SetString("more", "More");
        auto manager = std::make_shared<STranslatorMgr>();
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(kChinese));
        auto translator = std::make_shared<STranslator>();
        ASSERT_TRUE(translator->Load(doc.child("language")));
        manager->InstallTranslator(translator);
        app->SetTranslator(manager);

        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        provider_->Add("main:icon_upgrade_png", png.data());
        provider_->Add("SMENUEX:menu_more", kMoreMenu);
    }
    void TearDown() override {
        SApplication::Instance()->RemoveResProvider(provider_.get());
        SApplication::Instance()->SetTranslator(nullptr);
    }

    // Runs `answer` on the open pop-up from inside its loop, then tracks the menu.
    static int Track(SMenu& menu, QWidget* owner, std::function<void(QMenu*)> answer) {
        QTimer::singleShot(0, [answer] {
            auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            EXPECT_TRUE(popup);
            if (popup) {
                answer(popup);
            }
            // Never leave the test blocked in the menu's loop.
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (qobject_cast<QMenu*>(w) && w->isVisible()) {
                    w->close();
                }
            }
        });
        return menu.TrackPopupMenu(owner, QPoint(20, 30));
    }

    std::shared_ptr<MemProvider> provider_ = std::make_shared<MemProvider>();
    std::unique_ptr<SApplication> app_;
};

QAction* FindAction(QMenu* menu, int id) {
    for (QAction* action : menu->findChildren<QAction*>()) {
        if (!action->menu() && !action->isSeparator() && action->data().toInt() == id) {
            return action;
        }
    }
    return nullptr;
}

TEST_F(MenuTest, LoadsResourceWithTranslatedTextsAndIcons) {
    SMenu menu;
    ASSERT_TRUE(menu.LoadMenu("smenuex:menu_more"));  // declared as SMENUEX:menu_more
    const SMenuModel* model = menu.Model();
    ASSERT_TRUE(model);
    EXPECT_EQ(model->items[0].text, QString::fromUtf8("升级固件"));
    EXPECT_EQ(model->items[2].text, QString::fromUtf8("更多"));  // @string/, then translated
    EXPECT_EQ(model->items[3].text, "Exit");                     // no translation: as written

    Track(menu, nullptr, [](QMenu* popup) {
        EXPECT_FALSE(popup->styleSheet().isEmpty());
        QAction* upgrade = FindAction(popup, 1);
        ASSERT_TRUE(upgrade);
        EXPECT_FALSE(upgrade->icon().isNull());
        EXPECT_TRUE(FindAction(popup, 6)->icon().isNull());
    });
}

TEST_F(MenuTest, ChosenCommandReachesTheOwnerOnce) {
    struct Case {
        int choose;  // 0: close without choosing
        int expected;
    };
    for (const Case c : {Case{6, 6}, Case{16, 16}, Case{0, 0}}) {
        SCOPED_TRACE(c.choose);
        RecordingHost owner;
        SMenu menu;
        ASSERT_TRUE(menu.LoadMenu("SMENUEX:menu_more"));
        const int chosen = Track(menu, &owner, [&](QMenu* popup) {
            if (c.choose == 0) {
                popup->close();
                return;
            }
            QAction* action = FindAction(popup, c.choose);
            ASSERT_TRUE(action);
            action->trigger();
        });
        EXPECT_EQ(chosen, c.expected);
        if (c.expected == 0) {
            EXPECT_TRUE(owner.commands.empty());
        } else {
            ASSERT_EQ(owner.commands.size(), 1u);
            EXPECT_EQ(LowWord(owner.commands[0]), c.expected);
            EXPECT_EQ(HighWord(owner.commands[0]), 0);
        }
    }
}

TEST_F(MenuTest, MissingOrBadResourceOpensNothing) {
    provider_->Add("SMENU:bad", "<layout/>");
    provider_->Add("SMENU:broken", "<menu><item");
    for (const char* name : {"SMENU:menu_tray", "SMENU:bad", "SMENU:broken"}) {
        RecordingHost owner;
        SMenu menu;
        EXPECT_FALSE(menu.LoadMenu(name)) << name;
        // Returns at once: there is nothing to show.
        EXPECT_EQ(menu.TrackPopupMenu(&owner, QPoint(0, 0)), 0) << name;
        EXPECT_TRUE(owner.commands.empty());
    }
}

}  // namespace
}  // namespace kb::ui
