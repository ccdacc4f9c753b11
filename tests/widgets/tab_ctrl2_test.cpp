#include "widgets/tab_ctrl2.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>

#include "widget_test_support.h"

namespace kb::ui {
namespace {

using test::Render;
using test::StateColor;

enum Group { kHdr = 1, kSep, kHeadBg, kIco, kIn4, kOut4, kIn1, kOut1 };

std::vector<QColor> Colors(int group, int states) {
    std::vector<QColor> out;
    for (int s = 0; s < states; ++s) {
        out.push_back(StateColor(group, s));
    }
    return out;
}

// Four headers 40 wide with 4-pixel separator places: header i starts at i * 44.
class TabCtrl2Test : public ::testing::Test {
protected:
    void SetUp() override {
        const struct {
            const char* name;
            int group;
            int states;
        } skins[] = {{"hdr", kHdr, 3}, {"sep", kSep, 1},  {"headbg", kHeadBg, 1},
                     {"ico", kIco, 4}, {"in4", kIn4, 4},  {"out4", kOut4, 4},
                     {"in1", kIn1, 1}, {"out1", kOut1, 1}};
        for (const auto& s : skins) {
            const QString image = QStringLiteral("img:%1").arg(s.name);
            res_.AddStrip(image, Colors(s.group, s.states), 8, 8);
            res_.AddSkin(s.name, image, s.states);
        }
        res_.AddXml("LAYOUT:tabs", R"(<layout size="200,100">
            <tabctrl2 name="tab" pos="0,0,200,100" curSel="1" tabWidth="40" tabHeight="20"
                      tabInterSize="4" tabSkin="hdr" tabInterSkin="sep" tabHeadBgSkin="headbg"
                      iconSkin="ico" icon-x="2" icon-y="2">
              <page2 ani_in="in4" ani_out="out4"/>
              <page2 ani_in="in1" ani_out="out1"/>
              <page title="not a page2"/>
              <page2/>
              <page2 ani_in="in4" ani_out="out4" iconIndex="2"/>
            </tabctrl2></layout>)");
        res_.Start();
        host_ = std::make_unique<SHostWnd>("LAYOUT:tabs");
        ASSERT_TRUE(host_->CreateHost());
        tab_ = host_->FindChildByName2<STabCtrl2>("tab");
        ASSERT_NE(tab_, nullptr);
    }

    void MoveTo(int x, int y) {
        QMouseEvent event(QEvent::MouseMove, QPointF(x, y), tab_->mapToGlobal(QPointF(x, y)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tab_, &event);
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            host_->RunTimelineTick();
        }
    }
    // Colour in the middle of header i's icon place (the selected header 1 is 4 pixels wider).
    QColor Icon(int i) {
        const int left = i * 44 - (i == tab_->GetCurSel() ? 4 : 0);
        return Render(*tab_).pixelColor(left + 6, 6);
    }

    test::TestResources res_;
    std::unique_ptr<SHostWnd> host_;
    STabCtrl2* tab_ = nullptr;
};

TEST_F(TabCtrl2Test, PagesOnlyFromPage2Elements) {
    ASSERT_EQ(tab_->GetItemCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(tab_->GetPage2(i), nullptr);
    }
    EXPECT_EQ(host_->TimelineHandlerCount(), 1u);
    delete tab_;
    EXPECT_EQ(host_->TimelineHandlerCount(), 0u);
}

TEST_F(TabCtrl2Test, HeaderBackgroundAndSeparatorsAroundTheSelection) {
    const QImage img = Render(*tab_);
    EXPECT_EQ(img.pixelColor(190, 10), StateColor(kHeadBg, 0));  // strip beyond the headers
    EXPECT_EQ(img.pixelColor(41, 10), StateColor(kHdr, 2));      // selected covers its left
    EXPECT_EQ(img.pixelColor(86, 10), StateColor(kHdr, 2));      // ... and its right place
    EXPECT_EQ(img.pixelColor(130, 10), StateColor(kSep, 0));     // other separators stay
    EXPECT_EQ(img.pixelColor(20, 15), StateColor(kHdr, 0));
    // Plain icons: iconIndex, or the header index when it is -1.
    EXPECT_EQ(img.pixelColor(6, 6), StateColor(kIco, 0));
    EXPECT_EQ(img.pixelColor(132 + 6, 6), StateColor(kIco, 2));

    tab_->SetCurSel(0);
    const QImage first = Render(*tab_);
    EXPECT_EQ(first.pixelColor(42, 10), StateColor(kHdr, 2));  // header 0 grown to the right
    EXPECT_EQ(first.pixelColor(60, 10), StateColor(kHdr, 0));  // header 1 keeps its own place
    EXPECT_EQ(first.pixelColor(86, 10), StateColor(kSep, 0));
}

TEST_F(TabCtrl2Test, EnterFramesAtFiftyMsThenHoldTheLast) {
    MoveTo(10, 10);
    EXPECT_EQ(tab_->GetPage2(0)->AnimationState(), STabPage2::kEntering);
    EXPECT_EQ(Icon(0), StateColor(kIn4, 0));
    Ticks(4);
    EXPECT_EQ(Icon(0), StateColor(kIn4, 0));
    Ticks(1);
    EXPECT_EQ(Icon(0), StateColor(kIn4, 1));
    Ticks(5);
    EXPECT_EQ(Icon(0), StateColor(kIn4, 2));
    Ticks(5);
    EXPECT_EQ(Icon(0), StateColor(kIn4, 3));
    Ticks(50);
    EXPECT_EQ(Icon(0), StateColor(kIn4, 3));
    EXPECT_EQ(tab_->GetPage2(0)->AnimationState(), STabPage2::kEntering);
}

TEST_F(TabCtrl2Test, MovingIntoThePageStartsTheLeavingAnimation) {
    MoveTo(10, 10);
    Ticks(7);
    // Qt tells only the page that the pointer came in from its parent.
    STabPage* page = tab_->GetItem(tab_->GetCurSel());
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), page->mapToGlobal(QPointF(10, 10)));
    QCoreApplication::sendEvent(page, &enter);
    EXPECT_EQ(tab_->HoverItem(), -1);
    EXPECT_EQ(tab_->GetPage2(0)->AnimationState(), STabPage2::kLeaving);
    EXPECT_EQ(Icon(0), StateColor(kOut4, 0));
}

TEST_F(TabCtrl2Test, MovingAcrossHeadersLeavesOneAndEntersTheNext) {
    MoveTo(10, 10);
    Ticks(7);
    MoveTo(140, 10);  // straight from header 0 to header 3
    EXPECT_EQ(tab_->GetPage2(0)->AnimationState(), STabPage2::kLeaving);
    EXPECT_EQ(tab_->GetPage2(3)->AnimationState(), STabPage2::kEntering);
    std::vector<QColor> seen;
    for (int step = 0; step < 4; ++step) {
        seen.push_back(Icon(0));
        Ticks(5);
    }
    // Leave frames 0, 1, 2, then the plain icon: the last leave frame never shows.
    EXPECT_EQ(seen, std::vector<QColor>({StateColor(kOut4, 0), StateColor(kOut4, 1),
                                         StateColor(kOut4, 2), StateColor(kIco, 0)}));
    EXPECT_EQ(tab_->GetPage2(0)->AnimationState(), STabPage2::kIdle);
    EXPECT_EQ(Icon(3), StateColor(kIn4, 3));
}

TEST_F(TabCtrl2Test, SingleFrameAndMissingSkins) {
    MoveTo(60, 10);  // selected header 1: one-frame skins
    Ticks(20);
    EXPECT_EQ(Icon(1), StateColor(kIn1, 0));
    MoveTo(100, 10);  // header 2: no animation skins
    EXPECT_EQ(Icon(1), StateColor(kOut1, 0));
    EXPECT_EQ(Icon(2), StateColor(kIco, 2));
    Ticks(4);
    EXPECT_EQ(Icon(1), StateColor(kOut1, 0));
    Ticks(1);
    EXPECT_EQ(Icon(1), StateColor(kIco, 1));
    EXPECT_EQ(tab_->GetPage2(2)->AnimationState(), STabPage2::kIdle);
    EXPECT_EQ(Icon(2), StateColor(kIco, 2));
}

}  // namespace
}  // namespace kb::ui
