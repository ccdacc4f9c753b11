#include "mainwindow/profile_overview.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

namespace kb {
namespace {

ProfileOverview::Texts SomeTexts() {
    return {"Assigned keys of Profile 1", "Keys with an assignment: 3.", "Assigned key",
            "What it does", "No key of this profile holds an assignment."};
}

std::vector<OverviewRow> SomeRows() {
    return {{0x3A, "F1", "Mute", QColor(0x3D, 0xDC, 0x84)},
            {0x39, "Caps Lock", "\u2192 Left Ctrl", QColor(0x4D, 0xA3, 0xFF)},
            {0x04, "A", "Macro \"Hello\" \u00d73", QColor(0xFF, 0xA2, 0x3A)}};
}

// The centre of row `row` as the e2e test finds it: from the overview's fixed geometry.
QPoint RowCentre(const ProfileOverview& overview, int row) {
    const QWidget* list = overview.List();
    const QPoint inList(
        60, 1 + kOverviewHeaderHeight + row * kOverviewRowHeight + kOverviewRowHeight / 2);
    return list->mapTo(&overview, inList);
}

TEST(ProfileOverviewTest, ListsTheKeysInOrderAndAClickedRowChoosesItsKey) {
    ProfileOverview overview(nullptr, SomeTexts(), SomeRows());
    overview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overview));
    const QTreeWidget* list = overview.List();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "Caps Lock");
    EXPECT_EQ(list->topLevelItem(1)->text(1), QString::fromUtf8("\u2192 Left Ctrl"));
    EXPECT_EQ(list->headerItem()->text(1), "What it does");
    EXPECT_EQ(overview.windowTitle(), "Assigned keys of Profile 1");
    // Where the real-window test clicks: the list's place is fixed by the constants.
    EXPECT_EQ(list->mapTo(&overview, QPoint(0, 0)).y(),
              kOverviewMargin + kOverviewSummaryHeight + kOverviewSpacing);
    EXPECT_EQ(list->header()->height(), kOverviewHeaderHeight);
    for (int row = 0; row < 3; ++row) {
        const QPoint centre = list->viewport()->mapFrom(&overview, RowCentre(overview, row));
        EXPECT_EQ(list->itemAt(centre), list->topLevelItem(row)) << row;
    }

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->viewport()->mapFrom(&overview, RowCentre(overview, 2)));
    EXPECT_EQ(overview.ChosenKey(), 0x04);
    EXPECT_EQ(overview.result(), QDialog::Accepted);
}

TEST(ProfileOverviewTest, EnterChoosesTheCurrentRowAndEscapeChoosesNothing) {
    {
        ProfileOverview overview(nullptr, SomeTexts(), SomeRows());
        overview.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&overview));
        overview.List()->setFocus();
        QTest::keyClick(overview.List(), Qt::Key_Down);
        QTest::keyClick(overview.List(), Qt::Key_Return);
        EXPECT_EQ(overview.ChosenKey(), 0x39);
    }
    ProfileOverview overview(nullptr, SomeTexts(), SomeRows());
    overview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overview));
    QTest::keyClick(&overview, Qt::Key_Escape);
    EXPECT_EQ(overview.ChosenKey(), -1);
    EXPECT_EQ(overview.result(), QDialog::Rejected);
}

TEST(ProfileOverviewTest, AProfileWithoutAssignedKeysSaysSo) {
    ProfileOverview overview(nullptr, SomeTexts(), {});
    overview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overview));
    EXPECT_FALSE(overview.List()->isVisible());
    const auto* summary = overview.findChild<QLabel*>("overview_summary");
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->text(), "No key of this profile holds an assignment.");
}

}  // namespace
}  // namespace kb
