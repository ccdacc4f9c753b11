#include "widgets/extended_widgets.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include "toolkit/shostwnd.h"
#include "widget_test_support.h"
#include "widgets/coord_button_image.h"
#include "widgets/register_widgets.h"

namespace kb::ui {
namespace {

using test::Render;
using test::StateColor;

enum Group { kIn5 = 1, kOut3, kIn3, kBg4, kIcon };

std::vector<QColor> Colors(int group, int states) {
    std::vector<QColor> out;
    for (int s = 0; s < states; ++s) {
        out.push_back(StateColor(group, s));
    }
    return out;
}

void Enter(QWidget* w) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPointF(1, 1)));
    QCoreApplication::sendEvent(w, &event);
}

void Leave(QWidget* w) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(w, &event);
}

void Mouse(QWidget* w, QEvent::Type type) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(Qt::LeftButton) : Qt::NoButton;
    QMouseEvent event(type, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

class ExtendedWidgetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const struct {
            const char* name;
            int group;
            int states;
            int size;
        } skins[] = {{"in5", kIn5, 5, 8},
                     {"out3", kOut3, 3, 8},
                     {"in3", kIn3, 3, 8},
                     {"bg4", kBg4, 4, 8},
                     {"icon16", kIcon, 8, 16}};
        for (const auto& s : skins) {
            const QString image = QStringLiteral("img:%1").arg(s.name);
            res_.AddStrip(image, Colors(s.group, s.states), s.size, s.size);
            res_.AddSkin(s.name, image, s.states);
        }
        res_.AddXml("LAYOUT:ext", R"(<layout size="300,200">
            <anmimg name="anim" pos="0,0,10,10" ani_in="in5" ani_out="out3" interval="100"/>
            <anmimg name="noleave" pos="20,0" ani_in="in5" interval="100"/>
            <anmimg name="auto0" pos="40,0" ani_in="in3" autorun="0" interval="50"/>
            <anmimg name="auto2" pos="60,0" ani_in="in3" autorun="2" interval="0x32"/>
            <anmimg name="fast" pos="80,0" ani_in="in5" interval="25"/>
            <editex name="ed" pos="0,20,100,24"/>
            <checkex name="chk" pos="0,50,120,24" skin="bg4" iconSkin="icon16" iconPos="4,2"
                     textX="6" text="Text" colorText="#FF0000" font="size:16"/>
            <checkex name="plain" pos="0,80,120,24" iconSkin="icon16" text="Plain"/>
            <radioex name="rad" pos="0,110,120,24" skin="bg4" iconSkin="icon16" iconPos="1,3"
                     textY="2" group="g" text="Radio"/>
          </layout>)");
        res_.Start();
        host_ = std::make_unique<SHostWnd>("LAYOUT:ext");
        ASSERT_TRUE(host_->CreateHost());
    }
    template <class T>
    T* Find(const char* name) {
        T* w = host_->FindChildByName2<T>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            host_->RunTimelineTick();
        }
    }

    test::TestResources res_;
    std::unique_ptr<SHostWnd> host_;
};

TEST_F(ExtendedWidgetsTest, AnimImgPlaysOnHoverHoldsAndLeaves) {
    auto* anim = Find<SAnimImg>("anim");
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(Render(*anim).pixelColor(5, 5), StateColor(kIn5, 0));  // resting picture
    Enter(anim);
    std::vector<int> frames;
    for (int step = 0; step < 6; ++step) {
        frames.push_back(anim->ShownFrame());
        Ticks(10);
    }
    EXPECT_EQ(frames, std::vector<int>({0, 1, 2, 3, 4, 4}));
    EXPECT_EQ(Render(*anim).pixelColor(5, 5), StateColor(kIn5, 4));

    Leave(anim);
    Ticks(10);  // within one interval the leave frames start
    EXPECT_EQ(anim->AnimationState(), SAnimImg::kLeaving);
    EXPECT_EQ(Render(*anim).pixelColor(5, 5), StateColor(kOut3, 0));
    Ticks(10);
    EXPECT_EQ(anim->ShownFrame(), 1);
    Ticks(20);
    EXPECT_EQ(anim->AnimationState(), SAnimImg::kResting);
    EXPECT_EQ(Render(*anim).pixelColor(5, 5), StateColor(kIn5, 0));

    Enter(anim);  // a new hover restarts at frame 0
    EXPECT_EQ(anim->AnimationState(), SAnimImg::kEntering);
    EXPECT_EQ(anim->ShownFrame(), 0);
}

TEST_F(ExtendedWidgetsTest, AnimImgWithoutLeaveSkinHoldsTheLastFrame) {
    auto* anim = Find<SAnimImg>("noleave");
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(anim->size(), QSize(8, 8));  // measured from the enter skin
    Enter(anim);
    Ticks(40);
    Leave(anim);
    Ticks(100);
    EXPECT_EQ(anim->AnimationState(), SAnimImg::kEntering);
    EXPECT_EQ(Render(*anim).pixelColor(4, 4), StateColor(kIn5, 4));
}

TEST_F(ExtendedWidgetsTest, AnimImgAutorunAndShortIntervals) {
    auto* loop = Find<SAnimImg>("auto0");
    auto* every2s = Find<SAnimImg>("auto2");
    auto* fast = Find<SAnimImg>("fast");
    ASSERT_TRUE(loop && every2s && fast);
    EXPECT_EQ(every2s->Interval(), 50);

    std::vector<int> seen;
    for (int tick = 0; tick < 33; ++tick) {
        Ticks(1);
        seen.push_back(loop->ShownFrame());
    }
    // Three frames of 50 ms, over and over: the run restarts in the tick that ends it.
    for (size_t k = 0; k < seen.size(); ++k) {
        EXPECT_EQ(seen[k], static_cast<int>(k % 15 / 5)) << "tick " << k + 1;
    }

    // The 2-second picture: first run 2 s after creation (33 ticks have passed).
    EXPECT_EQ(every2s->AnimationState(), SAnimImg::kResting);
    Ticks(200 - 33 - 1);
    EXPECT_EQ(every2s->AnimationState(), SAnimImg::kResting);
    Ticks(1);
    EXPECT_EQ(every2s->AnimationState(), SAnimImg::kEntering);
    Ticks(15);  // three frames played
    EXPECT_EQ(every2s->AnimationState(), SAnimImg::kResting);
    EXPECT_TRUE(every2s->AutorunPending());
    Ticks(198);
    EXPECT_EQ(every2s->AnimationState(), SAnimImg::kResting);
    Ticks(1);
    EXPECT_EQ(every2s->AnimationState(), SAnimImg::kEntering);

    // interval 25 with 10 ms ticks: a frame lasts 30 ms.
    Enter(fast);
    std::vector<int> fastFrames;
    for (int tick = 0; tick < 7; ++tick) {
        Ticks(1);
        fastFrames.push_back(fast->ShownFrame());
    }
    EXPECT_EQ(fastFrames, std::vector<int>({0, 0, 1, 1, 1, 2, 2}));
}

TEST_F(ExtendedWidgetsTest, EditExRaisesKeyEnterInsteadOfTakingIt) {
    auto* ed = Find<SEditEx>("ed");
    ASSERT_NE(ed, nullptr);
    std::vector<EventArgs> raised;
    ed->SubscribeEvent(kEvtKeyEnter, [&](EventArgs& e) {
        raised.push_back(e);
        return true;
    });
    QTest::keyClicks(ed->LineEdit(), "12");
    QTest::keyClick(ed->LineEdit(), Qt::Key_Return);
    QTest::keyClick(ed->LineEdit(), Qt::Key_Enter);
    EXPECT_EQ(ed->GetText(), "12");
    ASSERT_EQ(raised.size(), 2u);
    EXPECT_EQ(raised[0].sender, ed);
    EXPECT_EQ(raised[0].senderName, "ed");
    EXPECT_EQ(raised[0].kind, 10000500);
}

TEST_F(ExtendedWidgetsTest, ClickEnablesADisabledEditEx) {
    auto* ed = Find<SEditEx>("ed");
    ASSERT_NE(ed, nullptr);
    ed->EnableWindow(false);
    Mouse(ed->LineEdit(), QEvent::MouseButtonPress);
    EXPECT_FALSE(ed->IsDisabled());
    ed->EnableWindow(false);
    Mouse(ed->LineEdit(), QEvent::MouseButtonRelease);
    EXPECT_FALSE(ed->IsDisabled());
}

TEST_F(ExtendedWidgetsTest, CheckExIconAndTextPlaces) {
    auto* chk = Find<SCheckBoxEx>("chk");
    auto* rad = Find<SRadioBoxEx>("rad");
    ASSERT_TRUE(chk && rad);
    EXPECT_EQ(chk->GetTextRect(), QRect(QPoint(26, 2), QPoint(119, 23)));
    EXPECT_EQ(rad->GetTextRect(), QRect(QPoint(17, 5), QPoint(119, 23)));

    // Everything drawn besides the skin and the icon is text: where does it start?
    const auto inkLeft = [chk] {
        const QImage img = Render(*chk);
        const QRect icon(4, 2, 16, 16);
        int left = -1;
        for (int x = 0; x < 110 && left < 0; ++x) {
            for (int y = 0; y < img.height(); ++y) {
                if (!icon.contains(x, y) && img.pixelColor(x, y) != StateColor(kBg4, 0)) {
                    left = x;
                    break;
                }
            }
        }
        return left;
    };
    const int left = inkLeft();
    EXPECT_GE(left, 25);  // 26, less a pixel of antialiasing
    EXPECT_LE(left, 28);
    chk->SetAttribute("textX", "26");
    EXPECT_EQ(inkLeft(), left + 20);
    chk->SetAttribute("textX", "6");
    const QImage img = Render(*chk);
    EXPECT_EQ(img.pixelColor(12, 10), StateColor(kIcon, 0));
}

TEST_F(ExtendedWidgetsTest, CheckAndRadioSkinAndIconStates) {
    auto* chk = Find<SCheckBoxEx>("chk");
    auto* plain = Find<SCheckBoxEx>("plain");
    auto* rad = Find<SRadioBoxEx>("rad");
    ASSERT_TRUE(chk && plain && rad);
    const auto drawn = [](SWindow* w, QPoint icon) {
        const QImage img = Render(*w);
        return std::make_pair(img.pixelColor(w->width() - 10, w->height() / 2),
                              img.pixelColor(icon));
    };

    chk->SetCheck(true);
    EXPECT_EQ(drawn(chk, {12, 10}), std::make_pair(StateColor(kBg4, 3), StateColor(kIcon, 4)));
    Enter(chk);  // checked and hovered: skin state 1, not the last state
    EXPECT_EQ(drawn(chk, {12, 10}), std::make_pair(StateColor(kBg4, 1), StateColor(kIcon, 5)));
    Mouse(chk, QEvent::MouseButtonPress);
    EXPECT_EQ(drawn(chk, {12, 10}), std::make_pair(StateColor(kBg4, 2), StateColor(kIcon, 6)));
    Leave(chk);
    chk->EnableWindow(false);
    EXPECT_EQ(chk->IconState(), 7);  // disabled wins over pressed

    rad->SetCheck(false);
    Enter(rad);
    Mouse(rad, QEvent::MouseButtonPress);
    EXPECT_EQ(drawn(rad, {9, 11}), std::make_pair(StateColor(kBg4, 2), StateColor(kIcon, 2)));
    Mouse(rad, QEvent::MouseButtonRelease);
    EXPECT_TRUE(rad->IsChecked());
    EXPECT_EQ(rad->SkinState(), 1);  // still under the pointer
    EXPECT_EQ(rad->IconState(), 5);

    // Without a background skin the icon still follows the check state.
    plain->SetCheck(true);
    EXPECT_EQ(Render(*plain).pixelColor(8, 8), StateColor(kIcon, 4));
    EXPECT_EQ(chk->GetDesiredSize(), QSize(8, 8));
}

TEST(RegisterProgramWidgets, KeepsExistingRegistrations) {
    test::EnsureApp();
    SApplication app;
    ASSERT_TRUE(
        app.RegisterWidget("cbimg", "window", [](QWidget*) -> SWindow* { return nullptr; }));
    EXPECT_EQ(RegisterProgramWidgets(app), 7);
    EXPECT_EQ(RegisterProgramWidgets(app), 0);
    EXPECT_EQ(app.CreateWidget("cbimg", nullptr), nullptr);  // the earlier factory stays
    const std::pair<const char*, const char*> bases[] = {
        {"shellnotifyicon", "window"}, {"page2", "page"},  {"tabctrl2", "tabctrl"},
        {"anmimg", "window"},          {"editex", "edit"}, {"radioex", "radio"},
        {"checkex", "check"}};
    for (const auto& [tag, base] : bases) {
        EXPECT_TRUE(app.IsRegistered(tag)) << tag;
        EXPECT_EQ(app.BaseTagOf(tag), base) << tag;
    }
    std::unique_ptr<SWindow> edit(app.CreateWidget("EditEx", nullptr));
    EXPECT_TRUE(edit && edit->IsClass("editex") && edit->IsClass("edit") &&
                edit->IsClass("window"));
}

}  // namespace
}  // namespace kb::ui
