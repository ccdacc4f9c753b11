#include <QTest>
#include <QTimer>

#include "toolkit_fixture.h"

namespace kb::ui::test {
namespace {

class MsgHost : public SHostWnd {
public:
    using SHostWnd::SHostWnd;
    std::vector<unsigned> messages;
    std::vector<std::pair<int, int>> commands;  // (notification code, id)

protected:
    bool OnHostMessage(unsigned msg, qintptr wParam, qintptr, qintptr& result) override {
        messages.push_back(msg);
        if (msg == kWmCommand) {
            commands.emplace_back(HighWord(wParam), LowWord(wParam));
            result = 0;
            return true;
        }
        return false;
    }
};

class Dialog : public SHostDialog {
public:
    using SHostDialog::SHostDialog;
    bool visibleAtInit = true;
    int endInInit = 0;

protected:
    bool OnHostMessage(unsigned msg, qintptr, qintptr, qintptr&) override {
        if (msg == kWmInitDialog) {
            visibleAtInit = isVisible();
            if (endInInit != 0) {
                EndDialog(endInInit);
            }
        }
        return false;
    }
    bool OnEvent(EventArgs& evt) override {
        if (evt.Is(kEvtCommand, "btnOK")) {
            EndDialog(kIdOk);
            EndDialog(65580);  // only the first counts
            return true;
        }
        return false;
    }
};

class Ticker : public ITimelineHandler {
public:
    explicit Ticker(SHostWnd* host) : host_(host) {}
    int ticks = 0;
    int stopAfter = -1;
    void OnNextFrame() override {
        ++ticks;
        if (ticks == stopAfter) {
            host_->UnregisterTimelineHandler(this);
        }
    }

private:
    SHostWnd* host_;
};

using HostTest = ToolkitEnv;

TEST_F(HostTest, MessagesReachTheHookBeforeTheDefaults) {
    MsgHost host("LAYOUT:main");
    ASSERT_TRUE(host.CreateHost());
    host.show();
    host.SendHostMessage(kWmCommand, MakeWParam(1, 0));
    host.SendHostMessage(kWmDeviceChange, 7, 0);
    EXPECT_EQ(host.commands, (std::vector<std::pair<int, int>>{{0, 1}}));
    host.close();  // the system's close: through the hook, then the window is destroyed
    EXPECT_TRUE(host.IsDestroyed());
    EXPECT_FALSE(host.isVisible());
    EXPECT_EQ(host.messages, (std::vector<unsigned>{kWmCreate, kWmCommand, kWmDeviceChange,
                                                    kWmClose, kWmDestroy}));
    host.DestroyWindow();  // once only
    EXPECT_EQ(host.messages.size(), 5u);
}

TEST_F(HostTest, MaximizeTogglesWithTheButtonsAndTheTitleAndCentresTheContent) {
    MsgHost host("LAYOUT:dialog");
    ASSERT_TRUE(host.CreateHost());
    host.show();
    SWindow* max = host.FindChildByName("btn_max");
    SWindow* restore = host.FindChildByName("btn_restore");
    ASSERT_TRUE(max && restore);
    const auto shown = [&] { return std::pair{max->isVisible(), restore->isVisible()}; };
    EXPECT_EQ(shown(), std::pair(true, false));

    host.SendHostMessage(kWmSysCommand, kScMaximize);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.isMaximized(); }, 5000));
    EXPECT_EQ(shown(), std::pair(false, true));
    // The content keeps the layout's size, in the middle of the larger window.
    const QRect content = host.GetRoot()->geometry();
    EXPECT_EQ(content.size(), QSize(200, 100));
    EXPECT_EQ(content.center(), host.rect().center());

    // A double-click on the title restores, another maximizes again.
    QTest::mouseDClick(host.FindChildByName("dlg_cap"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host.isMaximized(); }, 5000));
    EXPECT_EQ(shown(), std::pair(true, false));
    EXPECT_EQ(host.GetRoot()->geometry(), host.rect());
    QTest::mouseDClick(host.FindChildByName("dlg_cap"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.isMaximized(); }, 5000));
}

TEST_F(HostTest, DialogReturnsTheFirstEndCodeAndReenablesTheOwner) {
    MsgHost owner("LAYOUT:main");
    ASSERT_TRUE(owner.CreateHost());
    owner.show();
    Dialog dlg("LAYOUT:dialog");
    bool ownerDisabledMeanwhile = false;
    QTimer::singleShot(0, &dlg, [&] {
        ownerDisabledMeanwhile = !owner.isEnabled() && dlg.isVisible();
        QTest::mouseClick(dlg.FindChildByName("btnOK"), Qt::LeftButton);
    });
    EXPECT_EQ(dlg.Run(&owner), kIdOk);
    EXPECT_FALSE(dlg.visibleAtInit);
    EXPECT_TRUE(ownerDisabledMeanwhile);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_FALSE(dlg.isVisible());

    // Closing the dialog answers Cancel; an end during initialisation returns at once.
    Dialog second("LAYOUT:dialog");
    QTimer::singleShot(0, &second, [&] { second.close(); });
    EXPECT_EQ(second.Run(&owner), kIdCancel);
    Dialog third("LAYOUT:dialog");
    third.endInInit = 65580;
    EXPECT_EQ(third.Run(&owner), 65580);
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(HostTest, TimelineRunsWhileHandlersAreRegistered) {
    SHostWnd host("LAYOUT:main");
    ASSERT_TRUE(host.CreateHost());
    Ticker a(&host);
    Ticker b(&host);
    EXPECT_FALSE(host.IsTimelineRunning());
    host.RegisterTimelineHandler(&a);
    host.RegisterTimelineHandler(&a);  // once only
    host.RegisterTimelineHandler(&b);
    EXPECT_TRUE(host.IsTimelineRunning());
    EXPECT_EQ(host.TimelineHandlerCount(), 2u);
    host.RunTimelineTick();
    EXPECT_EQ(a.ticks, 1);
    EXPECT_EQ(b.ticks, 1);

    // The real timer ticks; a handler may leave from inside its tick.
    a.stopAfter = 3;
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.ticks >= 5; }, 5000));
    EXPECT_EQ(a.ticks, 3);
    EXPECT_TRUE(host.IsTimelineRunning());
    host.UnregisterTimelineHandler(&b);
    EXPECT_FALSE(host.IsTimelineRunning());

    // Widgets reach the timeline through their host.
    SWindow* w = host.FindChildByName("title");
    EXPECT_TRUE(w->RegisterTimelineHandler(&a));
    EXPECT_TRUE(host.IsTimelineRunning());
    EXPECT_TRUE(w->UnregisterTimelineHandler(&a));
    EXPECT_FALSE(host.IsTimelineRunning());
    SWindow loose;
    EXPECT_FALSE(loose.RegisterTimelineHandler(&a));
}

// A widget that registers with the timeline when created and leaves on destruction.
class Animated : public SWindow, public ITimelineHandler {
    KB_UI_CLASS(Animated, SWindow, "animated")
public:
    using SWindow::SWindow;
    ~Animated() override { UnregisterTimelineHandler(this); }
    void OnCreated() override { RegisterTimelineHandler(this); }
    void OnNextFrame() override {}
};

TEST_F(HostTest, HostTeardownWithRegisteredWidgetsIsSafe) {
    ASSERT_TRUE(app_->RegisterWidget<Animated>());
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string("<root><animated name=\"anim\"/></root>"));
    auto host = std::make_unique<SHostWnd>("LAYOUT:dialog");
    ASSERT_TRUE(host->CreateHost());
    host->GetRoot()->CreateChildren(doc.child("root"));
    EXPECT_TRUE(host->IsTimelineRunning());
    delete host->FindChildByName("anim");
    EXPECT_FALSE(host->IsTimelineRunning());
    host->GetRoot()->CreateChildren(doc.child("root"));
    EXPECT_TRUE(host->IsTimelineRunning());
    host.reset();  // destroys the animated widget while the host is still whole
}

}  // namespace
}  // namespace kb::ui::test
