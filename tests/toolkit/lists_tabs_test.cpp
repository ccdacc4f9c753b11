#include <QLineEdit>
#include <QTest>

#include "toolkit_fixture.h"

namespace kb::ui::test {
namespace {

class RowAdapter : public SAdapterBase {
public:
    QStringList rows{"a", "b", "c"};
    std::vector<int> viewed;
    bool templateSeen = true;
    int GetCount() override { return static_cast<int>(rows.size()); }
    void GetView(int position, SWindow* item, const pugi::xml_node& xmlTemplate) override {
        viewed.push_back(position);
        templateSeen = templateSeen && xmlTemplate && item->GetUserData() == position;
        if (SWindow* edit = item->FindChildByName("group_name")) {
            edit->SetText(rows[position]);
        } else {
            templateSeen = false;
        }
    }
};

class StepAdapter : public SMcAdapterBase {
public:
    int GetCount() override { return 2; }
    void GetView(int position, SWindow* item, const pugi::xml_node&) override {
        item->FindChildByName("key_code")->SetText(QString::number(position));
    }
    // Up on the clicked column, down when it already showed up; the others lose their marks.
    bool OnSort(int column, std::vector<SortMark>& marks) override {
        const auto col = static_cast<size_t>(column);
        const SortMark next = marks[col] == SortMark::Up ? SortMark::Down : SortMark::Up;
        std::fill(marks.begin(), marks.end(), SortMark::None);
        marks[col] = next;
        ++sorts;
        return true;
    }
    int sorts = 0;
};

class ListTest : public ToolkitEnv {
protected:
    void SetUp() override {
        ToolkitEnv::SetUp();
        host_ = std::make_unique<SHostWnd>("LAYOUT:main");
        ASSERT_TRUE(host_->CreateHost());
        host_->show();
    }
    void TearDown() override {
        host_.reset();
        ToolkitEnv::TearDown();
    }
    std::unique_ptr<SHostWnd> host_;
};

TEST_F(ListTest, AdapterDrivesRowsBuiltOnceFromTheTemplate) {
    auto* list = host_->FindChildByName2<SListView>("macro_group");
    ASSERT_NE(list, nullptr);
    auto adapter = std::make_shared<RowAdapter>();
    list->SetAdapter(adapter);
    ASSERT_EQ(list->GetItemCount(), 3);
    EXPECT_EQ(list->TemplateBuilds(), 3);
    EXPECT_TRUE(adapter->templateSeen);
    EXPECT_EQ(list->GetItemPanel(1)->FindChildByName("group_name")->GetText(), "b");
    EXPECT_EQ(list->GetItemPanel(2)->geometry().top(), 40);  // itemHeight 20

    // Data changes: every row is asked again, only new rows build the template.
    adapter->rows << "d"
                  << "e";
    adapter->viewed.clear();
    adapter->NotifyDataSetChanged();
    EXPECT_EQ(list->GetItemCount(), 5);
    EXPECT_EQ(list->TemplateBuilds(), 5);
    EXPECT_EQ(adapter->viewed, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(list->GetItemPanel(4)->FindChildByName("group_name")->GetText(), "e");

    list->SetSel(4);
    adapter->rows = QStringList{"x"};
    adapter->NotifyDataSetChanged();
    EXPECT_EQ(list->GetItemCount(), 1);
    EXPECT_EQ(list->GetSel(), -1);  // the selected row went away
    EXPECT_EQ(list->GetItemPanel(0)->FindChildByName("group_name")->GetText(), "x");
    EXPECT_EQ(list->GetItemPanel(1), nullptr);
}

TEST_F(ListTest, SelectionWithAndWithoutEventsAndRowClicks) {
    auto* list = host_->FindChildByName2<SListView>("macro_group");
    auto adapter = std::make_shared<RowAdapter>();
    list->SetAdapter(adapter);
    std::vector<std::pair<int, int>> changes;
    list->SubscribeEvent(kEvtListViewSelChanged, [&](EventArgs& e) {
        changes.emplace_back(e.oldSel, e.newSel);
        return true;
    });
    list->SetSel(1);  // quietly
    EXPECT_EQ(list->GetSel(), 1);
    EXPECT_TRUE(list->GetItemPanel(1)->IsSelected());
    list->SetSel(2, true);
    list->SetSel(2, true);  // no change, no event
    list->SetSel(9, true);  // past the end: none
    EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{1, 2}, {2, -1}}));

    // A press inside a row (on its edit) selects the row and raises the row's command.
    int rowCommands = -1;
    SItemPanel* row0 = list->GetItemPanel(0);
    row0->SubscribeEvent(kEvtCommand, [&](EventArgs& e) {
        rowCommands = static_cast<int>(e.sender->GetUserData());
        return true;
    });
    QTest::mouseClick(row0->FindChildByName2<SEdit>("group_name")->LineEdit(), Qt::LeftButton);
    EXPECT_EQ(list->GetSel(), 0);
    EXPECT_EQ(rowCommands, 0);
    EXPECT_EQ(changes.back(), (std::pair<int, int>{-1, 0}));
}

TEST_F(ListTest, MultiColumnHeaderSortMarksAndCellPlacement) {
    auto* mc = host_->FindChildByName2<SMcListView>("key_info");
    ASSERT_NE(mc, nullptr);
    ASSERT_EQ(mc->GetColumnCount(), 2);
    EXPECT_EQ(mc->GetColumn(1).name, "col2");
    auto adapter = std::make_shared<StepAdapter>();
    mc->SetAdapter(adapter);
    ASSERT_EQ(mc->GetItemCount(), 2);
    SItemPanel* row = mc->GetItemPanel(1);
    EXPECT_EQ(row->FindChildByName("key_code")->GetText(), "1");
    EXPECT_EQ(row->FindChildByName("col2")->geometry(), QRect(50, 0, 80, 20));

    const struct {
        int column;
        SortMark first;
        SortMark second;
    } clicks[] = {{0, SortMark::Up, SortMark::None},
                  {0, SortMark::Down, SortMark::None},
                  {1, SortMark::None, SortMark::Up},
                  {1, SortMark::None, SortMark::Down},
                  {0, SortMark::Up, SortMark::None}};
    for (const auto& c : clicks) {
        mc->ClickHeader(c.column);
        EXPECT_EQ(mc->GetSortMark(0), c.first);
        EXPECT_EQ(mc->GetSortMark(1), c.second);
    }
    // A real click on the header goes the same way.
    QTest::mouseClick(mc, Qt::LeftButton, {}, mc->ColumnRect(1).center());
    EXPECT_EQ(mc->GetSortMark(1), SortMark::Up);
    EXPECT_EQ(adapter->sorts, 6);
    mc->ClickHeader(7);  // no such column
    EXPECT_EQ(adapter->sorts, 6);
}

TEST_F(ListTest, TabSelectionAndHeaderHoverEvents) {
    auto* tab = host_->FindChildByName2<STabCtrl>("tab");
    ASSERT_NE(tab, nullptr);
    ASSERT_EQ(tab->GetItemCount(), 3);  // <bogus/> is no page
    EXPECT_EQ(tab->GetCurSel(), 1);
    EXPECT_EQ(tab->GetItem(2)->GetTitle(), "C");
    EXPECT_TRUE(tab->GetItem(1)->IsVisible());
    EXPECT_FALSE(tab->GetItem(0)->IsVisible());

    std::vector<std::string> seen;
    auto record = [&](const char* what) {
        return [&seen, what](EventArgs& e) {
            seen.push_back(what + std::to_string(e.kind == kEvtTabSelChanged ? e.newSel : e.index));
            return false;
        };
    };
    tab->SubscribeEvent(kEvtTabSelChanged, record("sel"));
    tab->SubscribeEvent(kEvtTabItemHover, record("hover"));
    tab->SubscribeEvent(kEvtTabItemLeave, record("leave"));

    EXPECT_TRUE(tab->SetCurSel(2));
    EXPECT_FALSE(tab->SetCurSel(2));
    EXPECT_FALSE(tab->SetCurSel(3));
    EXPECT_TRUE(tab->GetItem(2)->IsVisible());
    EXPECT_FALSE(tab->GetItem(1)->IsVisible());

    QTest::mouseMove(tab, tab->GetItemRect(0).center());
    QTest::mouseMove(tab, tab->GetItemRect(1).center());
    QTest::mouseMove(tab, QPoint(290, 5));  // past the last header
    QTest::mouseClick(tab, Qt::LeftButton, {}, tab->GetItemRect(0).center());
    EXPECT_EQ(seen, (std::vector<std::string>{"sel2", "hover0", "leave0", "hover1", "leave1",
                                              "hover0", "sel0"}));
    EXPECT_EQ(tab->GetItemRect(1), QRect(60, 0, 60, 20));
}

TEST_F(ListTest, HeaderLosesItsHoverWhenThePointerMovesIntoThePage) {
    auto* tab = host_->FindChildByName2<STabCtrl>("tab");
    ASSERT_NE(tab, nullptr);
    std::vector<std::string> seen;
    tab->SubscribeEvent(kEvtTabItemLeave, [&](EventArgs& e) {
        seen.push_back("leave" + std::to_string(e.index));
        return false;
    });
    const QPoint header = tab->GetItemRect(1).center();
    const QPoint page = tab->GetPageRect().center();
    ASSERT_EQ(tab->childAt(page), tab->GetItem(tab->GetCurSel()));

    QTest::mouseMove(tab, header);
    ASSERT_EQ(tab->HoverItem(), 1);
    QTest::mouseMove(tab, QPoint(header.x(), page.y()));  // straight down into the page
    EXPECT_EQ(tab->HoverItem(), -1);
    EXPECT_EQ(seen, std::vector<std::string>{"leave1"});
    QTest::mouseMove(tab, header);  // and back up
    EXPECT_EQ(tab->HoverItem(), 1);
}

// A derived tab control taking only its own page tag and drawing headers itself.
class OwnPage : public STabPage {
    KB_UI_CLASS(OwnPage, STabPage, "ownpage")
public:
    using STabPage::STabPage;
};

class OwnTabs : public STabCtrl {
    KB_UI_CLASS(OwnTabs, STabCtrl, "owntabs")
public:
    using STabCtrl::STabCtrl;
    std::vector<int> drawn;

protected:
    STabPage* CreatePageFromXml(const pugi::xml_node& element) override {
        if (std::string(element.name()) != "ownpage") {
            return nullptr;
        }
        return STabCtrl::CreatePageFromXml(element);
    }
    void DrawItem(QPainter& painter, const QRect& rect, int index, int state) override {
        drawn.push_back(index * 10 + state);
        STabCtrl::DrawItem(painter, rect, index, state);
    }
};

TEST_F(ListTest, DerivedTabControlChoosesItsPagesAndDrawsHeaders) {
    ASSERT_TRUE(app_->RegisterWidget<OwnPage>());
    ASSERT_TRUE(app_->RegisterWidget<OwnTabs>());
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<root><owntabs name="t" pos="0,0,200,60" tabWidth="50"
        tabHeight="20"><page title="plain"/><ownpage title="one"/><ownpage title="two"/></owntabs></root>)"));
    SWindow parent;
    parent.resize(200, 60);
    parent.CreateChildren(doc.child("root"));
    auto* tabs = parent.FindChildByName2<OwnTabs>("t");
    ASSERT_NE(tabs, nullptr);
    EXPECT_TRUE(tabs->IsClass("tabctrl"));
    ASSERT_EQ(tabs->GetItemCount(), 2);
    EXPECT_EQ(tabs->GetItem(0)->GetTitle(), "one");
    tabs->grab();
    EXPECT_EQ(tabs->drawn, (std::vector<int>{2, 10}));  // header 0 selected (state 2)
}

}  // namespace
}  // namespace kb::ui::test
