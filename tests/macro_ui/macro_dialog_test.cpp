#include "macro/ui/macro_record_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "macro/macro_dialog_state.h"
#include "platform/recording_platform.h"
#include "program_env.h"
#include "temp_folder.h"
#include "toolkit/msgbox.h"
#include "toolkit/slistview.h"
#include "toolkit/stabctrl.h"
#include "toolkit/swidgets.h"

namespace kb {
namespace {

using platform::kKeyDown;
using platform::kKeyUp;
using Steps = std::vector<std::vector<std::string>>;

constexpr std::uint32_t kVkA = 0x41;
constexpr std::uint32_t kVkB = 0x42;
constexpr std::uint32_t kVkOutsideTable = 0xFF;

using test::ReadFile;
using test::WriteFile;

// A library file: each group a name and its steps as {code, name, state, delay}.
struct GroupSpec {
    std::string name;
    Steps steps;
};

void WriteLibrary(const std::string& path, const std::vector<GroupSpec>& groups) {
    MacroLibrary library;
    for (const GroupSpec& g : groups) {
        MacroNode group = MakeGroupNode(g.name);
        for (const auto& s : g.steps) {
            group.InsertChild(-1, MakeStepNode(s[0], s[1], s[2], s[3]));
        }
        library.Root().InsertChild(-1, group);
    }
    ASSERT_TRUE(library.Save(path));
}

// "name: code/state/delay ..." per group, as a fresh read of the file gives them.
std::vector<std::string> DescribeLibrary(const std::string& path) {
    MacroLibrary library(path);
    std::vector<std::string> out;
    for (int g = 0; g < library.Root().ChildCount(); ++g) {
        const MacroNode& group = *library.Root().ChildAt(g);
        std::string line = std::string(group.GetAttribute("name")) + ":";
        for (int s = 0; s < group.ChildCount(); ++s) {
            const MacroNode& step = *group.ChildAt(s);
            line += " " + std::string(step.GetAttribute("code")) + "/" +
                    std::string(step.GetAttribute("state")) + "/" +
                    std::string(step.GetAttribute("delay"));
        }
        out.push_back(line);
    }
    return out;
}

Steps TwoSteps() {
    return {{"4", "A", "0", "100"}, {"4", "A", "1", "20"}};
}

class TestClock : public RecordingClock {
public:
    std::int32_t NowMs() const override { return now; }
    std::int32_t now = 0;
};

class MacroDialogTest : public ::testing::Test {
protected:
    MacroDialogTest() : folder_(temp_.Path()) {}

    void SetUp() override {
        ui::SetMessageBoxHook([this](QWidget* box) {
            auto* dialog = dynamic_cast<ui::SHostDialog*>(box);
            ASSERT_NE(dialog, nullptr);
            ui::SWindow* text = dialog->FindChildByName(QStringLiteral("msgtext"));
            boxes_.push_back(text != nullptr ? text->GetText(true) : QString());
            if (whileBoxOpen_) {
                whileBoxOpen_();
            }
            dialog->EndDialog(boxAnswer_);
        });
    }

    void TearDown() override {
        dialog_.reset();
        ui::SetMessageBoxHook({});
    }

    std::string MacroPath() const { return (folder_ / "macro.xml").string(); }
    std::string StorePath() const { return (folder_ / "store.xml").string(); }

    // The run's dialog state, read from store.xml as the first dialog of a run does.
    MacroDialogState& State() {
        if (!state_) {
            state_ = std::make_unique<MacroDialogState>(StorePath());
        }
        return *state_;
    }

    MacroDialogServices Services() {
        return MacroDialogServices{platform_, testenv::Config(), State(), folder_.string(), clock_};
    }

    // Creates, initialises and shows the dialog without its modal loop.
    MacroRecordDlg& Open() {
        dialog_ = std::make_unique<MacroRecordDlg>(Services(), keys_, choices_);
        EXPECT_TRUE(dialog_->CreateHost());
        dialog_->SendHostMessage(ui::kWmInitDialog);
        dialog_->show();
        return *dialog_;
    }

    // Runs the dialog modally; actions play the user and should end it.
    int RunWith(const std::function<void()>& actions) {
        KeyAssignmentChoices own;
        KeyAssignmentChoices* choices = choices_ ? choices_ : &own;
        choices->chosen.reset();
        dialog_ = std::make_unique<MacroRecordDlg>(Services(), keys_, choices);
        QTimer::singleShot(0, dialog_.get(), [this, actions] {
            actions();
            // Ignored when the actions ended the dialog; otherwise the result shows it.
            dialog_->EndDialog(-1);
        });
        const int result = dialog_->Run();
        // The record the keyboard would get for the choice made.
        if (choices->chosen && !keys_.empty()) {
            record_ = RecordForChoice(*choices->chosen, keys_.begin()->first);
        }
        return result;
    }

    template <class T = ui::SWindow>
    T* Find(const char* name) {
        auto* widget = dynamic_cast<T*>(dialog_->FindChildByName(QString::fromLatin1(name)));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void Click(const char* name) { QTest::mouseClick(Find(name), Qt::LeftButton); }
    void Type(const char* name, const QString& text) {
        Find<ui::SEdit>(name)->LineEdit()->setText(text);
    }

    ui::SListView* Groups() { return Find<ui::SListView>("macro_group"); }
    ui::SMcListView* StepList() { return Find<ui::SMcListView>("key_info"); }
    ui::STabCtrl* Tab() { return Find<ui::STabCtrl>("tab_macro_mode_selection"); }

    void ClickGroupRow(int row) {
        ui::SItemPanel* panel = Groups()->GetItemPanel(row);
        ASSERT_NE(panel, nullptr);
        QTest::mouseClick(
            panel->FindChildByName2<ui::SEdit>(QStringLiteral("group_name"))->LineEdit(),
            Qt::LeftButton);
    }

    // Key names of the rows the step list shows.
    std::vector<std::string> ShownSteps() {
        std::vector<std::string> names;
        for (int i = 0; i < StepList()->GetItemCount(); ++i) {
            ui::SItemPanel* row = StepList()->GetItemPanel(i);
            names.push_back(
                row->FindChildByName(QStringLiteral("key_name"))->GetText().toStdString() + "/" +
                row->FindChildByName(QStringLiteral("key_state"))->GetText().toStdString() + "/" +
                row->FindChildByName(QStringLiteral("key_delay"))->GetText().toStdString());
        }
        return names;
    }

    bool Press(unsigned message, std::uint32_t vk, std::int32_t at = 0) {
        clock_.now = at;
        return platform_.PressKey(message, vk);
    }

    test::TempFolder temp_;
    std::filesystem::path folder_;
    platform::RecordingPlatform platform_;
    TestClock clock_;
    std::unique_ptr<MacroDialogState> state_;
    KeySelection keys_{{0x2B, "Tab"}};
    AssignmentRecord record_{};
    std::unique_ptr<MacroRecordDlg> dialog_;
    std::vector<QString> boxes_;
    std::function<void()> whileBoxOpen_;
    int boxAnswer_ = ui::kIdOk;
    KeyAssignmentChoices* choices_ = nullptr;  // the key's assignment in and the choice out
};

std::vector<std::uint8_t> Bytes(const AssignmentRecord& record, std::size_t from,
                                std::size_t count) {
    return {record.begin() + static_cast<std::ptrdiff_t>(from),
            record.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

// ---- results and the record ---------------------------------------------------------------

TEST_F(MacroDialogTest, OkOnTheMacroPageEncodesTheSelectedGroup) {
    WriteLibrary(MacroPath(), {{"other", {{"5", "B", "0", "10"}}}, {"mine", TwoSteps()}});
    State().repeat = 3;
    const int result = RunWith([&] {
        ClickGroupRow(1);
        Click("btnOK");
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Bytes(record_, 0, 10),
              (std::vector<std::uint8_t>{0, 0, 0x2B, 3, 0x04, 0x0A, 0x04, 0x82, 0, 0}));
}

// What the single-key page shows is what OK assigns: the key remembered from an earlier
// dialog, a key captured now, or nothing (code 0) after a key outside the table.
TEST_F(MacroDialogTest, OkOnTheSingleKeyPageAssignsTheShownKey) {
    State().page = 1;
    State().sgcode = 0x1A;  // W, remembered from an earlier dialog
    EXPECT_EQ(RunWith([&] {
                  EXPECT_EQ(Find("edit_single_key")->GetText(), QStringLiteral("W"));
                  Click("btnOK");
              }),
              1);
    EXPECT_EQ(Bytes(record_, 0, 6), (std::vector<std::uint8_t>{0, 0, 0x1A, 0, 0, 0}));

    record_ = {};
    EXPECT_EQ(RunWith([&] {
                  EXPECT_TRUE(Press(kKeyDown, kVkA));
                  EXPECT_TRUE(Press(kKeyUp, kVkA));
                  EXPECT_EQ(Find("edit_single_key")->GetText(), QStringLiteral("A"));
                  Click("btnOK");
              }),
              1);
    EXPECT_EQ(Bytes(record_, 0, 6), (std::vector<std::uint8_t>{0, 0, 0x04, 0, 0, 0}));

    record_ = {};
    EXPECT_EQ(RunWith([&] {
                  Press(kKeyDown, kVkA);
                  Press(kKeyDown, kVkOutsideTable);
                  EXPECT_EQ(Find("edit_single_key")->GetText(), QString());
                  Click("btnOK");
              }),
              1);
    EXPECT_EQ(record_[2], 0) << "a key outside the table clears the captured code";

    record_ = {};
    State().sgcode = 0;  // nothing remembered: nothing shown, code 0
    EXPECT_EQ(RunWith([&] {
                  EXPECT_EQ(Find("edit_single_key")->GetText(), QString());
                  Click("btnOK");
              }),
              1);
    EXPECT_EQ(record_, AssignmentRecord{});
}

TEST_F(MacroDialogTest, OkOnTheMediaAndFunctionPagesUsesTheChosenEntry) {
    State().page = 2;
    State().mediasel = 1;  // "Next track", 181
    EXPECT_EQ(RunWith([&] { Click("btnOK"); }), 1);
    EXPECT_EQ(Bytes(record_, 0, 6), (std::vector<std::uint8_t>{0, 0, 181, 0, 0, 0}));

    record_ = {};
    State().page = 3;
    State().functsel = 0;  // "Copy", 224,6
    EXPECT_EQ(RunWith([&] { Click("btnOK"); }), 1);
    EXPECT_EQ(Bytes(record_, 0, 13), (std::vector<std::uint8_t>{0, 0, 0x2B, 1, 0xE0, 0x45, 0x06,
                                                                0x45, 0x06, 0x81, 0xE0, 0x81, 0}));

    // An entry the list does not have chooses nothing.
    record_ = {};
    State().page = 2;
    State().mediasel = 99;
    EXPECT_EQ(RunWith([&] { Click("btnOK"); }), 1);
    EXPECT_EQ(record_, AssignmentRecord{});
}

TEST_F(MacroDialogTest, CancelAndDeleteLeaveTheRecordAlone) {
    State().page = 2;
    EXPECT_EQ(RunWith([&] { Click("btnCancel"); }), 2);
    EXPECT_EQ(RunWith([&] { Click("btnDelete"); }), 65580);
    EXPECT_EQ(record_, AssignmentRecord{});
    keys_.clear();
    EXPECT_EQ(RunWith([&] { Click("btnOK"); }), 1);
    EXPECT_EQ(record_, AssignmentRecord{});
}

// ---- opening ------------------------------------------------------------------------------

TEST_F(MacroDialogTest, ShowsTheKeysAssignmentBesideItsNameAndOpensOnTheRememberedChoices) {
    WriteLibrary(MacroPath(), {{"other", {{"5", "B", "0", "10"}}}, {"mine", TwoSteps()}});
    const std::string stored = "<macro page=\"2\" groupsel=\"0\" mediasel=\"0\" functsel=\"1\"/>";
    WriteFile(StorePath(), stored);
    KeyChoice macro;
    macro.kind = KeyKind::Macro;
    macro.name = "mine";
    macro.repeat = 300;  // the keyboard plays the low byte
    KeyChoice itself = macro;
    itself.repeat = 256;
    KeyChoice key;
    key.kind = KeyKind::Key;
    key.target = 0x29;
    KeyChoice media;
    media.kind = KeyKind::Media;
    media.name = "Mute";
    KeyChoice elsewhere;
    const std::vector<std::pair<KeyChoice, QString>> cases{
        {macro, "Now: macro \"mine\" ×44"},
        {itself, "Now: types itself"},
        {key, "Now: → Esc"},
        {media, "Now: Mute"},
        {elsewhere, ""},
    };
    for (const auto& [current, line] : cases) {
        KeyAssignmentChoices choices;
        choices.current = &current;
        choices_ = &choices;
        EXPECT_EQ(RunWith([&] {
                      EXPECT_EQ(Find("text_current_assignment")->GetText(), line);
                      EXPECT_EQ(Tab()->GetCurSel(), 2);
                      EXPECT_EQ(Groups()->GetSel(), 0);
                      Click("btnCancel");
                  }),
                  2);
        // Looking at a key changes nothing the user chose.
        EXPECT_EQ(ReadFile(StorePath()), stored);
    }
}

TEST_F(MacroDialogTest, RepeatNoteSaysWhatTheKeyboardDoesOutsideOneTo255) {
    WriteLibrary(MacroPath(), {{"g", TwoSteps()}});
    const std::vector<std::pair<QString, QString>> cases{
        {"3", ""},
        {"255", ""},
        {"300", "300: the keyboard keeps the low byte and plays it 44 times"},
        {"0", "0: the keyboard gets 0 and the key types itself"},
        {"512", "512: the keyboard gets 0 and the key types itself"},
    };
    RunWith([&] {
        for (const auto& [typed, note] : cases) {
            Find("edit_macro_repeat_times")->SetText(typed);
            EXPECT_EQ(Find("text_repeat_note")->GetText(), note) << typed.toStdString();
            EXPECT_EQ(Find("text_repeat_note")->IsVisible(), !note.isEmpty());
        }
        Click("btnCancel");
    });
}

TEST_F(MacroDialogTest, OpeningShowsTheKeysAndTheRememberedChoices) {
    WriteLibrary(MacroPath(), {{"a", {}}, {"b", {}}, {"c", TwoSteps()}});
    WriteFile(StorePath(), "<macro page=\"2\" dlymode=\"7\" groupsel=\"2\" mediasel=\"3\"/>");
    keys_ = {{0x05, "B"}, {0x04, "A"}};
    Open();
    EXPECT_EQ(Find("text_recording_keys")->GetText(), QStringLiteral("A,B"));
    EXPECT_EQ(Tab()->GetCurSel(), 2);
    EXPECT_EQ(Find<ui::SComboBox>("cmb_media_keys")->GetCurSel(), 3);
    EXPECT_EQ(Groups()->GetSel(), 2);
    EXPECT_EQ(ShownSteps(), (std::vector<std::string>{"A/key down/100", "A/key up/20"}));
    // Mode 7 opens as real delays and is saved at once; a missing attribute reads as 0.
    EXPECT_TRUE(Find("chk_macro_realy_delay")->IsChecked());
    EXPECT_TRUE(Find("edit_macro_delay_time")->IsDisabled());
    EXPECT_EQ(Find("edit_macro_repeat_times")->GetText(), QStringLiteral("0"));
    EXPECT_EQ(ReadFile(StorePath()),
              "<?xml version=\"1.0\"?>\n<macro page=\"2\" repeat=\"0\" delay=\"0\" dlymode=\"0\" "
              "mediasel=\"3\" functsel=\"0\" sgcode=\"0\" groupsel=\"2\" />\n");
}

TEST_F(MacroDialogTest, NegativeDelayModeChecksNothing) {
    State().dlymode = -1;
    Open();
    for (const char* name :
         {"chk_macro_realy_delay", "chk_macro_fixed_delay", "chk_macro_no_delay"}) {
        EXPECT_FALSE(Find(name)->IsChecked()) << name;
    }
    EXPECT_FALSE(Find("edit_macro_delay_time")->IsDisabled());
}

// ---- groups and steps ---------------------------------------------------------------------

TEST_F(MacroDialogTest, GroupsAreNumberedByTheCountAndSavedAtOnce) {
    Open();
    Click("groupAdd");
    Click("groupAdd");
    EXPECT_EQ(DescribeLibrary(MacroPath()), (std::vector<std::string>{"Group 0:", "Group 1:"}));
    ClickGroupRow(0);
    Click("groupDel");
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"Group 1:"});
    Click("groupAdd");
    EXPECT_EQ(DescribeLibrary(MacroPath()), (std::vector<std::string>{"Group 1:", "Group 1:"}));
}

TEST_F(MacroDialogTest, AddedGroupIsSelectedAndDeletingKeepsTheSelectionInTheList) {
    WriteLibrary(MacroPath(), {{"a", {}}, {"b", TwoSteps()}, {"c", {{"5", "B", "0", "0"}}}});
    Open();
    ClickGroupRow(0);
    Click("groupAdd");  // the new group is the one to record into
    EXPECT_EQ(Groups()->GetItemCount(), 4);
    EXPECT_EQ(Groups()->GetSel(), 3);
    EXPECT_TRUE(ShownSteps().empty());
    Click("chk_macro_record");
    EXPECT_TRUE(Find("chk_macro_record")->IsChecked());
    EXPECT_TRUE(Press(kKeyDown, kVkA));
    Click("chk_macro_record");
    EXPECT_EQ(DescribeLibrary(MacroPath()).back(), "Group 3: 4/0/0");

    ClickGroupRow(3);
    Click("groupDel");  // the last row: the one above becomes selected
    EXPECT_EQ(Groups()->GetSel(), 2);
    EXPECT_EQ(ShownSteps(), std::vector<std::string>{"B/key down/0"});
    EXPECT_EQ(DescribeLibrary(MacroPath()),
              (std::vector<std::string>{"a:", "b: 4/0/100 4/1/20", "c: 5/0/0"}));

    Groups()->SetSel(-1);
    Click("groupDel");  // nothing selected: the last group goes, no steps are shown
    EXPECT_EQ(DescribeLibrary(MacroPath()), (std::vector<std::string>{"a:", "b: 4/0/100 4/1/20"}));
    EXPECT_TRUE(ShownSteps().empty());
}

TEST_F(MacroDialogTest, StepButtonsEditTheShownGroup) {
    WriteLibrary(MacroPath(),
                 {{"g", {{"4", "A", "0", "1"}, {"5", "B", "0", "2"}, {"6", "C", "0", "3"}}}});
    Open();
    ClickGroupRow(0);
    StepList()->SetSel(2);
    Click("item_down");  // the last row stays where it is
    EXPECT_EQ(StepList()->GetSel(), 2);
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"g: 4/0/1 5/0/2 6/0/3"});

    Click("item_up");
    EXPECT_EQ(StepList()->GetSel(), 1);
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"g: 4/0/1 6/0/3 5/0/2"});

    StepList()->SetSel(0);
    Click("item_up");  // the first row cannot go up
    Click("item_down");
    EXPECT_EQ(StepList()->GetSel(), 1);
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"g: 6/0/3 4/0/1 5/0/2"});

    Click("item_delete");
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"g: 6/0/3 5/0/2"});
    StepList()->SetSel(-1);
    Click("item_delete");  // nothing selected: the last step goes
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"g: 6/0/3"});
    ASSERT_TRUE(boxes_.empty());

    // Clearing happens at once, without a question.
    Click("item_clear");
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"g:"});
}

TEST_F(MacroDialogTest, RenamingSavesEachChange) {
    WriteLibrary(MacroPath(), {{"a", {}}, {"b", {}}});
    Open();
    auto* name =
        Groups()->GetItemPanel(1)->FindChildByName2<ui::SEdit>(QStringLiteral("group_name"));
    name->LineEdit()->setText(QStringLiteral("Jump"));
    EXPECT_EQ(DescribeLibrary(MacroPath()), (std::vector<std::string>{"a:", "Jump:"}));
    // An emptied name keeps its row now and is gone from the next read of the file.
    name->LineEdit()->setText(QString());
    EXPECT_EQ(Groups()->GetItemCount(), 2);
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"a:"});
}

TEST_F(MacroDialogTest, DelayEditsKeepTextThatStartsWithANumber) {
    WriteLibrary(MacroPath(), {{"g", TwoSteps()}});
    Open();
    ClickGroupRow(0);
    auto delay = [&] {
        return StepList()->GetItemPanel(0)->FindChildByName2<ui::SEdit>(
            QStringLiteral("key_delay"));
    };
    delay()->LineEdit()->setText(QStringLiteral("12ab"));
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"g: 4/0/12ab 4/1/20"});
    delay()->LineEdit()->setText(QStringLiteral("ab"));
    EXPECT_EQ(delay()->GetText(), QStringLiteral("12ab"));
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"g: 4/0/12ab 4/1/20"});
    delay()->LineEdit()->setText(QString());
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"g: 4/0/ 4/1/20"});
}

TEST_F(MacroDialogTest, HeaderClicksMoveTheMarksButNeverTheSteps) {
    WriteLibrary(MacroPath(), {{"g", {{"5", "B", "0", "1"}, {"4", "A", "2", "2"}}}});
    Open();
    ClickGroupRow(0);
    ui::SMcListView* list = StepList();
    list->ClickHeader(1);
    list->ClickHeader(1);
    EXPECT_EQ(list->GetSortMark(1), ui::SortMark::Down);
    list->ClickHeader(3);
    EXPECT_EQ(list->GetSortMark(1), ui::SortMark::None);
    EXPECT_EQ(list->GetSortMark(3), ui::SortMark::Up);
    EXPECT_EQ(ShownSteps(), (std::vector<std::string>{"B/key down/1", "A/replace/2"}));
}

// ---- recording ----------------------------------------------------------------------------

TEST_F(MacroDialogTest, RecordingInEachDelayMode) {
    struct Case {
        const char* control;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"chk_macro_realy_delay", {"g: 4/0/120 4/1/300 5/0/0"}},
        {"chk_macro_fixed_delay", {"g: 4/0/25 4/1/25 5/0/0"}},
        {"chk_macro_no_delay", {"g: 4/0/0 4/1/0 5/0/0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        WriteLibrary(MacroPath(), {{"g", {}}});
        State().delay = 25;
        Open();
        Click(c.control);
        ClickGroupRow(0);
        Click("chk_macro_record");
        EXPECT_EQ(Find("chk_macro_record")->GetText(true), QStringLiteral("Stop record"));
        EXPECT_TRUE(Press(kKeyDown, kVkA, 1000));
        EXPECT_TRUE(Press(kKeyUp, kVkA, 1120));
        EXPECT_TRUE(Press(kKeyDown, kVkB, 1420));
        EXPECT_EQ(DescribeLibrary(MacroPath()), c.expected);
        EXPECT_EQ(ShownSteps().back(), "B/key down/0");
        Click("chk_macro_record");
        EXPECT_FALSE(platform_.KeyboardHookInstalled());
        EXPECT_FALSE(Press(kKeyDown, kVkA));
    }
}

TEST_F(MacroDialogTest, RecordingNeedsASelectedGroupAndUnticksSilently) {
    WriteLibrary(MacroPath(), {{"g", {}}});
    Open();
    Groups()->SetSel(-1);
    Click("chk_macro_record");
    EXPECT_FALSE(Find("chk_macro_record")->IsChecked());
    EXPECT_FALSE(platform_.KeyboardHookInstalled());
    EXPECT_FALSE(platform_.keystrokesCaptured);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(MacroDialogTest, StepListFollowsRecordingAndEscapeCancels) {
    WriteLibrary(MacroPath(), {{"g", Steps(30, {"4", "A", "0", "5"})}});
    const int result = RunWith([&] {
        ClickGroupRow(0);
        Click("chk_macro_record");
        EXPECT_TRUE(platform_.keystrokesCaptured);
        Press(kKeyDown, kVkB);
        // The newest row lies inside the list's visible part.
        QWidget* newest = StepList()->GetItemPanel(30);
        ASSERT_NE(newest, nullptr);
        const QRect shown(newest->mapTo(StepList(), QPoint(0, 0)), newest->size());
        EXPECT_TRUE(StepList()->rect().contains(shown)) << "row at " << shown.y();
        Click("chk_macro_record");
        EXPECT_FALSE(platform_.keystrokesCaptured);
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
    });
    EXPECT_EQ(result, ui::kIdCancel);
}

TEST_F(MacroDialogTest, FullGroupShowsTheLimitOnceAndLetsKeysThrough) {
    Steps steps(80, {"4", "A", "0", "5"});
    WriteLibrary(MacroPath(), {{"g", steps}});
    Open();
    ClickGroupRow(0);
    Click("chk_macro_record");
    std::vector<bool> consumedWhileOpen;
    whileBoxOpen_ = [&] { consumedWhileOpen.push_back(Press(kKeyUp, kVkA)); };
    EXPECT_FALSE(Press(kKeyDown, kVkA));
    EXPECT_EQ(boxes_, std::vector<QString>{QString::fromLatin1(kStepLimitWarning)});
    EXPECT_EQ(consumedWhileOpen, std::vector<bool>{false});
    EXPECT_EQ(DescribeLibrary(MacroPath())[0].size(), std::string("g:").size() + 80 * 6);
}

TEST_F(MacroDialogTest, HookFollowsThePageAndGoesWithTheDialog) {
    Open();
    EXPECT_TRUE(platform_.KeyboardHookInstalled());
    EXPECT_EQ(KeyboardHook::Listeners(), std::vector<IKeyboardHookListener*>{dialog_.get()});
    EXPECT_FALSE(Press(kKeyDown, kVkA)) << "the macro page does not take keys while not recording";

    Tab()->SetCurSel(1);
    EXPECT_TRUE(Press(kKeyDown, kVkA));
    Tab()->SetCurSel(2);
    EXPECT_FALSE(platform_.KeyboardHookInstalled());
    Tab()->SetCurSel(0);
    EXPECT_FALSE(platform_.KeyboardHookInstalled());

    Tab()->SetCurSel(1);
    dialog_.reset();
    EXPECT_FALSE(platform_.KeyboardHookInstalled());
    EXPECT_TRUE(KeyboardHook::Listeners().empty());
}

// ---- keyboard use --------------------------------------------------------------------------

// The toolkit control a focusable Qt widget belongs to (a line edit's box, say).
QString ControlName(QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (auto* control = dynamic_cast<ui::SWindow*>(widget);
            control != nullptr && !control->GetName().isEmpty()) {
            return control->GetName();
        }
    }
    return {};
}

TEST_F(MacroDialogTest, TabWalksThePageInReadingOrderAndSpaceClicks) {
    WriteLibrary(MacroPath(), {{"a", {}}, {"b", TwoSteps()}});
    const int result = RunWith([&] {
        dialog_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
        ClickGroupRow(1);
        // The stops of one round of Tab, from the repeat count on.
        std::vector<QString> stops;
        Find<ui::SEdit>("edit_macro_repeat_times")->LineEdit()->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 60 && QApplication::focusWidget() != nullptr &&
                        (stops.empty() || stops.back() != "edit_macro_repeat_times");
             ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            stops.push_back(ControlName(QApplication::focusWidget()));
        }
        auto at = [&](const char* name) {
            return std::find(stops.begin(), stops.end(), QString::fromLatin1(name)) - stops.begin();
        };
        const char* reading[] = {
            "macro_group", "groupAdd", "groupDel",   "groupImport",      "groupExport",
            "key_info",    "item_up",  "item_clear", "chk_macro_record", "edit_macro_repeat_times"};
        // Each list is one stop, whatever its rows hold.
        for (const char* list : {"macro_group", "key_info"}) {
            EXPECT_EQ(std::count(stops.begin(), stops.end(), QString::fromLatin1(list)), 1) << list;
        }
        for (const char* field : {"group_name", "key_delay", "key_name"}) {
            EXPECT_EQ(std::count(stops.begin(), stops.end(), QString::fromLatin1(field)), 0)
                << field;
        }
        for (std::size_t i = 1; i < std::size(reading); ++i) {
            EXPECT_LT(at(reading[i - 1]), at(reading[i])) << reading[i - 1] << " " << reading[i];
        }
        const char* bottom[] = {"chk_macro_realy_delay", "chk_macro_no_delay", "btnDelete", "btnOK",
                                "btnCancel"};
        for (std::size_t i = 1; i < std::size(bottom); ++i) {
            EXPECT_LT(at(bottom[i - 1]), at(bottom[i])) << bottom[i - 1] << " " << bottom[i];
        }

        // Space on the group add button, reached with Tab, adds a group.
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        while (ControlName(QApplication::focusWidget()) != "groupAdd") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_EQ(Groups()->GetItemCount(), 3);
        while (ControlName(QApplication::focusWidget()) != "btnCancel") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(result, ui::kIdCancel);
}

TEST_F(MacroDialogTest, ListsMoveWithArrowsAndEnterOrF2EditsTheRow) {
    WriteLibrary(MacroPath(), {{"a", {}}, {"b", Steps(70, {"4", "A", "0", "5"})}});
    const int result = RunWith([&] {
        dialog_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
        ui::SListView* groups = Groups();
        groups->setFocus(Qt::TabFocusReason);
        ClickGroupRow(0);
        groups->setFocus(Qt::TabFocusReason);
        // An arrow selects as a click does: the steps of the group follow.
        QTest::keyClick(groups, Qt::Key_Down);
        EXPECT_EQ(groups->GetSel(), 1);
        EXPECT_EQ(dialog_->StepAdapter()->GetCount(), 70);
        QTest::keyClick(groups, Qt::Key_Down);  // at the end it stays
        EXPECT_EQ(groups->GetSel(), 1);

        // F2 edits the group's name; what is typed renames it.
        QTest::keyClick(groups, Qt::Key_F2);
        EXPECT_EQ(ControlName(QApplication::focusWidget()), "group_name");
        QTest::keyClicks(QApplication::focusWidget(), "Renamed");
        EXPECT_EQ(DescribeLibrary(MacroPath())[1].substr(0, 8), "Renamed:");

        // The step list: End, Up and Enter reach the delay of the row before the last.
        ui::SMcListView* steps = StepList();
        steps->setFocus(Qt::TabFocusReason);
        QTest::keyClick(steps, Qt::Key_End);
        QTest::keyClick(steps, Qt::Key_Up);
        EXPECT_EQ(steps->GetSel(), 68);
        QTest::keyClick(steps, Qt::Key_Return);
        EXPECT_EQ(ControlName(QApplication::focusWidget()), "key_delay");
        // Tab from the field goes on past the list, not through its 70 rows.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(ControlName(QApplication::focusWidget()), "item_up");
        Click("btnCancel");
    });
    EXPECT_EQ(result, ui::kIdCancel);
}

// ---- remembered choices -------------------------------------------------------------------

TEST_F(MacroDialogTest, EachKindOfChangeIsWrittenToStoreXml) {
    Open();
    auto stored = [&] {
        MacroDialogState read(StorePath());
        return std::vector<int>{read.page,     read.repeat,   read.delay,  read.dlymode,
                                read.mediasel, read.functsel, read.sgcode, read.groupsel};
    };
    Type("edit_macro_repeat_times", QStringLiteral("3x"));
    EXPECT_EQ(stored(), (std::vector<int>{0, 3, 10, 0, 0, 0, 0, 0}));
    Type("edit_macro_delay_time", QStringLiteral("40"));  // ignored outside fixed mode
    EXPECT_EQ(stored()[2], 10);
    Click("chk_macro_fixed_delay");
    Type("edit_macro_delay_time", QStringLiteral("40"));
    EXPECT_EQ(stored(), (std::vector<int>{0, 3, 40, 1, 0, 0, 0, 0}));
    Click("chk_macro_no_delay");
    EXPECT_EQ(Find("edit_macro_delay_time")->GetText(), QStringLiteral("0"));
    EXPECT_EQ(stored(), (std::vector<int>{0, 3, 40, 2, 0, 0, 0, 0}));

    Tab()->SetCurSel(1);
    Press(kKeyDown, kVkB);  // captured, but saved only with the next change
    EXPECT_EQ(stored(), (std::vector<int>{1, 3, 40, 2, 0, 0, 0, 0}));
    Tab()->SetCurSel(3);
    Find<ui::SComboBox>("cmb_function_keys")->SetCurSel(4, true);
    EXPECT_EQ(stored(), (std::vector<int>{3, 3, 40, 2, 0, 4, 5, 0}));
    Find<ui::SComboBox>("cmb_media_keys")->SetCurSel(2, true);
    EXPECT_EQ(stored()[4], 2);

    // Selecting groups never changes the remembered row.
    Tab()->SetCurSel(0);
    Click("groupAdd");
    ClickGroupRow(0);
    EXPECT_EQ(stored()[7], 0);
}

// ---- import and export --------------------------------------------------------------------

TEST_F(MacroDialogTest, ExportWritesTheLibraryOnlyToMcrFiles) {
    WriteLibrary(MacroPath(), {{"g", TwoSteps()}});
    std::filesystem::create_directories(folder_ / "my.macros");
    const std::vector<std::string> refused = {"backup.MCR", "backup.mcr.txt", "my.macros/backup"};
    Open();
    ClickGroupRow(0);
    for (const std::string& name : refused) {
        const QString path = QString::fromStdString((folder_ / name).string());
        boxes_.clear();
        platform_.saveFileAnswers.push_back(path);
        Click("groupExport");
        EXPECT_FALSE(std::filesystem::exists(folder_ / name)) << name;
        EXPECT_EQ(boxes_, std::vector<QString>{path + " does not end in \".mcr\": only .mcr "
                                                      "files are imported and exported."});
    }
    boxes_.clear();
    Click("groupExport");  // cancelled: nothing to say
    EXPECT_TRUE(boxes_.empty());
    const QString out = QString::fromStdString((folder_ / "out.mcr").string());
    platform_.saveFileAnswers.push_back(out);
    Click("groupExport");
    EXPECT_EQ(ReadFile(folder_ / "out.mcr"), ReadFile(MacroPath()));
    EXPECT_TRUE(boxes_.empty());  // written: nothing to say
    // The selected group names the file offered.
    EXPECT_EQ(platform_.lastChooserOptions.suggestedName, QString("g.mcr"));

    // A file that cannot be written is reported as such, not as exported.
    boxes_.clear();
    const QString unwritable = QString::fromStdString((folder_ / "no-such" / "x.mcr").string());
    platform_.saveFileAnswers.push_back(unwritable);
    Click("groupExport");
    EXPECT_EQ(boxes_,
              std::vector<QString>{"The macro groups could not be written to " + unwritable + "."});
    EXPECT_EQ(platform_.lastChooserOptions.filterLabel, QStringLiteral("Macro files (mcr)"));
    EXPECT_EQ(platform_.lastChooserOptions.patterns, QStringList{QStringLiteral("*.mcr")});
    EXPECT_EQ(platform_.lastChooserOptions.defaultSuffix, QStringLiteral("mcr"));
}

TEST_F(MacroDialogTest, ImportReplacesTheLibraryAndRefreshesBothLists) {
    WriteLibrary(MacroPath(), {{"old", TwoSteps()}, {"old2", {}}});
    const std::string incoming = (folder_ / "in.mcr").string();
    WriteLibrary(incoming, {{"new", {{"5", "B", "0", "7"}}}});
    WriteFile(folder_ / "broken.mcr", "<group><items>");
    WriteFile(folder_ / "in.MCR", ReadFile(incoming));
    Open();
    ClickGroupRow(0);

    // Each refusal is explained: the extension, or a file that does not read as macros (after
    // the question, as the file is read only once the user agreed).
    const QString question =
        "Importing replaces all 2 macro groups of the library with the groups of %1. Continue?";
    const struct {
        const char* name;
        std::vector<QString> boxes;
    } refused[] = {
        {"broken.mcr", {question, "%1 could not be read as a macro file."}},
        {"in.MCR", {"%1 does not end in \".mcr\": only .mcr files are imported and exported."}},
        {"missing.mcr", {question, "%1 could not be read as a macro file."}},
    };
    for (const auto& c : refused) {
        const QString path = QString::fromStdString((folder_ / c.name).string());
        boxes_.clear();
        platform_.openFileAnswers.push_back(path);
        Click("groupImport");
        EXPECT_EQ(DescribeLibrary(MacroPath()),
                  (std::vector<std::string>{"old: 4/0/100 4/1/20", "old2:"}))
            << c.name;
        std::vector<QString> expected;
        for (const QString& box : c.boxes) {
            expected.push_back(box.arg(path));
        }
        EXPECT_EQ(boxes_, expected) << c.name;
    }
    EXPECT_EQ(ShownSteps().size(), 2u);

    // Cancel keeps every group.
    boxes_.clear();
    boxAnswer_ = ui::kIdCancel;
    platform_.openFileAnswers.push_back(QString::fromStdString(incoming));
    Click("groupImport");
    EXPECT_EQ(boxes_, std::vector<QString>{question.arg(QString::fromStdString(incoming))});
    EXPECT_EQ(DescribeLibrary(MacroPath()),
              (std::vector<std::string>{"old: 4/0/100 4/1/20", "old2:"}));

    boxAnswer_ = ui::kIdOk;
    platform_.openFileAnswers.push_back(QString::fromStdString(incoming));
    Click("groupImport");
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"new: 5/0/7"});
    EXPECT_EQ(Groups()->GetItemCount(), 1);
    EXPECT_EQ(ShownSteps(), std::vector<std::string>{"B/key down/7"});

    // A row the new library does not have shows nothing.
    WriteLibrary(MacroPath(), {{"a", {}}, {"b", TwoSteps()}});
    Open();
    ClickGroupRow(1);
    platform_.openFileAnswers.push_back(QString::fromStdString(incoming));
    Click("groupImport");
    EXPECT_TRUE(ShownSteps().empty());
    EXPECT_EQ(Groups()->GetSel(), -1);

    // An empty library loses nothing: no question.
    WriteLibrary(MacroPath(), {});
    Open();
    boxes_.clear();
    platform_.openFileAnswers.push_back(QString::fromStdString(incoming));
    Click("groupImport");
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(DescribeLibrary(MacroPath()), std::vector<std::string>{"new: 5/0/7"});
}

TEST_F(MacroDialogTest, QuestionsAndTheChooserFilterFollowTheLanguage) {
    WriteLibrary(MacroPath(), {{"a", TwoSteps()}, {"b", {}}, {"c", {}}});
    const std::string incoming = (folder_ / "in.mcr").string();
    WriteLibrary(incoming, {{"new", {}}});
    boxAnswer_ = ui::kIdCancel;

    ASSERT_TRUE(testenv::UseLanguage(QStringLiteral("cn")));
    Open();
    platform_.openFileAnswers.push_back(QString::fromStdString(incoming));
    Click("groupImport");
    EXPECT_EQ(platform_.lastChooserOptions.filterLabel, QStringLiteral("mcr文件(mcr)"));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].contains(QStringLiteral("全部 3 个宏组"))) << boxes_[0].toStdString();

    ASSERT_TRUE(testenv::UseLanguage(QStringLiteral("en")));
    Open();
    platform_.openFileAnswers.push_back(QString::fromStdString(incoming));
    Click("groupImport");
    EXPECT_EQ(platform_.lastChooserOptions.filterLabel, QStringLiteral("Macro files (mcr)"));
    EXPECT_EQ(DescribeLibrary(MacroPath()).size(), 3u);
}

}  // namespace
}  // namespace kb
