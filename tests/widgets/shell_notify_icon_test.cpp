#include "widgets/shell_notify_icon.h"

#include <gtest/gtest.h>

#include <QTest>

#include "toolkit/menu.h"
#include "toolkit/msgbox.h"
#include "toolkit/shostwnd.h"
#include "widget_test_support.h"
#include "widgets/upgrade_notice.h"

namespace kb::ui {
namespace {

// A host whose message hook records everything and may take the tray notification.
class HookHost : public SHostWnd {
public:
    using SHostWnd::SHostWnd;
    struct Msg {
        unsigned msg;
        qintptr wParam;
        qintptr lParam;
    };
    std::vector<Msg> messages;
    bool takeTray = false;

protected:
    bool OnHostMessage(unsigned msg, qintptr wParam, qintptr lParam, qintptr& result) override {
        messages.push_back({msg, wParam, lParam});
        if (takeTray && msg == kWmTrayNotify) {
            result = 1;
            return true;
        }
        return false;
    }
};

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        res_.AddStrip("ICON:a", {Qt::red}, 32, 32);
        res_.AddStrip("ICON:b", {Qt::green}, 32, 32);
        res_.AddStrip("ICON:ICON_LOGO", {Qt::blue}, 64, 64);
        res_.AddStrip("ICON:big", {Qt::yellow}, 256, 256);
        res_.AddXml("values:string", R"(<string><item name="tip" value="Keyboard"/></string>)");
        res_.AddXml("SMENU:tray", R"(<menu><item id="1" text="Upgrade"/><sep/>
                                     <item id="6" text="Exit"/></menu>)");
        res_.AddXml("SMENUEX:more", R"(<menuRoot><menuItem id="1" text="Up"/></menuRoot>)");
        res_.AddXml("SMENU:bad", R"(<notamenu/>)");
        res_.AddXml("LAYOUT:tray", R"(<layout size="100,100">
            <shellnotifyicon id="110" ico="ICON:a; ICON:missing ;ICON:b" deficoidx="5"
                             tip="@string/tip" menu="SMENU:tray" startframe="1" duration="0x10"/>
            <shellnotifyicon name="bare"/>
            <shellnotifyicon name="big" ico="ICON:big"/>
          </layout>)");
        res_.Start();
        host_ = std::make_unique<HookHost>("LAYOUT:tray");
        ASSERT_TRUE(host_->CreateHost());
        tray_ = host_->FindChildByID2<SShellNotifyIcon>(110);
        bare_ = host_->FindChildByName2<SShellNotifyIcon>("bare");
        ASSERT_TRUE(tray_ && bare_);
    }

    test::TestResources res_;
    std::unique_ptr<HookHost> host_;
    SShellNotifyIcon* tray_ = nullptr;
    SShellNotifyIcon* bare_ = nullptr;
};

TEST_F(TrayIconTest, AttributesAtCreation) {
    EXPECT_EQ(tray_->IconCount(), 2u);
    EXPECT_EQ(tray_->DefaultIconIndex(), 0);  // out of range: the first icon
    EXPECT_FALSE(tray_->ShownIcon().isNull());
    EXPECT_EQ(tray_->Tip(), "Keyboard");
    EXPECT_EQ(tray_->GetMenuKind(), SShellNotifyIcon::MenuKind::Classic);
    ASSERT_NE(tray_->TrayIcon(), nullptr);
    EXPECT_EQ(tray_->TrayIcon()->toolTip(), "Keyboard");
    EXPECT_EQ(tray_->size(), QSize(0, 0));  // paints nothing, takes no room

    // No icon: the application logo.
    EXPECT_EQ(bare_->IconCount(), 0u);
    ASSERT_NE(bare_->TrayIcon(), nullptr);
    EXPECT_FALSE(bare_->ShownIcon().isNull());
    EXPECT_EQ(bare_->GetMenuKind(), SShellNotifyIcon::MenuKind::None);

    // A large logo is kept only at the sizes a notification area asks for.
    auto* big = host_->FindChildByName2<SShellNotifyIcon>("big");
    ASSERT_NE(big, nullptr);
    const QList<QSize> sizes = big->ShownIcon().availableSizes();
    ASSERT_FALSE(sizes.isEmpty());
    for (const QSize& size : sizes) {
        EXPECT_LE(size.width(), 64) << size.width();
    }
    EXPECT_EQ(big->ShownIcon().pixmap(22).toImage().pixelColor(10, 10), QColor(Qt::yellow));
}

// The icon goes into the notification area once the window has drawn its first frame.
TEST_F(TrayIconTest, GoesIntoTheTrayAfterTheWindowsFirstFrame) {
    EXPECT_FALSE(tray_->TrayIcon()->isVisible());
    host_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
    EXPECT_TRUE(QTest::qWaitFor([this] { return tray_->TrayIcon()->isVisible(); }, 10000));
    EXPECT_TRUE(bare_->TrayIcon()->isVisible());
}

TEST_F(TrayIconTest, AttributeResults) {
    EXPECT_FALSE(tray_->SetAttribute("ico", "ICON:missing"));
    EXPECT_FALSE(tray_->SetAttribute("tip", ""));
    EXPECT_TRUE(tray_->SetAttribute("tip", "@string/tip"));  // taken as it is after loading
    EXPECT_EQ(tray_->TrayIcon()->toolTip(), "@string/tip");
    EXPECT_FALSE(tray_->SetAttribute("menu", "SMENU:none"));
    EXPECT_TRUE(tray_->SetAttribute("menu", "SMENUEX:more"));
    EXPECT_EQ(tray_->GetMenuKind(), SShellNotifyIcon::MenuKind::Extended);
    EXPECT_TRUE(tray_->SetAttribute("menu", "SMENU:bad"));
    EXPECT_EQ(tray_->GetMenuKind(), SShellNotifyIcon::MenuKind::None);
    SMenu menu;
    EXPECT_FALSE(tray_->LoadTrayMenu(menu));
    EXPECT_TRUE(tray_->SetAttribute("deficoidx", "0x1"));
    EXPECT_EQ(tray_->DefaultIconIndex(), 1);
}

TEST_F(TrayIconTest, LeftClickTogglesTheHostUnlessItsHookTakesIt) {
    host_->show();
    tray_->HandleTrayMouse(kTrayLButtonDown);
    EXPECT_FALSE(host_->isVisible());
    ASSERT_FALSE(host_->messages.empty());
    EXPECT_EQ(host_->messages.back().msg, kWmTrayNotify);
    EXPECT_EQ(host_->messages.back().wParam, kTrayIconId);
    EXPECT_EQ(host_->messages.back().lParam, kTrayLButtonDown);
    tray_->HandleTrayMouse(kTrayLButtonDown);
    EXPECT_TRUE(host_->isVisible());
    tray_->HandleTrayMouse(kTrayLButtonDblClk);  // no default action
    EXPECT_TRUE(host_->isVisible());

    host_->takeTray = true;
    tray_->HandleTrayMouse(kTrayLButtonDown);
    EXPECT_TRUE(host_->isVisible());
}

TEST_F(TrayIconTest, MenuAndCommands) {
    SMenu menu;
    ASSERT_TRUE(tray_->LoadTrayMenu(menu));
    const SMenuModel* model = menu.Model();
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->items.size(), 3u);
    EXPECT_EQ(model->items[2].id, 6);
    host_->messages.clear();
    tray_->DeliverCommand(6);
    ASSERT_EQ(host_->messages.size(), 1u);
    EXPECT_EQ(host_->messages[0].msg, kWmCommand);
    EXPECT_EQ(LowWord(host_->messages[0].wParam), 6);
    EXPECT_EQ(HighWord(host_->messages[0].wParam), 0);
    // Without a menu a right click does nothing.
    bare_->HandleTrayMouse(kTrayRButtonDown);
}

TEST_F(TrayIconTest, BalloonWithoutATrayAndRemoval) {
    tray_->ShowBalloon(QString(300, QLatin1Char('x')));
    EXPECT_EQ(tray_->LastBalloon().size(), SShellNotifyIcon::kMaxBalloonChars);
    tray_->ShowBalloon("Failed to start the upgrade exe");
    EXPECT_EQ(tray_->LastBalloon(), "Failed to start the upgrade exe");
    host_.reset();  // takes the icons out of the notification area
}

TEST_F(TrayIconTest, UpgradeFailureIsABoxWithoutATrayInThePlatformsWords) {
#ifdef Q_OS_WIN
    EXPECT_STREQ(UpgradeFailedSource(), "Failed to start the upgrade exe");
#else
    EXPECT_STREQ(UpgradeFailedSource(), "Failed to start the upgrade program");
#endif
    // The offscreen desktop has no notification area: the text comes in a box.
    ASSERT_FALSE(tray_->CanShowBalloon());
    int boxes = 0;
    SetMessageBoxHook([&boxes](QWidget* box) {
        ++boxes;
        box->close();
    });
    TellUpgradeFailed(host_.get(), tray_, "Failed to start the upgrade program");
    SetMessageBoxHook({});
    EXPECT_EQ(boxes, 1);
}

}  // namespace
}  // namespace kb::ui
