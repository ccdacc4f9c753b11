#include "toolkit/menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <pugixml.hpp>

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

}  // namespace
}  // namespace kb::ui
