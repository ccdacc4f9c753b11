// The whole way from a click on a key of the main window to the keyboard: the real dialog,
// driven by the test, then the main window's apply and read-back on the simulated keyboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/key_dialog_runner.h"
#include "device/device_gate.h"
#include "device/trace_sink.h"
#include "macro/ui/macro_record_dlg.h"
#include "mainwindow/main_window.h"
#include "platform/recording_platform.h"
#include "program_env.h"
#include "protocol/pacers.h"
#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "temp_folder.h"
#include "toolkit/slistview.h"
#include "toolkit/stabctrl.h"
#include "toolkit/swidgets.h"

namespace kb {
namespace {

using Lines = std::vector<std::string>;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    for (std::uint8_t b : bytes) {
        char text[4];
        std::snprintf(text, sizeof text, "%s%02x", out.empty() ? "" : " ", b);
        out += text;
    }
    return out;
}

// The reports of a 168-byte record as the transfer sends them.
Lines RecordReports(const AssignmentRecord& record) {
    Lines lines;
    for (std::size_t k = 0; k < 28; ++k) {
        std::vector<std::uint8_t> bytes = {7, static_cast<std::uint8_t>(k == 0 ? 0xF1 : 0)};
        bytes.insert(bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(6 * k),
                     record.begin() + static_cast<std::ptrdiff_t>(6 * k + 6));
        lines.push_back("send " + Hex(bytes));
    }
    return lines;
}

class KeyAssignmentFlowTest : public ::testing::Test {
protected:
    KeyAssignmentFlowTest()
        : config_(testenv::Config()),
          keyboard_(config_.vid, config_.pid, config_.interfaceNumber, config_.subdevice),
          backend_(keyboard_),
          pacer_(&trace_) {}

    void SetUp() override {
        session_ = std::make_unique<KeyboardSession>(
            backend_, gate_, pacer_, std::string(),
            KeyboardIdentity{config_.vid, config_.pid, config_.interfaceNumber, config_.subdevice},
            nullptr, &trace_);
        window_ = std::make_unique<CMainDlg>(MainWindowServices{*session_, platform_, config_});
        ASSERT_TRUE(window_->CreateHost());
        window_->SendHostMessage(ui::kWmInitDialog);
        window_->show();
        window_->SetKeyDialogRunner(MakeKeyDialogRunner(platform_, config_, temp_.Path().string()));
        trace_.Clear();
    }

    void TearDown() override {
        window_->DestroyWindow();
        window_.reset();
    }

    // Clicks key `id` of the keyboard picture; `inDialog` plays the user in the dialog.
    void ClickKey(int id, const QString& name, std::function<void()> inDialog) {
        QTimer::singleShot(0, [this, inDialog] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == QLatin1String(kMacroDialogClass) && w->isVisible()) {
                    dialog_ = static_cast<MacroRecordDlg*>(w);
                }
            }
            ASSERT_NE(dialog_, nullptr);
            inDialog();
            dialog_->EndDialog(-1);  // ignored when the user ended it
        });
        window_->OnCoordButtonClick(id, name, 1, 0, 0, 0);
        dialog_ = nullptr;
    }

    ui::SWindow* Find(const char* name) {
        ui::SWindow* w = dialog_->FindChildByName(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void Click(const char* name) { QTest::mouseClick(Find(name), Qt::LeftButton); }
    void ShowPage(int page) {
        dynamic_cast<ui::STabCtrl*>(Find("tab_macro_mode_selection"))->SetCurSel(page);
    }

    Lines SentReports() const {
        Lines sent;
        for (const std::string& line : trace_.Lines()) {
            if (line.rfind("send ", 0) == 0) {
                sent.push_back(line);
            }
        }
        return sent;
    }

    int Check(int key) {
        return window_->FindChildByName2<ui::CoordButtonImage>(QStringLiteral("img_keyboard"))
            ->GetCheck(key);
    }

    DeviceConfig config_;
    SimulatedKeyboard keyboard_;
    SimulatedHidBackend backend_;
    OpenGate gate_;
    Trace trace_;
    RecordingPacer pacer_;
    platform::RecordingPlatform platform_;
    test::TempFolder temp_;
    std::unique_ptr<KeyboardSession> session_;
    std::unique_ptr<CMainDlg> window_;
    MacroRecordDlg* dialog_ = nullptr;
};

TEST_F(KeyAssignmentFlowTest, RecordedMacroAndCapturedKeyReachTheKeyboard) {
    // A macro recorded without delays onto Tab.
    ClickKey(0x2B, QStringLiteral("Tab"), [&] {
        ShowPage(0);
        Click("chk_macro_no_delay");
        Click("groupAdd");
        auto* groups = dynamic_cast<ui::SListView*>(Find("macro_group"));
        QTest::mouseClick(groups->GetItemPanel(0)
                              ->FindChildByName2<ui::SEdit>(QStringLiteral("group_name"))
                              ->LineEdit(),
                          Qt::LeftButton);
        Click("chk_macro_record");
        platform_.PressKey(platform::kKeyDown, 0x41);
        platform_.PressKey(platform::kKeyUp, 0x41);
        Click("chk_macro_record");
        Click("btnOK");
    });
    AssignmentRecord macro{1, 1, 0x2B, 1, 0x04, 0x01, 0x04, 0x81};
    Lines expected = RecordReports(macro);
    expected.push_back("send 07 fb 01 00 00 00 00 00");
    EXPECT_EQ(SentReports(), expected);
    EXPECT_EQ(keyboard_.MacroRecord(1, 1)[2], 0x2B);
    EXPECT_EQ(Check(0x2B), 1);

    // The key B, captured on the single-key page, onto Esc.
    trace_.Clear();
    ClickKey(0x29, QStringLiteral("Esc"), [&] {
        ShowPage(1);
        platform_.PressKey(platform::kKeyDown, 0x42);
        Click("btnOK");
    });
    EXPECT_EQ(SentReports(),
              (Lines{"send 07 fa 01 01 29 01 05 01", "send 07 fb 01 00 00 00 00 00"}));
    EXPECT_EQ(keyboard_.Remap(1, 1), (SimRemapEntry{0x29, 0x05}));
    EXPECT_EQ(Check(0x29), 1);
    EXPECT_EQ(Check(0x2B), 1);

    // Delete takes the macro off Tab again.
    trace_.Clear();
    ClickKey(0x2B, QStringLiteral("Tab"), [&] { Click("btnDelete"); });
    Lines cleared = RecordReports(AssignmentRecord{1, 1});
    cleared.push_back("send 07 fb 01 00 00 00 00 00");
    EXPECT_EQ(SentReports(), cleared);
    EXPECT_EQ(Check(0x2B), 0);
    EXPECT_FALSE(platform_.KeyboardHookInstalled());
}

}  // namespace
}  // namespace kb
