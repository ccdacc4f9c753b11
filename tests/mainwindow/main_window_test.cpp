#include "mainwindow/main_window.h"
#include "mainwindow/theme_colors.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/trace_sink.h"
#include "keymap/keymap_file.h"
#include "mainwindow/device_access.h"
#include "platform/recording_platform.h"
#include "program_env.h"
#include "protocol/pacers.h"
#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "temp_folder.h"
#include "toolkit/msgbox.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "toolkit/swidgets.h"
#include "toolkit/translator.h"
#include "widgets/shell_notify_icon.h"
#include "wire_script.h"

namespace kb {
namespace {

using namespace wire;
using ui::SWindow;

// What the dialog gives for a key that is to produce `target`.
KeyChoice KeyTo(std::uint8_t target) {
    KeyChoice choice;
    choice.kind = KeyKind::Key;
    choice.target = target;
    return choice;
}

// Profile 1 with every macro slot taken, by keys 0x10 to 0x1b.
void FillEveryMacroSlot(SimKeyboardState& s) {
    for (int slot = 0; slot < kSimSlotCount; ++slot) {
        SimMacroRecord& record = s.profiles[0].macros[static_cast<std::size_t>(slot)];
        record[0] = 1;
        record[1] = static_cast<std::uint8_t>(slot + 1);
        record[2] = static_cast<std::uint8_t>(0x10 + slot);
        record[3] = 1;
    }
}

struct Box {
    QString text;   // as the program gave it
    QString shown;  // translated
    QString caption;
    bool owned = false;
    bool busyCursor = false;
};

// One keyboard, one main window, and the message boxes answered by the test.
class MainWindowTest : public ::testing::Test {
public:
    MainWindowTest()
        : config_(testenv::Config()),
          keyboard_(config_.vid, config_.pid, config_.interfaceNumber, config_.subdevice),
          backend_(keyboard_),
          pacer_(&trace_) {}

    void SetUp() override {
        ui::SetMessageBoxHook([this](QWidget* box) { Answer(box); });
    }

    void TearDown() override {
        ui::SetMessageBoxHook({});
        if (window_ && !window_->IsDestroyed()) {
            window_->DestroyWindow();
        }
        window_.reset();
    }

    void Answer(QWidget* box) {
        auto* dialog = dynamic_cast<ui::SHostDialog*>(box);
        ASSERT_NE(dialog, nullptr) << "the message box should come from its layout";
        ++openBoxes_;
        maxOpenBoxes_ = std::max(maxOpenBoxes_, openBoxes_);
        Box seen;
        if (SWindow* text = dialog->FindChildByName(QStringLiteral("msgtext"))) {
            seen.text = text->GetText(true);
            seen.shown = text->GetText();
        }
        if (SWindow* title = dialog->FindChildByName(QStringLiteral("msgtitle"))) {
            seen.caption = title->GetText(true);
        }
        // A box owned by the main window disables it while it runs.
        seen.owned = window_ && !window_->isEnabled();
        const QCursor* cursor = QApplication::overrideCursor();
        seen.busyCursor = cursor && cursor->shape() == Qt::WaitCursor;
        boxes_.push_back(seen);
        if (onBox_) {
            onBox_();
        }
        --openBoxes_;
        dialog->EndDialog(boxAnswer_);
    }

    // Builds, initialises and shows the window; the trace then starts empty.
    void Start(bool clearTrace = true) {
        window_ = std::make_unique<CMainDlg>(Services());
        ASSERT_TRUE(window_->CreateHost());
        window_->SendHostMessage(ui::kWmInitDialog);
        window_->show();
        if (clearTrace) {
            trace_.Clear();
        }
    }

    // A fresh session (one per window, as in the program) and the window's services.
    MainWindowServices Services(platform::PlatformServices* platform = nullptr,
                                const DeviceConfig* config = nullptr) {
        window_.reset();
        session_ = std::make_unique<KeyboardSession>(
            backend_, gate_, pacer_, keymapPath_,
            KeyboardIdentity{config_.vid, config_.pid, config_.interfaceNumber, config_.subdevice},
            nullptr, &trace_);
        return {*session_, platform ? *platform : platform_, config ? *config : config_};
    }
    const KeyMemory& Memory() const { return session_->Memory(); }

    template <class T = SWindow>
    T* Find(const char* name) {
        T* found = window_->FindChildByName2<T>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QString Status() {
        SWindow* version = window_->FindChildByID(kIdVersion);
        return version ? version->GetText() : QStringLiteral("(no status control)");
    }

    QColor StatusColor() {
        SWindow* version = window_->FindChildByID(kIdVersion);
        return version ? version->ColorText() : QColor();
    }

    // The colour table's entry: what the status and the language mark are drawn in.
    static QColor TableColor(const char* name) {
        QColor color;
        EXPECT_TRUE(ui::SApplication::Instance()->ParseColor(
            QStringLiteral("@color/") + QString::fromUtf8(name), color))
            << name;
        return color;
    }

    void Click(const char* name) {
        SWindow* w = Find(name);
        ASSERT_NE(w, nullptr);
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
    }

    void MoveSlider(const char* name, int value) {
        auto* slider = Find<ui::SSliderBar>(name);
        ASSERT_NE(slider, nullptr);
        slider->SetValue(value);
        ui::EventArgs evt = slider->MakeEvent(ui::kEvtSliderPos);
        evt.pos = slider->GetValue();
        slider->FireEvent(evt);
    }

    void SelectEffect(int effect) { Find<ui::SComboBox>("cmb_led_mode")->SetCurSel(effect, true); }
    void SelectProfileEntry(int index) {
        Find<ui::SComboBox>("cmb_profile")->SetCurSel(index, true);
    }

    ui::CoordButtonImage* Keys() { return Find<ui::CoordButtonImage>("img_keyboard"); }

    void SetKeyboardState(const std::function<void(SimKeyboardState&)>& change) {
        SimKeyboardState state = keyboard_.State();
        change(state);
        ASSERT_TRUE(keyboard_.SetState(state));
    }

    DeviceConfig config_;
    SimulatedKeyboard keyboard_;
    SimulatedHidBackend backend_;
    OpenGate gate_;
    Trace trace_;
    RecordingPacer pacer_;
    platform::RecordingPlatform platform_;
    // Where the session keeps what keys were given; empty: only while the test runs.
    std::string keymapPath_;
    std::unique_ptr<KeyboardSession> session_;
    std::unique_ptr<CMainDlg> window_;

    std::vector<Box> boxes_;
    int boxAnswer_ = ui::kIdOk;
    std::function<void()> onBox_;
    int openBoxes_ = 0;
    int maxOpenBoxes_ = 0;
};

// ---- start-up --------------------------------------------------------------------------------

TEST_F(MainWindowTest, StartsConnectedOnProfileOneAndMarksItsKeys) {
    SetKeyboardState([](SimKeyboardState& s) {
        s.activeProfile = 2;
        s.profiles[0].remaps[0] = {0x29, 0x04};
        s.profiles[0].macros[0][0] = 1;
        s.profiles[0].macros[0][1] = 1;
        s.profiles[0].macros[0][2] = 0x04;
        s.profiles[0].macros[0][3] = 1;
    });
    Start(false);

    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(Status(), "Connected");
    EXPECT_EQ(StatusColor(), TableColor("accent"));
    EXPECT_EQ(trace_.Lines(), Join({SelectProfile(1), ReadBack("01 04 00 00 00 00 00", kZeros,
                                                               "29 00 00 00 00 00 00", kZeros)}));
    EXPECT_EQ(keyboard_.ActiveProfile(), 1);
    EXPECT_EQ(Keys()->GetCheck(0x04), 1);
    EXPECT_EQ(Keys()->GetCheck(0x29), 1);
    EXPECT_EQ(Keys()->GetCheck(0x05), 0);
    EXPECT_EQ(window_->CurrentProfileIndex(), 0);

    const QByteArray marker = ui::SApplication::Instance()->InstanceName().toUtf8();
    ASSERT_FALSE(marker.isEmpty());
    EXPECT_EQ(window_->property(marker.constData()).toInt(), 1);
}

TEST_F(MainWindowTest, StartsDisconnectedWithOneWarningAndStillReadsBack) {
    keyboard_.Unplug();
    Start(false);

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Failed to open USB");
    EXPECT_EQ(boxes_[0].caption, "Warning");
    EXPECT_FALSE(boxes_[0].owned);
    EXPECT_EQ(Status(), "Disconnected");
    EXPECT_EQ(StatusColor(), TableColor("danger"));
    EXPECT_NE(StatusColor(), TableColor("accent"));
    // With no handle the select, the query and every read fail.
    const std::string failedRead = "read 07 00 00 00 00 00 00 00 failed";
    EXPECT_EQ(trace_.Lines(),
              (Lines{"send 07 fc 01 00 00 00 00 00 failed", "wait 50", "wait 50",
                     "send 07 fb 01 00 00 00 00 00 failed", "wait 10", "wait 10", failedRead,
                     "wait 10", failedRead, "wait 10", failedRead, "wait 10", failedRead}));
    EXPECT_EQ(Keys()->GetCheck(0x04), 0);
}

// The program shows its window first: the same start-up exchange follows the first frame.
TEST_F(MainWindowTest, DeferredStartupConnectsAfterTheFirstFrame) {
    for (const bool plugged : {true, false}) {
        SCOPED_TRACE(plugged ? "plugged" : "unplugged");
        if (!plugged) {
            keyboard_.Unplug();
        }
        boxes_.clear();
        trace_.Clear();
        window_ = std::make_unique<CMainDlg>(Services());
        ASSERT_TRUE(window_->CreateHost());
        window_->DeferStartupConnection();
        window_->SendHostMessage(ui::kWmInitDialog);

        EXPECT_TRUE(trace_.Lines().empty());
        EXPECT_EQ(Status(), "Connecting\u2026");
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        EXPECT_TRUE(QTest::qWaitFor([this] { return !trace_.Lines().empty(); }, 2000));
        QTest::qWait(20);

        if (plugged) {
            EXPECT_TRUE(boxes_.empty());
            EXPECT_EQ(Status(), "Connected");
            EXPECT_EQ(trace_.Lines(), Join({SelectProfile(1), EmptyReadBack(1)}));
        } else {
            ASSERT_EQ(boxes_.size(), 1u);
            EXPECT_EQ(boxes_[0].text, "Failed to open USB");
            EXPECT_EQ(Status(), "Disconnected");
        }
        window_->DestroyWindow();
        window_.reset();
    }
}

TEST_F(MainWindowTest, InitialisationResetsTheGroupsAndShowsEffectZero) {
    Start();
    // Effect 0's record checks the first colour and the left direction; the second colour row
    // and the areas are left unchecked, and nothing is sent.
    EXPECT_TRUE(Find("bar_color1")->IsChecked());
    EXPECT_TRUE(Find("radio_direction_left")->IsChecked());
    EXPECT_FALSE(Find("radio_direction_right")->IsChecked());
    EXPECT_FALSE(Find("bar_color11")->IsChecked());
    EXPECT_FALSE(Find("udef_area1_color2")->IsChecked());
    EXPECT_EQ(Find<ui::SSliderBar>("bar_speed")->GetValue(), 2);
    EXPECT_EQ(Find<ui::SSliderBar>("bar_brightness")->GetValue(), 3);
    EXPECT_TRUE(trace_.Lines().empty());
}

// ---- profiles --------------------------------------------------------------------------------

TEST_F(MainWindowTest, ProfileChangeSelectsAndReadsBackThatProfile) {
    SetKeyboardState([](SimKeyboardState& s) { s.profiles[1].remaps[11] = {0x2C, 0x04}; });
    Start();
    SelectProfileEntry(1);

    EXPECT_EQ(trace_.Lines(), Join({SelectProfile(2), ReadBack("02 00 00 00 00 00 00", kZeros,
                                                               kZeros, "00 00 00 00 2c 00 00")}));
    EXPECT_EQ(window_->CurrentProfileIndex(), 1);
    EXPECT_EQ(Keys()->GetCheck(0x2C), 1);
}

TEST_F(MainWindowTest, ProfileEntryBeyondTheThirdSendsNothingAndKeepsTheMarks) {
    SetKeyboardState([](SimKeyboardState& s) { s.profiles[0].remaps[0] = {0x29, 0x04}; });
    Start();
    auto* profiles = Find<ui::SComboBox>("cmb_profile");
    profiles->AddString(QStringLiteral("Profile 4"));
    profiles->SetCurSel(3, true);

    EXPECT_TRUE(trace_.Lines().empty());
    EXPECT_EQ(window_->CurrentProfileIndex(), 3);
    EXPECT_EQ(Keys()->GetCheck(0x29), 1);
}

// ---- lighting --------------------------------------------------------------------------------

TEST_F(MainWindowTest, EffectSelectionShowsItsPanelsAndSendsItsRecord) {
    struct Case {
        int effect;
        const char* panels;  // direction, speed, brightness, colour, colour black, areas
        const char* report;
    };
    // Effect 5 has no colour row, also right after effect 3 showed the second one.
    const Case cases[] = {
        {1, "SSSSHH", "07 f7 01 01 01 02 03 00"}, {2, "SSSSHH", "07 f7 02 01 01 02 03 00"},
        {3, "HHSHSH", "07 f7 03 01 01 02 03 00"}, {5, "HSSHHH", "07 f7 05 01 01 02 03 00"},
        {4, "HSSSHH", "07 f7 04 01 01 02 03 00"}, {5, "HSSHHH", "07 f7 05 01 01 02 03 00"},
        {6, "SSSHHH", "07 f7 06 01 01 02 03 00"}, {7, "HHSHHH", "07 f7 07 01 01 02 03 00"},
        {8, "HHSHHS", "07 f7 08 00 00 00 03 00"}, {9, "HHSHHH", "07 f7 09 01 01 02 03 00"},
        {0, "SSSHHH", "07 f7 00 01 01 02 03 00"},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE("effect " + std::to_string(c.effect));
        trace_.Clear();
        SelectEffect(c.effect);
        EXPECT_EQ(trace_.Lines(), (Lines{"wait 50", std::string("send ") + c.report}));
        std::string shown;
        for (const std::string_view name : kLightingPanelNames) {
            shown += Find(std::string(name).c_str())->IsVisible() ? 'S' : 'H';
        }
        EXPECT_EQ(shown, c.panels);
    }
}

TEST_F(MainWindowTest, ControlChangesSendTheCurrentEffectsRecord) {
    struct Case {
        const char* what;
        int effect;
        std::function<void(MainWindowTest&)> act;
        const char* report;
    };
    const Case cases[] = {
        {"direction right", 0, [](MainWindowTest& t) { t.Click("radio_direction_right"); },
         "07 f7 00 01 02 02 03 00"},
        {"speed", 0, [](MainWindowTest& t) { t.MoveSlider("bar_speed", 0); },
         "07 f7 00 01 01 00 03 00"},
        {"brightness", 0, [](MainWindowTest& t) { t.MoveSlider("bar_brightness", 1); },
         "07 f7 00 01 01 02 01 00"},
        {"colour 4", 1, [](MainWindowTest& t) { t.Click("bar_color4"); },
         "07 f7 01 04 01 02 03 00"},
        {"colour cycle outside the group", 1, [](MainWindowTest& t) { t.Click("bar_color0"); },
         "07 f7 01 00 01 02 03 00"},
        {"second colour row", 3, [](MainWindowTest& t) { t.Click("bar_color33"); },
         "07 f7 03 03 01 02 03 00"},
        {"second colour row, no colour", 3, [](MainWindowTest& t) { t.Click("bar_color00"); },
         "07 f7 03 00 01 02 03 00"},
        {"areas 1 and 2", 8,
         [](MainWindowTest& t) {
             t.Click("udef_area1_color4");
             t.Click("udef_area2_color1");
         },
         "07 f7 08 2f 00 00 03 00"},
        {"area 6 white", 8, [](MainWindowTest& t) { t.Click("udef_area6_color8"); },
         "07 f7 08 00 00 06 03 00"},
        {"brightness beyond two bits", 7,
         [](MainWindowTest& t) {
             t.Find<ui::SSliderBar>("bar_brightness")->SetRange(0, 7);
             t.MoveSlider("bar_brightness", 5);
         },
         "07 f7 07 01 01 02 01 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Start();
        if (c.effect != 0) {
            SelectEffect(c.effect);
        }
        trace_.Clear();
        c.act(*this);
        ASSERT_GE(trace_.Lines().size(), 2u);
        EXPECT_EQ(trace_.Lines().back(), std::string("send ") + c.report);
        EXPECT_EQ(trace_.Lines()[trace_.Lines().size() - 2], "wait 50");
        EXPECT_EQ(keyboard_.LightingEffect(), c.effect);
        window_->DestroyWindow();
    }
}

TEST_F(MainWindowTest, EachEffectKeepsItsSettingsAcrossSwitches) {
    Start();
    SelectEffect(1);
    Click("bar_color5");
    Click("radio_direction_right");
    SelectEffect(3);
    Click("bar_color22");
    // Effect 3 used the second row: the first row still shows effect 1's choice.
    EXPECT_TRUE(Find("bar_color5")->IsChecked());

    trace_.Clear();
    SelectEffect(1);
    EXPECT_EQ(trace_.Lines(), (Lines{"wait 50", "send 07 f7 01 05 02 02 03 00"}));
    EXPECT_TRUE(Find("bar_color5")->IsChecked());
    EXPECT_TRUE(Find("radio_direction_right")->IsChecked());
    EXPECT_FALSE(Find("radio_direction_left")->IsChecked());

    // Effect 0 still has its defaults and puts the controls back.
    SelectEffect(0);
    EXPECT_TRUE(Find("bar_color1")->IsChecked());
    EXPECT_TRUE(Find("radio_direction_left")->IsChecked());
}

TEST_F(MainWindowTest, ColourCycleStaysCheckedWhenItsEffectIsShownAgain) {
    Start();
    // Wave on colour cycle; Breathing checks its red, which clears colour cycle in the row.
    SelectEffect(1);
    Click("bar_color0");
    SelectEffect(4);
    EXPECT_TRUE(Find("bar_color1")->IsChecked());
    SelectEffect(1);
    EXPECT_TRUE(Find("bar_color0")->IsChecked());
    EXPECT_FALSE(Find("bar_color1")->IsChecked());
    trace_.Clear();
    MoveSlider("bar_speed", 1);
    EXPECT_EQ(trace_.Lines(), (Lines{"wait 50", "send 07 f7 01 00 01 01 03 00"}));

    // Static keeps its colour in the second row, with its own colour-cycle control.
    session_->Lighting()[3][0] = 0;
    SelectEffect(3);
    EXPECT_TRUE(Find("bar_color00")->IsChecked());
    EXPECT_FALSE(Find("bar_color11")->IsChecked());
    trace_.Clear();
    MoveSlider("bar_brightness", 1);
    EXPECT_EQ(trace_.Lines(), (Lines{"wait 50", "send 07 f7 03 00 01 02 01 00"}));
    Click("bar_color22");
    EXPECT_FALSE(Find("bar_color00")->IsChecked());

    // An area stored as off shows its off control, not the colour checked before.
    SelectEffect(8);
    Click("udef_area2_color3");
    session_->Lighting()[8][0] = 0x0F;
    SelectEffect(0);
    SelectEffect(8);
    EXPECT_TRUE(Find("udef_area2_color1")->IsChecked());
    EXPECT_FALSE(Find("udef_area2_color3")->IsChecked());
}

// Keyboard-only use of the lighting panel: on every effect, Tab from the window reaches each
// slider and each row of colour swatches the effect shows, and nothing hidden.
TEST_F(MainWindowTest, TabReachesEverySliderAndSwatchRowOfEachEffect) {
    Start();
    window_->activateWindow();
    QApplication::setActiveWindow(window_.get());
    for (int effect = 0; effect < kEffectCount; ++effect) {
        SCOPED_TRACE(effect);
        SelectEffect(effect);
        Find("cmb_led_mode")->setFocus(Qt::TabFocusReason);
        std::set<QString> reached;
        for (int press = 0; press < 200; ++press) {
            QWidget* focused = QApplication::focusWidget();
            ASSERT_NE(focused, nullptr);
            QTest::keyClick(focused, Qt::Key_Tab);
            auto* control = dynamic_cast<SWindow*>(QApplication::focusWidget());
            if (control == nullptr) {
                continue;
            }
            EXPECT_TRUE(control->isVisibleTo(window_.get())) << control->GetName().toStdString();
            if (!reached.insert(control->GetName()).second) {
                break;  // round the window once
            }
        }
        // What the effect shows: its sliders, and each row of swatches (one of a row's radios).
        for (const char* name : {"bar_brightness", "bar_speed"}) {
            if (Find(name)->isVisibleTo(window_.get())) {
                EXPECT_TRUE(reached.count(QString::fromLatin1(name))) << name;
            }
        }
        std::map<QString, bool> rows;  // parent -> reached
        for (QWidget* widget : window_->findChildren<QWidget*>()) {
            auto* swatch = dynamic_cast<SWindow*>(widget);
            if (swatch == nullptr) {
                continue;
            }
            const QString name = swatch->GetName();
            if (!(name.startsWith(QLatin1String("bar_color")) ||
                  name.startsWith(QLatin1String("udef_area"))) ||
                !swatch->IsClass(QStringLiteral("radio")) || !swatch->isVisibleTo(window_.get())) {
                continue;
            }
            rows[swatch->parentWidget()->objectName() + QString::number(swatch->y())] |=
                reached.count(name) > 0;
        }
        for (const auto& [row, wasReached] : rows) {
            EXPECT_TRUE(wasReached) << row.toStdString();
        }
    }
}

TEST_F(MainWindowTest, ClicksOutsideTheLightingControlsSendNothing) {
    Start();
    for (const char* name : {"version", "title"}) {
        SWindow* w = Find(name);
        ui::EventArgs evt = w->MakeEvent(ui::kEvtCommand);
        w->FireEvent(evt);
        EXPECT_FALSE(evt.handled) << name;
    }
    // The containers have ids inside the panel but outside the click ranges.
    SWindow* parent = Find("udef_area_parent");
    ui::EventArgs evt = parent->MakeEvent(ui::kEvtCommand);
    parent->FireEvent(evt);
    EXPECT_TRUE(trace_.Lines().empty());
}

// ---- factory restore -------------------------------------------------------------------------

TEST_F(MainWindowTest, RestoreWithChangedSelectionsSendsEffectZeroAndProfileOne) {
    Start();
    Click("radio_direction_right");  // effect 0's record changes and must be reset
    SelectProfileEntry(1);
    SelectEffect(3);
    trace_.Clear();

    Click("btn_restore_factory");

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "All settings will be restored, are you sure you want to continue?");
    EXPECT_EQ(boxes_[0].caption, "Warning");
    EXPECT_TRUE(boxes_[0].owned);
    EXPECT_EQ(trace_.Lines(), Join({{"wait 50", "send 07 f0 aa 00 00 00 00 00"},
                                    {"wait 50", "send 07 f7 00 01 01 02 03 00"},
                                    SelectProfile(1),
                                    EmptyReadBack(1),
                                    {"wait 800"},
                                    EmptyReadBack(1)}));
    EXPECT_EQ(window_->CurrentProfileIndex(), 0);
    EXPECT_TRUE(Find("radio_direction_left")->IsChecked());
}

TEST_F(MainWindowTest, RestoreWithFirstEntriesChosenSendsOnlyTheResetAndReadsBack) {
    Start();
    Click("radio_direction_right");
    trace_.Clear();

    Click("btn_restore_factory");

    EXPECT_EQ(trace_.Lines(),
              Join({{"wait 50", "send 07 f0 aa 00 00 00 00 00", "wait 800"}, EmptyReadBack(1)}));
    // The table went back to its defaults even though nothing was sent for it.
    EXPECT_TRUE(Find("radio_direction_left")->IsChecked());
    trace_.Clear();
    MoveSlider("bar_speed", 2);
    EXPECT_EQ(trace_.Lines().back(), "send 07 f7 00 01 01 02 03 00");
}

TEST_F(MainWindowTest, RestoreAnsweredWithCancelChangesNothing) {
    Start();
    SelectEffect(3);
    trace_.Clear();
    boxAnswer_ = ui::kIdCancel;

    Click("btn_restore_factory");

    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(trace_.Lines().empty());
    EXPECT_EQ(Find<ui::SComboBox>("cmb_led_mode")->GetCurSel(), 3);
}

// ---- device changes --------------------------------------------------------------------------

TEST_F(MainWindowTest, DeviceChangesFollowTheKeyboard) {
    struct Case {
        const char* what;
        bool pluggedAtStart;
        std::function<void(SimulatedKeyboard&)> change;
        const char* status;
        int boxes;
        Lines wire;
    };
    const Case cases[] = {
        {"plugged in", false, [](SimulatedKeyboard& k) { k.Plug(); }, "Connected", 0,
         Join({SelectProfile(1), EmptyReadBack(1)})},
        {"unplugged", true, [](SimulatedKeyboard& k) { k.Unplug(); }, "Disconnected", 0, {}},
        {"another device", true, [](SimulatedKeyboard&) {}, "Connected", 0,
         Join({SelectProfile(1), EmptyReadBack(1)})},
        {"present but not openable",
         true,
         [](SimulatedKeyboard& k) { k.SetOpenFailure(true); },
         "Disconnected",
         1,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        keyboard_.ClearFaults();
        c.pluggedAtStart ? keyboard_.Plug() : keyboard_.Unplug();
        Start();
        boxes_.clear();
        c.change(keyboard_);

        platform_.FireDeviceChange();
        QCoreApplication::sendPostedEvents();

        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(StatusColor(), TableColor(Status() == "Connected" ? "accent" : "danger"));
        ASSERT_EQ(static_cast<int>(boxes_.size()), c.boxes);
        if (c.boxes > 0) {
            EXPECT_EQ(boxes_[0].text, "Failed to open USB");
            EXPECT_FALSE(boxes_[0].owned);
        }
        EXPECT_EQ(trace_.Lines(), c.wire);
        window_->DestroyWindow();
    }
}

TEST_F(MainWindowTest, DeviceChangeDuringItsWarningIsHandledAfterIt) {
    Start();
    keyboard_.SetOpenFailure(true);
    boxes_.clear();
    bool fired = false;
    onBox_ = [&] {
        if (!fired) {
            fired = true;
            window_->SendHostMessage(ui::kWmDeviceChange);
        }
    };

    window_->SendHostMessage(ui::kWmDeviceChange);

    EXPECT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(maxOpenBoxes_, 1);
    EXPECT_EQ(Status(), "Disconnected");
}

// ---- window buttons and menus ----------------------------------------------------------------

TEST_F(MainWindowTest, CloseButtonExitCommandAndCloseMessageEndTheWindow) {
    const QByteArray marker = ui::SApplication::Instance()->InstanceName().toUtf8();
    const std::function<void(MainWindowTest&)> closers[] = {
        [](MainWindowTest& t) { t.Click("btn_close"); },
        [](MainWindowTest& t) {
            t.window_->SendHostMessage(ui::kWmCommand, ui::MakeWParam(kMenuExit, 0));
            QCoreApplication::sendPostedEvents();
        },
        [](MainWindowTest& t) { t.window_->SendHostMessage(ui::kWmClose); },
    };
    for (const auto& close : closers) {
        Start();
        close(*this);
        EXPECT_TRUE(window_->IsDestroyed());
        EXPECT_FALSE(window_->isVisible());
        EXPECT_FALSE(window_->property(marker.constData()).isValid());
    }
}

TEST_F(MainWindowTest, MenuCommandsOtherThanUpgradeAndExitDoNothing) {
    Start();
    window_->SendHostMessage(ui::kWmCommand, ui::MakeWParam(kMenuExit, 1));  // not from a menu
    window_->SendHostMessage(ui::kWmCommand, ui::MakeWParam(kMenuUpgrade, 1));
    window_->SendHostMessage(ui::kWmCommand, ui::MakeWParam(3, 0));
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(window_->IsDestroyed());
    EXPECT_TRUE(platform_.startedPrograms.isEmpty());
    EXPECT_TRUE(trace_.Lines().empty());
}

TEST_F(MainWindowTest, MoreMenuOpensBelowItsButtonAndDeliversItsCommand) {
    Start();
    // The menu has to fit on the (small) offscreen screen, or Qt moves it.
    window_->move(-400, 0);
    SWindow* more = window_->FindChildByID(kIdBtnMore);
    ASSERT_NE(more, nullptr);
    const QRect button = more->GetWindowRect();
    const QPoint expected = window_->mapToGlobal(QPoint(button.left(), button.bottom() + 1));

    QPoint shownAt(-1, -1);
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        shownAt = menu->pos();
        for (QAction* action : menu->actions()) {
            if (action->data().toInt() == kMenuExit) {
                action->trigger();
            }
        }
    });
    Click("btn_more");
    QCoreApplication::sendPostedEvents();

    EXPECT_EQ(shownAt, expected);
    EXPECT_TRUE(window_->IsDestroyed());
}

TEST_F(MainWindowTest, MaximiseAndRestoreButtonsResizeTheWindow) {
    Start();
    Click("btn_max");
    EXPECT_TRUE(window_->isMaximized());
    window_->FindChildByName(QStringLiteral("btn_restore"))->SetVisible(true);
    Click("btn_restore");
    EXPECT_FALSE(window_->isMaximized());
}

TEST_F(MainWindowTest, MinimiseWithoutATrayKeepsTheWindowReachable) {
    Start();
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    Click("btn_min");
    // Hiding would leave no way back without a tray: the window is minimised instead.
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(window_->isMinimized());
}

// ---- language --------------------------------------------------------------------------------

TEST_F(MainWindowTest, LanguageSwitchesBothWaysAndTheStatusStaysLiteral) {
    Start();
    SWindow* restore = Find("btn_restore_factory");
    SWindow* chinese = Find("zh_cn");
    SWindow* english = Find("jp");
    const QString englishText = restore->GetText();
    const QColor idle = chinese->ColorText();
    const QColor accent = TableColor("accent");
    ASSERT_NE(idle, accent);
    // Which button is marked: the one of the language in use.
    const auto marked = [&] {
        EXPECT_NE(chinese->IsChecked(), english->IsChecked());
        EXPECT_EQ(chinese->ColorText(), chinese->IsChecked() ? accent : idle);
        EXPECT_EQ(english->ColorText(), english->IsChecked() ? accent : idle);
        return chinese->IsChecked() ? "zh_cn" : "jp";
    };
    EXPECT_STREQ(marked(), "jp");  // started in English
    const QString englishTitle = window_->windowTitle();
    EXPECT_EQ(englishTitle, "Keyboard Configurator");

    Click("zh_cn");
    EXPECT_EQ(restore->GetText(), QString::fromUtf8("恢复出厂设置"));
    // The system's title bar follows too.
    EXPECT_EQ(window_->windowTitle(), QString::fromUtf8("键盘配置工具"));
    EXPECT_EQ(Find<ui::SComboBox>("cmb_profile")->GetLBText(0), QString::fromUtf8("配置 1"));
    EXPECT_EQ(Status(), "Connected");
    EXPECT_EQ(StatusColor(), accent);
    EXPECT_STREQ(marked(), "zh_cn");

    Click("jp");
    EXPECT_EQ(restore->GetText(), englishText);
    EXPECT_EQ(window_->windowTitle(), englishTitle);
    EXPECT_EQ(Status(), "Connected");
    EXPECT_STREQ(marked(), "jp");
    Click("jp");
    EXPECT_EQ(restore->GetText(), englishText);
    EXPECT_STREQ(marked(), "jp");
    EXPECT_TRUE(trace_.Lines().empty());
}

TEST_F(MainWindowTest, WindowOpenedInChineseMarksTheChineseButton) {
    Start();
    window_->SwitchLanguage(1);
    window_->DestroyWindow();
    Start();
    EXPECT_EQ(window_->ActiveLanguage(), 1);
    EXPECT_TRUE(Find("zh_cn")->IsChecked());
    EXPECT_FALSE(Find("jp")->IsChecked());
    window_->SwitchLanguage(0);
    EXPECT_EQ(window_->ActiveLanguage(), 0);
}

// Serves one broken translation ahead of the resource folder.
class BrokenTranslation : public ui::IResProvider {
public:
    bool HasResource(const QString& type, const QString& name) const override {
        return type == QLatin1String("translator") && name == QLatin1String("lang_cn");
    }
    QByteArray LoadData(const QString& type, const QString& name) const override {
        return HasResource(type, name) ? QByteArray("<language><context/></language>")
                                       : QByteArray();
    }
};

TEST_F(MainWindowTest, TranslationThatDoesNotLoadKeepsTheCurrentLanguage) {
    Start();
    ui::SApplication* app = ui::SApplication::Instance();
    auto broken = std::make_shared<BrokenTranslation>();
    app->AddResProvider(broken);
    SWindow* restore = Find("btn_restore_factory");
    const QString before = restore->GetText();
    const QString language = app->GetTranslator()->Language();

    Click("zh_cn");
    app->RemoveResProvider(broken.get());

    EXPECT_EQ(restore->GetText(), before);
    EXPECT_EQ(app->GetTranslator()->Language(), language);
    EXPECT_FALSE(Find("zh_cn")->IsChecked());
    EXPECT_TRUE(Find("jp")->IsChecked());
}

// ---- upgrade tool and web site ---------------------------------------------------------------

TEST_F(MainWindowTest, UpgradeToolThatDoesNotStartReconnectsWithoutProfileSelect) {
    Start();
    platform_.programStarts = false;

    window_->OnMenuCommand(0, kMenuUpgrade);

#ifdef _WIN32
    const QString tool = QStringLiteral("/update.exe");
    const char* said = "Failed to start the upgrade exe";
#else
    const QString tool = QStringLiteral("/update");
    const char* said = "Failed to start the upgrade program";
#endif
    EXPECT_EQ(platform_.startedPrograms, QStringList{ui::SApplication::ProgramFolder() + tool});
    // Without a tray that shows balloons (as here), a box over the shown window says it, in
    // the platform's words.
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, said);
    EXPECT_EQ(boxes_[0].caption, "Warning");
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(Status(), "Connected");
    EXPECT_TRUE(trace_.Lines().empty());
    // The channel was let go and taken again: the keyboard answers on the new handle.
    window_->SendLighting();
    EXPECT_EQ(trace_.Lines().back(), "send 07 f7 00 01 01 02 03 00");
}

TEST_F(MainWindowTest, UpgradeToolThatRunsLetsGoOfTheKeyboardWhileItRuns) {
    Start();
    bool hiddenWhileRunning = false;
    QString statusWhileRunning;
    bool busyWhileRunning = false;
    platform_.whileProgramRuns = [&] {
        hiddenWhileRunning = !window_->isVisible();
        statusWhileRunning = Status();
        const QCursor* cursor = QApplication::overrideCursor();
        busyWhileRunning = cursor && cursor->shape() == Qt::WaitCursor;
        keyboard_.Unplug();  // the tool restarts the keyboard; it does not come back
    };

    window_->OnMenuCommand(0, kMenuUpgrade);

    EXPECT_TRUE(hiddenWhileRunning);
    EXPECT_EQ(statusWhileRunning, "Disconnected");
    EXPECT_TRUE(busyWhileRunning);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(window_->isVisible());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Failed to open USB");
    EXPECT_EQ(Status(), "Disconnected");
    EXPECT_TRUE(trace_.Lines().empty());
}

TEST_F(MainWindowTest, LogoLinkOpensTheAddressOfConfigXml) {
    Start();
    Click("logo_link");
    EXPECT_EQ(platform_.openedUrls, QList<QUrl>{QUrl(QString::fromStdString(config_.website))});
    EXPECT_FALSE(config_.website.empty());

    // Only a web address makes a link; anything else hides it.
    const struct {
        const char* local;
        const char* opened;  // nullptr: the link is hidden
    } cases[] = {
        {R"(<local language="en" website="https://vendor.example/kb"/>)",
         "https://vendor.example/kb"},
        {R"(<local language="en" website="http://vendor.example"/>)", "http://vendor.example"},
        {R"(<local language="en" website=""/>)", nullptr},
        {R"(<local language="en"/>)", nullptr},
        {R"(<local language="en" website="file:///etc/passwd"/>)", nullptr},
        {R"(<local language="en" website="not an address"/>)", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.local);
        const DeviceConfig config = DeviceConfig::LoadFromText(c.local);
        platform::RecordingPlatform platform;
        const MainWindowServices services = Services(&platform, &config);
        CMainDlg window(services);
        ASSERT_TRUE(window.CreateHost());
        window.SendHostMessage(ui::kWmInitDialog);
        SWindow* link = window.FindChildByName(QStringLiteral("logo_link"));
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->IsVisible(), c.opened != nullptr);
        window.OpenVendorSite();
        EXPECT_EQ(platform.openedUrls,
                  c.opened ? QList<QUrl>{QUrl(QString::fromUtf8(c.opened))} : QList<QUrl>{});
        window.DestroyWindow();
    }
}

// ---- disconnected, failing, refused ----------------------------------------------------------

TEST_F(MainWindowTest, WithoutTheKeyboardItsControlsAreGreyAndSayWhy) {
    // Esc (0x29) holds a remap: a marked key while the keyboard is there.
    SetKeyboardState([](SimKeyboardState& s) { s.profiles[0].remaps[0] = {0x29, 0x04}; });
    keyboard_.Unplug();
    Start();
    const std::vector<const char*> controls = {"cmb_profile", "cmb_led_mode", "btn_restore_factory",
                                               "bar_brightness", "bar_color1"};
    std::map<std::string, QString> tips;
    const auto expectGrey = [&](bool grey) {
        EXPECT_EQ(window_->ControlsConnected(), !grey);
        for (const char* name : controls) {
            SWindow* control = Find(name);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->isEnabled(), !grey) << name;
            if (grey) {
                EXPECT_EQ(control->GetToolTipText(), "The keyboard is not connected") << name;
            } else {
                EXPECT_EQ(control->GetToolTipText(), tips[name]) << name;
            }
        }
    };
    expectGrey(true);
    EXPECT_EQ(Keys()->GetCheck(0x29), 0);
    // The keyboard picture stays: its dialog edits the macro library without the keyboard.
    EXPECT_TRUE(Keys()->isEnabled());
    int dialogs = 0;
    window_->SetKeyDialogRunner([&](CMainDlg&, const KeySelection&, KeyChoice&) {
        ++dialogs;
        return ui::kIdCancel;
    });
    const QPoint overEsc = Keys()->GetKeys()[0].Rect().center();
    QTest::mouseClick(Keys(), Qt::LeftButton, {}, overEsc);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(trace_.Lines().empty());
    // "Disconnected" says it all: an exchange started anyway adds no notice.
    SelectEffect(3);
    EXPECT_EQ(window_->Notice(), "");

    // Tooltips wear the program's dark colours, not the system's.
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), TableColor("popup"));
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipText), TableColor("text"));

    // The tooltips follow the language.
    Click("zh_cn");
    EXPECT_EQ(Find("cmb_profile")->GetToolTipText(), QString::fromUtf8("键盘未连接"));
    Click("jp");

    keyboard_.Plug();
    platform_.FireDeviceChange();
    QCoreApplication::sendPostedEvents();
    tips = {{"cmb_profile", "Onboard profile"},
            {"cmb_led_mode", ""},
            {"btn_restore_factory", ""},
            {"bar_brightness", "Brightness"},
            {"bar_color1", "Red"}};
    expectGrey(false);
    EXPECT_EQ(Keys()->GetCheck(0x29), 1);

    // Unplugged: the marks go with the keyboard, and come back with it.
    keyboard_.Unplug();
    platform_.FireDeviceChange();
    QCoreApplication::sendPostedEvents();
    expectGrey(true);
    EXPECT_EQ(Keys()->GetCheck(0x29), 0);
    EXPECT_EQ(boxes_.size(), 1u);  // the start-up warning only
    keyboard_.Plug();
    platform_.FireDeviceChange();
    QCoreApplication::sendPostedEvents();
    expectGrey(false);
    EXPECT_EQ(Keys()->GetCheck(0x29), 1);

    // Around the upgrade tool the marks of the last read-back come back without a new one.
    platform_.programStarts = false;
    window_->RunUpgradeTool();
    expectGrey(false);
    EXPECT_EQ(Keys()->GetCheck(0x29), 1);
}

TEST_F(MainWindowTest, ActionsWhoseReportsFailSaySoOnce) {
    Start();
    ASSERT_EQ(window_->Notice(), "");
    SelectProfileEntry(1);  // reaches the keyboard: nothing to say
    EXPECT_EQ(window_->Notice(), "");

    // Each action the user takes, with the keyboard no longer answering.
    const std::vector<std::pair<const char*, std::function<void()>>> actions = {
        {"profile", [this] { SelectProfileEntry(2); }},
        {"effect", [this] { SelectEffect(3); }},
        {"colour", [this] { Click("bar_color2"); }},
        {"slider", [this] { MoveSlider("bar_brightness", 1); }},
        {"restore", [this] { Click("btn_restore_factory"); }},
        {"key",
         [this] {
             window_->SetKeyDialogRunner([](CMainDlg&, const KeySelection&, KeyChoice& chosen) {
                 chosen = KeyTo(0x05);
                 return ui::kIdOk;
             });
             window_->OnCoordButtonClick(0x04, QStringLiteral("A"), 1, 0, 0, 0);
         }},
        {"profile again", [this] { SelectProfileEntry(1); }},
    };
    for (const auto& [what, action] : actions) {
        SCOPED_TRACE(what);
        window_->HideNotice();
        EXPECT_TRUE(window_->FindChildByName(QStringLiteral("hint"))->IsVisible());
        keyboard_.FailAllExchanges(true);
        boxes_.clear();
        action();
        // The restore asks first; an assignment that did not take says so in its own box,
        // which is all that is told about it. Nothing else opens a box.
        const bool ownBox = std::string_view(what) == "key";
        EXPECT_EQ(boxes_.size(), std::string_view(what) == "restore" || ownBox ? 1u : 0u);
        EXPECT_EQ(window_->Notice(), ownBox ? "" : "The keyboard did not respond");
        EXPECT_EQ(window_->FindChildByName(QStringLiteral("hint"))->IsVisible(), ownBox);
        keyboard_.FailAllExchanges(false);
        EXPECT_EQ(Status(), "Connected");
    }
    // In Chinese too.
    Click("zh_cn");
    EXPECT_EQ(window_->Notice(), QString::fromUtf8("键盘没有响应"));
    Click("jp");
}

TEST_F(MainWindowTest, AFailureTheProtocolWarnsAboutIsNotToldTwice) {
    SetKeyboardState(FillEveryMacroSlot);
    Start();
    window_->SetKeyDialogRunner([](CMainDlg&, const KeySelection&, KeyChoice& chosen) {
        chosen = KeyTo(0x05);
        return ui::kIdOk;
    });
    keyboard_.FailNextExchanges(3);
    window_->OnCoordButtonClick(0x04, QStringLiteral("A"), 1, 0, 0, 0);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(window_->Notice(), "");
}

TEST_F(MainWindowTest, AKeyboardWithoutPermissionIsExplained) {
    keyboard_.DenyOpen(true);
    Start();
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0].text, "Failed to open USB");
    EXPECT_EQ(boxes_[1].text, QString::fromUtf8(kNoPermissionText));
    EXPECT_EQ(boxes_[1].caption, "Warning");
    EXPECT_EQ(Status(), "Disconnected");
    EXPECT_FALSE(window_->ControlsConnected());

    // Again on a device change while it lasts; once allowed, it connects without a word.
    boxes_.clear();
    platform_.FireDeviceChange();
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].text, QString::fromUtf8(kNoPermissionText));
    boxes_.clear();
    keyboard_.DenyOpen(false);
    platform_.FireDeviceChange();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(Status(), "Connected");
    EXPECT_TRUE(window_->ControlsConnected());

    // Absent or failing for another reason: the plain warning only.
    keyboard_.SetOpenFailure(true);
    platform_.FireDeviceChange();
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Failed to open USB");
}

// Where the platform can give access itself, the explanation offers it: OK asks the system,
// and access given connects at once; Cancel or a refusal leaves the keyboard away.
TEST_F(MainWindowTest, AccessToAKeyboardThatIsKeptFromUsIsOfferedWhereItCanBeGiven) {
    const QString offer = QString::fromUtf8(kNoPermissionText) + "\n\n" + kTextOfferAccess;
    struct Case {
        const char* name;
        int answer;
        bool granted;
        std::vector<QString> boxes;  // after "Failed to open USB"
        bool connected;
    };
    const std::vector<Case> cases{
        {"given", ui::kIdOk, true, {offer}, true},
        {"cancelled", ui::kIdCancel, true, {offer}, false},
        {"refused", ui::kIdOk, false, {offer, kTextAccessNotGiven}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keyboard_.DenyOpen(true);
        platform_.accessHelper = true;
        platform_.accessGranted = c.granted;
        platform_.accessRequests = 0;
        platform_.whileGranting = [this] { keyboard_.DenyOpen(false); };
        boxes_.clear();
        boxAnswer_ = c.answer;
        Start();
        QCoreApplication::sendPostedEvents();
        std::vector<QString> texts;
        for (const Box& box : boxes_) {
            texts.push_back(box.text);
        }
        std::vector<QString> expected{"Failed to open USB"};
        expected.insert(expected.end(), c.boxes.begin(), c.boxes.end());
        EXPECT_EQ(texts, expected);
        EXPECT_EQ(platform_.accessRequests, c.answer == ui::kIdOk ? 1 : 0);
        EXPECT_EQ(Status(), c.connected ? "Connected" : "Disconnected");
        window_->DestroyWindow();
        window_.reset();
    }
    boxAnswer_ = ui::kIdOk;
}

TEST_F(MainWindowTest, TheLanguageChosenIsHandedOnToBeKept) {
    Start();
    std::vector<int> chosen;
    window_->SetLanguageChosenHandler([&chosen](int language) { chosen.push_back(language); });
    Click("zh_cn");
    Click("jp");
    EXPECT_EQ(chosen, (std::vector<int>{1, 0}));
}

// ---- key buttons -----------------------------------------------------------------------------

TEST_F(MainWindowTest, KeyClickRunsTheDialogAndAppliesItsChoice) {
    Start();
    KeySelection seenKeys;
    window_->SetKeyDialogRunner([&](CMainDlg& owner, const KeySelection& keys, KeyChoice& chosen) {
        EXPECT_EQ(&owner, window_.get());
        seenKeys = keys;
        chosen = KeyTo(0x05);  // the single key B
        return ui::kIdOk;
    });

    // A real click on the key A of the picture.
    ui::CoordButtonImage* keys = Keys();
    QPoint centre;
    for (const ui::CoordKey& key : keys->GetKeys()) {
        if (key.id == 0x04) {
            centre = key.Rect().center() + keys->GetClientRectLocal().topLeft();
        }
    }
    QTest::mouseClick(keys, Qt::LeftButton, Qt::NoModifier, centre);

    EXPECT_EQ(seenKeys, (KeySelection{{0x04, "A"}}));
    EXPECT_TRUE(window_->Selection().empty());
    EXPECT_EQ(trace_.Lines(),
              Join({{"send 07 fa 01 01 04 01 05 01", "wait 20"},
                    ReadBack("01 00 00 00 00 00 00", kZeros, "04 00 00 00 00 00 00", kZeros)}));
    EXPECT_EQ(keys->GetCheck(0x04), 1);
    EXPECT_EQ(keyboard_.Remap(1, 1), (SimRemapEntry{0x04, 0x05}));
}

TEST_F(MainWindowTest, NoFreeSlotWarningShowsWithoutTheBusyCursor) {
    SetKeyboardState(FillEveryMacroSlot);
    Start();
    window_->SetKeyDialogRunner([](CMainDlg&, const KeySelection&, KeyChoice& chosen) {
        chosen = KeyTo(0x05);
        return ui::kIdOk;
    });

    window_->OnCoordButtonClick(0x04, QStringLiteral("A"), 1, 0, 0, 0);

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].owned);
    EXPECT_FALSE(boxes_[0].busyCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, KeyboardLostDuringAnAssignmentIsToldOnceAfterTheReadBack) {
    SetKeyboardState([](SimKeyboardState& s) { s.profiles[0].remaps[0] = {0x2B, 0x04}; });
    Start();
    int result = ui::kIdOk;
    window_->SetKeyDialogRunner([&](CMainDlg&, const KeySelection&, KeyChoice& chosen) {
        chosen.kind = KeyKind::Macro;  // a macro of one step
        chosen.repeat = 1;
        chosen.steps = {{"5", "B", "0", "10"}};
        return result;
    });
    bool marksAtTheBox = true;
    onBox_ = [&] { marksAtTheBox = Keys()->GetCheck(0x2B) != 0; };

    // The cable comes out after the second report of the macro's transfer.
    keyboard_.UnplugAfterExchanges(2);
    window_->OnCoordButtonClick(0x04, QStringLiteral("A"), 1, 0, 0, 0);
    const std::string lost = "send 07 00 00 00 00 00 00 00 failed";
    EXPECT_EQ(trace_.Lines(),
              Join({{"send 07 f1 01 01 04 01 05 01", "wait 8", "send 07 00 00 00 00 00 00 00",
                     "wait 8", lost, lost, lost, lost},
                    LostReadBack()}));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text,
              "The keyboard did not take the assignment. Check that it is "
              "connected and try again.");
    EXPECT_EQ(boxes_[0].caption, "Warning");
    EXPECT_TRUE(boxes_[0].owned);
    EXPECT_FALSE(boxes_[0].busyCursor);
    EXPECT_FALSE(marksAtTheBox);  // the box comes after the read-back
    EXPECT_EQ(keyboard_.MacroRecord(1, 1), SimMacroRecord{});

    // Plugged in again, then gone at the delete: one report, the read-back, one box in the
    // language in use.
    keyboard_.Plug();
    window_->OnDeviceChange();
    ASSERT_EQ(Keys()->GetCheck(0x2B), 1);
    keyboard_.UnplugAfterExchanges(0);
    window_->SwitchLanguage(1);
    trace_.Clear();
    boxes_.clear();
    result = kIdBtnDelete;
    window_->OnCoordButtonClick(0x2B, QStringLiteral("Tab"), 1, 0, 0, 0);
    EXPECT_EQ(trace_.Lines(), Join({{"send 07 fa 01 01 00 01 00 01 failed"}, LostReadBack()}));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, kNotClearedWarning);
    EXPECT_EQ(boxes_[0].shown, QString::fromUtf8("键盘未能清除该按键设置，请检查键盘连接后重试。"));
    window_->SwitchLanguage(0);
}

TEST_F(MainWindowTest, KeyClickWithDeleteClearsTheKeysSlot) {
    SetKeyboardState([](SimKeyboardState& s) { s.profiles[0].remaps[2] = {0x2B, 0x04}; });
    Start();
    int runs = 0;
    window_->SetKeyDialogRunner([&](CMainDlg&, const KeySelection&, KeyChoice&) {
        ++runs;
        return kIdBtnDelete;
    });

    window_->OnCoordButtonClick(0x2B, QStringLiteral("Tab"), 0, 1, 5, 5);  // a press does nothing
    EXPECT_EQ(runs, 0);
    window_->OnCoordButtonClick(0x12B, QStringLiteral("Tab"), 1, 0, 5, 5);

    EXPECT_EQ(runs, 1);
    EXPECT_EQ(trace_.Lines(),
              Join({{"send 07 fa 01 03 00 01 00 01", "wait 10"}, EmptyReadBack(1)}));
    EXPECT_EQ(Keys()->GetCheck(0x2B), 0);
    EXPECT_TRUE(window_->Selection().empty());
}

TEST_F(MainWindowTest, KeyClickResetsAProfileIndexBeyondTheThird) {
    Start();
    session_->SetCurrentProfileIndex(3);
    window_->SetKeyDialogRunner(
        [](CMainDlg&, const KeySelection&, KeyChoice&) { return ui::kIdCancel; });

    window_->OnCoordButtonClick(0x04, QStringLiteral("A"), 1, 0, 0, 0);

    EXPECT_EQ(window_->CurrentProfileIndex(), 0);
    EXPECT_TRUE(trace_.Lines().empty());
}

// ---- what each key does, backup and restore -------------------------------------------------

KeyChoice Choice(KeyKind kind, const std::string& name = {}, std::vector<std::int32_t> codes = {},
                 int repeat = 0) {
    KeyChoice choice;
    choice.kind = kind;
    choice.name = name;
    choice.codes = std::move(codes);
    choice.repeat = repeat;
    return choice;
}

class KeyMemoryWindowTest : public MainWindowTest {
public:
    KeyMemoryWindowTest() { keymapPath_ = folder_.File("keymap.xml"); }

    // A click on key whose dialog ends with OK and the choice made; a macro without steps
    // gets one (A down, 100 ms).
    void Assign(std::uint8_t key, KeyChoice choice) {
        if (choice.kind == KeyKind::Macro && choice.steps.empty()) {
            choice.steps = {{"4", "A", "0", "100"}};
        }
        window_->SetKeyDialogRunner([&](CMainDlg&, const KeySelection&, KeyChoice& chosen) {
            chosen = choice;
            return ui::kIdOk;
        });
        window_->OnCoordButtonClick(key, QString::fromStdString(KeyCodeName(key)), 1, 0, 0, 0);
    }

    const ui::CoordKey* KeyOf(int id) {
        static std::vector<ui::CoordKey> keys;
        keys = Keys()->GetKeys();
        for (const ui::CoordKey& key : keys) {
            if (key.id == id) {
                return &key;
            }
        }
        return nullptr;
    }
    QString Detail(int id) {
        const ui::CoordKey* key = KeyOf(id);
        return key ? key->detail : QStringLiteral("(no key)");
    }
    QColor KindColor(int id) {
        const ui::CoordKey* key = KeyOf(id);
        return key ? key->kind : QColor();
    }
    static QColor ColorOf(KeyKind kind) { return kb::KindColor(kind); }

    test::TempFolder folder_;
};

TEST_F(KeyMemoryWindowTest, KeysSayWhatTheyDoInTheirColourAndTooltipInBothLanguages) {
    SetKeyboardState([](SimKeyboardState& s) { s.profiles[1].remaps[0] = {0x10, 0x29}; });
    Start();
    Assign(0x04, Choice(KeyKind::Media, "Mute", {226}));
    Assign(0x05, Choice(KeyKind::Macro, "Hello", {}, 3));
    Assign(0x06, KeyTo(0x29));
    Assign(0x3A, Choice(KeyKind::Function, "Copy", {224, 6}));

    EXPECT_EQ(Detail(0x04), "Mute");
    EXPECT_EQ(Detail(0x05), QString::fromUtf8("Macro \"Hello\" \u00d73"));
    EXPECT_EQ(Detail(0x06), QString::fromUtf8("\u2192 Esc"));
    EXPECT_EQ(Detail(0x3A), "Copy (Ctrl+C)");
    EXPECT_EQ(Detail(0x07), "");
    EXPECT_EQ(KindColor(0x04), ColorOf(KeyKind::Media));
    EXPECT_EQ(KindColor(0x05), ColorOf(KeyKind::Macro));
    EXPECT_EQ(KindColor(0x06), ColorOf(KeyKind::Key));
    EXPECT_EQ(KindColor(0x3A), ColorOf(KeyKind::Function));
    EXPECT_FALSE(KindColor(0x07).isValid());
    EXPECT_EQ(Find("legend_media")->ColorBkgnd(), ColorOf(KeyKind::Media));

    // The tooltip of the key under the mouse names it and says what it does.
    ui::CoordButtonImage* keys = Keys();
    const QPoint overA = KeyOf(0x04)->Rect().center() + keys->GetClientRectLocal().topLeft();
    QTest::mouseMove(keys, overA);
    EXPECT_EQ(keys->GetToolTipText(), "A\nMute");

    window_->SwitchLanguage(1);
    EXPECT_EQ(keys->GetToolTipText(), QString::fromUtf8("A\n静音"));
    EXPECT_EQ(Detail(0x05), QString::fromUtf8("宏“Hello” \u00d73"));
    EXPECT_EQ(Detail(0x3A), QString::fromUtf8("复制 (Ctrl+C)"));

    // Profile 2 holds a key set elsewhere; profile 1's marks go with the profile.
    SelectProfileEntry(1);
    EXPECT_EQ(Detail(0x10), QString::fromUtf8("已在别处设置"));
    EXPECT_EQ(KindColor(0x10), ColorOf(KeyKind::Elsewhere));
    EXPECT_EQ(Detail(0x04), "");
    window_->SwitchLanguage(0);
    EXPECT_EQ(Detail(0x10), "assigned elsewhere");
}

TEST_F(KeyMemoryWindowTest, DialogOpensOnTheKeysAssignmentAndTheMemoryFollowsTheKeyboard) {
    Start();
    std::vector<std::optional<KeyChoice>> seen;
    const KeyChoice copy = Choice(KeyKind::Function, "Copy", {224, 6});
    window_->SetKeyDialogRunner([&](CMainDlg& owner, const KeySelection&, KeyChoice& chosen) {
        const KeyChoice* current = owner.SelectedKeyChoice();
        seen.push_back(current ? std::optional<KeyChoice>(*current) : std::nullopt);
        chosen = copy;
        return ui::kIdOk;
    });
    window_->OnCoordButtonClick(0x04, QStringLiteral("A"), 1, 0, 0, 0);
    window_->OnCoordButtonClick(0x04, QStringLiteral("A"), 1, 0, 0, 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_FALSE(seen[0]);
    EXPECT_EQ(seen[1], copy);
    // Saved as it happened.
    EXPECT_EQ(
        LoadKeymap(folder_.File("keymap.xml"), Memory().Identity()).profiles[0].at(0x04).choice,
        copy);

    // Delete frees the key: forgotten.
    window_->SetKeyDialogRunner(
        [](CMainDlg&, const KeySelection&, KeyChoice&) { return kIdBtnDelete; });
    window_->OnCoordButtonClick(0x04, QStringLiteral("A"), 1, 0, 0, 0);
    EXPECT_EQ(Memory().Find(0, 0x04), nullptr);
    EXPECT_EQ(Detail(0x04), "");
}

TEST_F(KeyMemoryWindowTest, StartUpShowsTheLightingLastSentWithoutSendingIt) {
    LightingTable table = InitialLightingTable();
    table[3] = {2, 0, 0, 1, 0};  // static, second colour row's second member, brightness 1
    {
        KeyMemory memory(keymapPath_,
                         {config_.vid, config_.pid, config_.interfaceNumber, config_.subdevice});
        memory.LightingSent(3, table);
    }

    Start(false);

    EXPECT_EQ(Find<ui::SComboBox>("cmb_led_mode")->GetCurSel(), 3);
    EXPECT_TRUE(window_->FindChildByID(65607)->IsChecked());
    EXPECT_EQ(Find<ui::SSliderBar>("bar_brightness")->GetValue(), 1);
    for (const std::string& line : trace_.Lines()) {
        EXPECT_EQ(line.find("send 07 f7"), std::string::npos) << line;
    }

    // A change goes out and is remembered; a factory restore forgets it all.
    MoveSlider("bar_brightness", 3);
    EXPECT_EQ(Memory().Memory().lighting->table[3][3], 3);
    Click("btn_restore_factory");
    EXPECT_EQ(Memory().Memory().lighting->effect, 0);
    EXPECT_EQ(Memory().Memory().lighting->table, InitialLightingTable());
}

TEST_F(KeyMemoryWindowTest, BackUpFactoryRestoreAndRestoreFromTheMoreMenu) {
    Start();
    Assign(0x04, Choice(KeyKind::Media, "Mute", {226}));
    Assign(0x05, Choice(KeyKind::Macro, "Hello", {}, 3));
    SelectProfileEntry(1);
    KeyChoice esc = Choice(KeyKind::Key);
    esc.target = 0x29;
    Assign(0x06, esc);
    SelectProfileEntry(2);
    Assign(0x3A, Choice(KeyKind::Function, "Copy", {224, 6}));
    SelectEffect(5);
    SelectProfileEntry(1);
    const SimKeyboardState before = keyboard_.State();

    const std::string backup = folder_.File("settings.kbbackup");
    platform_.saveFileAnswers = {QString::fromStdString(backup)};
    window_->OnMenuCommand(0, kMenuBackUp);
    EXPECT_EQ(platform_.lastChooserOptions.patterns, QStringList{"*.kbbackup"});
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Back up settings");
    EXPECT_EQ(boxes_[0].text,
              "Settings backed up. Assigned keys in the three profiles: 4. The lighting is in the "
              "backup too.");
    EXPECT_FALSE(boxes_[0].busyCursor);
    EXPECT_EQ(window_->CurrentProfileIndex(), 1);

    Click("btn_restore_factory");
    ASSERT_EQ(keyboard_.State().profiles, SimKeyboardState{}.profiles);
    // Something else on profile 2 that the backup does not have.
    SelectProfileEntry(1);
    Assign(0x07, KeyTo(0x05));
    boxes_.clear();

    platform_.openFileAnswers = {QString::fromStdString(backup)};
    window_->OnMenuCommand(0, kMenuRestore);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0].caption, "Restore settings");
    EXPECT_EQ(boxes_[0].text,
              "The key assignments of all three profiles and the lighting will be replaced by "
              "those of the backup. Continue?");
    EXPECT_EQ(boxes_[1].text,
              "Settings restored. Assigned keys in the three profiles: 4. The lighting was sent "
              "too.");
    EXPECT_FALSE(boxes_[1].busyCursor);
    SimKeyboardState after = keyboard_.State();
    after.activeProfile = before.activeProfile;
    EXPECT_EQ(after, before);
    EXPECT_EQ(window_->CurrentProfileIndex(), 1);
    EXPECT_EQ(Find<ui::SComboBox>("cmb_profile")->GetCurSel(), 1);
    EXPECT_EQ(Find<ui::SComboBox>("cmb_led_mode")->GetCurSel(), 5);
    EXPECT_EQ(Detail(0x06), QString::fromUtf8("\u2192 Esc"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(KeyMemoryWindowTest, RestoreRefusesBadFilesAndCancelSendsNothing) {
    Start();
    const std::string backup = folder_.File("settings.kbbackup");
    platform_.saveFileAnswers = {QString::fromStdString(backup)};
    window_->OnMenuCommand(0, kMenuBackUp);
    const std::string config = ui::SApplication::ProgramFolder().toStdString() + "/config.xml";
    boxes_.clear();
    trace_.Clear();

    platform_.openFileAnswers = {QString::fromStdString(config)};
    window_->OnMenuCommand(0, kMenuRestore);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, QString::fromStdString(config) +
                                  " cannot be restored. It is not a backup of keyboard settings.");
    EXPECT_TRUE(trace_.Lines().empty());

    boxAnswer_ = ui::kIdCancel;
    platform_.openFileAnswers = {QString::fromStdString(backup)};
    window_->OnMenuCommand(0, kMenuRestore);
    EXPECT_EQ(boxes_.size(), 2u);
    EXPECT_TRUE(trace_.Lines().empty());

    // The file chooser cancelled: nothing at all.
    window_->OnMenuCommand(0, kMenuRestore);
    EXPECT_EQ(boxes_.size(), 2u);
}

// Each assigned key says on its cap what it does, keys go by one naming in both languages, a
// repeat count says what the keyboard got, and the overview opens the dialog on a key.
TEST_F(KeyMemoryWindowTest, CapsAndOverviewShowWhatEachKeyDoesAsTheKeyboardGotIt) {
    Start();
    Assign(0x39, KeyTo(0xE0));
    Assign(0x05, Choice(KeyKind::Macro, "Hello", {}, 300));
    Assign(0x3A, Choice(KeyKind::Media, "Play/Pause", {205}));
    EXPECT_EQ(Detail(0x39), QString::fromUtf8("\u2192 Left Ctrl"));
    EXPECT_EQ(Detail(0x05), QString::fromUtf8("Macro \"Hello\" \u00d744"));
    EXPECT_EQ(KeyOf(0x39)->title, "Caps Lock");
    EXPECT_EQ(KeyOf(0x39)->name, "CapsLock");  // the coordinate file's name stays the key's
    EXPECT_EQ(KeyOf(0x39)->label, QString::fromUtf8("\u2192LCtrl"));
    EXPECT_EQ(KeyOf(0x05)->label, "Hello");
    EXPECT_EQ(KeyOf(0x3A)->label, "Play");
    EXPECT_TRUE(KeyOf(0x06)->label.isEmpty());

    window_->SwitchLanguage(1);
    EXPECT_EQ(KeyOf(0x39)->title, QString::fromUtf8("大写锁定"));
    EXPECT_EQ(Detail(0x39), QString::fromUtf8("\u2192 左 Ctrl"));
    EXPECT_EQ(KeyOf(0x3A)->label, QString::fromUtf8("播放"));

    // The overview lists the keys in the picture's order; a row opens the dialog on its key.
    std::vector<KeySelection> opened;
    window_->SetKeyDialogRunner([&](CMainDlg&, const KeySelection& keys, KeyChoice&) {
        opened.push_back(keys);
        return ui::kIdCancel;
    });
    QStringList rows;
    QTimer::singleShot(0, [&] {
        auto* overview = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(overview, nullptr);
        auto* list = overview->findChild<QTreeWidget*>("overview_list");
        ASSERT_NE(list, nullptr);
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            rows << list->topLevelItem(row)->text(0) + " | " + list->topLevelItem(row)->text(1);
        }
        const QRect second = list->visualItemRect(list->topLevelItem(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    });
    window_->ShowKeyOverview();
    EXPECT_EQ(rows, QStringList({QString::fromUtf8("F1 | 播放/暂停"),
                                 QString::fromUtf8("大写锁定 | \u2192 左 Ctrl"),
                                 QString::fromUtf8("B | 宏“Hello” \u00d744")}));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].begin()->first, 0x39);

    // Unplugged, nothing of the keys is known: no labels; they come back with the keyboard.
    keyboard_.Unplug();
    platform_.FireDeviceChange();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(KeyOf(0x39)->label.isEmpty());
    EXPECT_EQ(Detail(0x39), "");
    EXPECT_EQ(KeyOf(0x39)->title, QString::fromUtf8("大写锁定"));
    keyboard_.Plug();
    platform_.FireDeviceChange();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(KeyOf(0x39)->label, QString::fromUtf8("\u2192LCtrl"));
}

}  // namespace
}  // namespace kb

namespace kb {
namespace {

// While disconnected, backup and restore are refused before a file is asked for.
TEST_F(KeyMemoryWindowTest, BackupAndRestoreAreRefusedWhileDisconnected) {
    keyboard_.Unplug();
    Start();
    // The translator is the process's: an earlier test in the same process may have left Chinese.
    window_->SwitchLanguage(0);
    const std::string out = folder_.File("out.kbbackup");
    for (const int command : {kMenuBackUp, kMenuRestore}) {
        boxes_.clear();
        platform_.saveFileAnswers = {QString::fromStdString(out)};
        platform_.openFileAnswers = {QString::fromStdString(out)};
        window_->OnMenuCommand(0, command);
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text, "The keyboard is not connected");
        EXPECT_EQ(platform_.saveFileAnswers.size() + platform_.openFileAnswers.size(), 2u);
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

bool MemoryFollows(const KeyboardMemory& memory, const SimKeyboardState& state) {
    for (std::size_t p = 0; p < kProfileCount; ++p) {
        SlotTable macro{}, remap{};
        for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
            macro[slot] = state.profiles[p].macros[slot][2];
            remap[slot] = state.profiles[p].remaps[slot].key;
        }
        ProfileMemory copy = memory.profiles[p];
        if (Reconcile(copy, macro, remap)) {
            return false;
        }
    }
    return true;
}

// Each window action with the keyboard unplugged after each of its exchanges: the memory is as
// it was or says what the keyboard holds, and a success is said only when the keyboard got it.
TEST_F(KeyMemoryWindowTest, AnActionInterruptedAtAnyExchangeNeverReachesTheMemory) {
    Start();
    window_->SwitchLanguage(0);  // the boxes are compared in English
    Assign(0x04, Choice(KeyKind::Media, "Mute", {226}));
    Assign(0x05, Choice(KeyKind::Macro, "Hello", {}, 3));
    SelectProfileEntry(1);
    KeyChoice esc = Choice(KeyKind::Key);
    esc.target = 0x29;
    Assign(0x06, esc);
    SelectProfileEntry(0);
    const std::string backup = folder_.File("settings.kbbackup");
    platform_.saveFileAnswers = {QString::fromStdString(backup)};
    window_->OnMenuCommand(0, kMenuBackUp);
    ASSERT_TRUE(std::filesystem::exists(backup));
    const SimKeyboardState held = keyboard_.State();
    const KeyboardMemory remembered = Memory().Memory();
    const std::string out = folder_.File("out.kbbackup");

    struct Action {
        const char* name;
        SimKeyboardState start;
        std::function<void()> run;
        const char* doneText;      // the start of the box that says it was done; none: no box
        bool emptyMemory = false;  // the program remembers nothing (as the keyboard holds)
    };
    const std::vector<Action> actions{
        {"backup", held,
         [&] {
             platform_.saveFileAnswers = {QString::fromStdString(out)};
             window_->OnMenuCommand(0, kMenuBackUp);
         },
         "Settings backed up."},
        {"restore", SimKeyboardState{},
         [&] {
             platform_.openFileAnswers = {QString::fromStdString(backup)};
             window_->OnMenuCommand(0, kMenuRestore);
         },
         "Settings restored.", true},
        {"assign", held, [&] { Assign(0x07, Choice(KeyKind::Macro, "Hi", {}, 1)); }, nullptr},
        {"profile", held, [&] { SelectProfileEntry(1); }, nullptr},
        {"lighting", held, [&] { SelectEffect(4); }, nullptr},
        {"key", held, [&] { Assign(0x07, KeyTo(0x29)); }, nullptr},
        {"media key", held, [&] { Assign(0x07, Choice(KeyKind::Media, "Mute", {226})); },
         nullptr},
        {"function key", held,
         [&] { Assign(0x07, Choice(KeyKind::Function, "Copy", {224, 6})); }, nullptr},
        {"clear", held,
         [&] {
             window_->SetKeyDialogRunner(
                 [](CMainDlg&, const KeySelection&, KeyChoice&) { return kIdBtnDelete; });
             window_->OnCoordButtonClick(0x05, QStringLiteral("B"), 1, 0, 0, 0);
         },
         nullptr},
        {"factory restore", held, [&] { Click("btn_restore_factory"); }, nullptr},
        {"refresh at start",
         held,
         [&] {
             window_->DestroyWindow();
             Start(false);
         },
         nullptr},
        {"refresh at replug", held, [&] { window_->OnDeviceChange(); }, nullptr},
    };
    for (const Action& action : actions) {
        SCOPED_TRACE(action.name);
        const auto restart = [&] {
            window_->DestroyWindow();
            window_.reset();
            keyboard_.ClearFaults();
            keyboard_.Plug();
            ASSERT_TRUE(keyboard_.SetState(action.start));
            ASSERT_TRUE(SaveKeymap(folder_.File("keymap.xml"), Memory().Identity(),
                                   action.emptyMemory ? KeyboardMemory{} : remembered));
            Start();
            std::filesystem::remove(out);
            keyboard_.ClearExchanges();
            boxes_.clear();
        };
        restart();
        action.run();
        const std::size_t exchanges = keyboard_.Exchanges().size();
        SimKeyboardState finished = keyboard_.State();
        const std::string written =
            std::filesystem::exists(out) ? test::ReadFile(out) : std::string();
        ASSERT_GT(exchanges, 0u);
        for (std::size_t n = 0; n < exchanges; ++n) {
            SCOPED_TRACE("unplugged after " + std::to_string(n));
            restart();
            const KeyboardMemory before = Memory().Memory();
            keyboard_.UnplugAfterExchanges(static_cast<int>(n));
            action.run();
            SimKeyboardState now = keyboard_.State();
            EXPECT_TRUE(Memory().Memory() == before || MemoryFollows(Memory().Memory(), now));
            EXPECT_EQ(LoadKeymap(folder_.File("keymap.xml"), Memory().Identity()),
                      Memory().Memory());
            if (!action.doneText) {
                // Silence is for what the keyboard got; anything else is said (a notice, a box,
                // or the window showing the keyboard gone).
                const bool said = !boxes_.empty() || !window_->Notice().isEmpty() ||
                                  !window_->ControlsConnected();
                EXPECT_TRUE(now == finished || said) << keyboard_.Dump();
                continue;
            }
            ASSERT_FALSE(boxes_.empty());
            const bool saidDone = boxes_.back().text.startsWith(action.doneText);
            now.activeProfile = finished.activeProfile;
            if (saidDone) {
                EXPECT_EQ(now, finished);
                if (std::string(action.name) == "backup") {
                    EXPECT_EQ(test::ReadFile(out), written);
                }
            }
            EXPECT_EQ(std::filesystem::exists(out),
                      saidDone && std::string(action.name) == "backup");
        }
    }
}

}  // namespace
}  // namespace kb
