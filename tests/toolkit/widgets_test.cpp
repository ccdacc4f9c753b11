#include <QAbstractItemView>
#include <QComboBox>
#include <QCursor>
#include <QEnterEvent>
#include <QLineEdit>
#include <QTest>

#include "toolkit_fixture.h"

namespace kb::ui::test {
namespace {

// Records the events its widgets raise.
class RecordingHost : public SHostWnd {
public:
    using SHostWnd::SHostWnd;
    std::vector<EventArgs> events;

protected:
    bool OnEvent(EventArgs& evt) override {
        events.push_back(evt);
        return evt.senderName == "plain";  // only the button's events count as handled
    }
};

class WidgetTest : public ToolkitEnv {
protected:
    void SetUp() override {
        ToolkitEnv::SetUp();
        host_ = std::make_unique<RecordingHost>("LAYOUT:main");
        ASSERT_TRUE(host_->CreateHost());
        host_->show();
    }
    void TearDown() override {
        host_.reset();
        ToolkitEnv::TearDown();
    }
    std::vector<EventArgs> EventsOf(int kind) const {
        std::vector<EventArgs> out;
        for (const EventArgs& e : host_->events) {
            if (e.kind == kind) {
                out.push_back(e);
            }
        }
        return out;
    }
    std::unique_ptr<RecordingHost> host_;
};

TEST_F(WidgetTest, ComboSelectionRules) {
    auto* combo = host_->FindChildByName2<SComboBox>("cmb_profile");
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetCurSel(), 1);  // curSel from the layout, no event
    EXPECT_TRUE(host_->events.empty());

    const struct {
        int index;
        bool notify;
        bool ok;
        int sel;
        size_t events;
    } steps[] = {
        {1, true, false, 1, 0},                            // the current one again
        {3, true, false, 1, 0},                            // past the end
        {7, true, false, 1, 0},   {2, false, true, 2, 0},  // changes quietly
        {0, true, true, 0, 1},                             // changes with an event
        {-5, true, true, -1, 2},                           // negative: no selection
        {-1, true, false, -1, 2},                          // already none
        {2, true, true, 2, 3},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(combo->SetCurSel(s.index, s.notify), s.ok) << s.index;
        EXPECT_EQ(combo->GetCurSel(), s.sel) << s.index;
        EXPECT_EQ(EventsOf(kEvtComboSelChanged).size(), s.events) << s.index;
    }
    const EventArgs last = EventsOf(kEvtComboSelChanged).back();
    EXPECT_EQ(last.oldSel, -1);
    EXPECT_EQ(last.newSel, 2);
    EXPECT_EQ(last.senderName, "cmb_profile");
    EXPECT_EQ(last.senderId, 65542);
    EXPECT_EQ(combo->Combo()->currentIndex(), 2);  // the box shows the item

    // Inserting before the selection keeps the same item selected; deleting it clears it.
    combo->InsertString(0, "Profile 0");
    EXPECT_EQ(combo->GetCurSel(), 3);
    EXPECT_EQ(combo->GetLBText(3), "Profile 3");
    EXPECT_TRUE(combo->DeleteString(3));
    EXPECT_EQ(combo->GetCurSel(), -1);
    EXPECT_TRUE(combo->GetLBText(9).isEmpty());
    // A fresh box keeps "no selection" when it gets its first item.
    SComboBox fresh;
    fresh.AddString("x");
    EXPECT_EQ(fresh.GetCurSel(), -1);
    EXPECT_EQ(fresh.Combo()->currentIndex(), -1);
}

TEST_F(WidgetTest, ComboListDropsBelowTheFaceAndMarksCurrentAndCursorRows) {
    auto* combo = host_->FindChildByName2<SComboBox>("cmb_profile");
    ASSERT_NE(combo, nullptr);
    combo->AddString("Profile 4");
    ASSERT_TRUE(combo->SetAttribute("dropHeight", "90"));
    EXPECT_EQ(combo->Combo()->maxVisibleItems(), 3);

    QCursor::setPos(combo->mapToGlobal(QPoint(5, 5)));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(combo, &enter);
    ASSERT_TRUE(combo->IsHover());

    combo->Combo()->showPopup();
    QAbstractItemView* list = combo->Combo()->view();
    QWidget* popup = list->window();
    ASSERT_TRUE(popup->isVisible());
    ASSERT_NE(popup, host_->window());
    const QRect face(combo->mapToGlobal(QPoint(0, 0)), combo->size());
    EXPECT_GT(popup->geometry().top(), face.bottom());  // below, never over the face
    EXPECT_LT(popup->geometry().top(), face.bottom() + 8);
    EXPECT_EQ(popup->geometry().left(), face.left());
    EXPECT_GE(popup->width(), face.width());
    EXPECT_EQ(list->visualRect(list->model()->index(0, 0)).height(), SComboBox::kItemHeight);
    EXPECT_LE(list->viewport()->height(), 3 * SComboBox::kItemHeight + 8);  // three of four rows

    // Row 1 is the selection; the keyboard cursor goes to row 0; row 2 is neither.
    list->setCurrentIndex(list->model()->index(0, 0));
    list->scrollToTop();
    const QImage rows = list->viewport()->grab().toImage();
    const auto at = [&](int row, int x) {
        const QRect r = list->visualRect(list->model()->index(row, 0));
        return rows.pixelColor(x, r.center().y());
    };
    const int sampleX = list->viewport()->width() - 10;  // clear of the row texts
    const QColor cursorRow = at(0, sampleX);
    const QColor selectedRow = at(1, sampleX);
    const QColor plainRow = at(2, sampleX);
    EXPECT_LT(plainRow.value(), 0x40) << plainRow.name().toStdString();  // dark list
    EXPECT_NE(cursorRow, plainRow);
    EXPECT_NE(selectedRow, plainRow);
    EXPECT_NE(selectedRow, cursorRow);
    EXPECT_GT(at(1, 5).blue(), 0xC0) << at(1, 5).name().toStdString();  // the accent bar
    EXPECT_LT(at(0, 5).blue(), 0xC0);

    // Choosing in the list goes through the usual selection path; the face lets go of its hover
    // once the list closes away from the pointer.
    QCursor::setPos(face.bottomRight() + QPoint(200, 200));
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(combo->GetCurSel(), 2);
    const auto events = EventsOf(kEvtComboSelChanged);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].oldSel, 1);
    EXPECT_EQ(events[0].newSel, 2);
    EXPECT_FALSE(combo->IsHover());
}

TEST_F(WidgetTest, ComboShowsAFocusRingOnlyForKeyboardFocus) {
    auto* combo = host_->FindChildByName2<SComboBox>("cmb_profile");
    ASSERT_NE(combo, nullptr);
    host_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host_.get()));
    QComboBox* box = combo->Combo();
    const QPoint edge(1, box->height() / 2);
    const QColor unfocused = PixelOf(box, edge);

    const struct {
        Qt::FocusReason reason;
        bool ring;
    } cases[] = {
        {Qt::TabFocusReason, true}, {Qt::MouseFocusReason, false}, {Qt::BacktabFocusReason, true}};
    for (const auto& c : cases) {
        box->clearFocus();
        box->setFocus(c.reason);
        ASSERT_TRUE(box->hasFocus());
        const QColor seen = PixelOf(box, edge);
        EXPECT_EQ(seen.blue() > 0x80, c.ring) << c.reason << " " << seen.name().toStdString();
    }
    box->clearFocus();
    EXPECT_EQ(PixelOf(box, edge), unfocused);
}

TEST_F(WidgetTest, SliderClampsAndDraggingRaisesPositions) {
    auto* slider = host_->FindChildByName2<SSliderBar>("bar_speed");
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->GetMin(), 1);
    EXPECT_EQ(slider->GetMax(), 5);
    EXPECT_EQ(slider->GetValue(), 5);  // 9 from the layout, clamped
    slider->SetValue(-3);
    EXPECT_EQ(slider->GetValue(), 1);
    slider->SetValue(3);
    EXPECT_EQ(slider->GetValue(), 3);
    EXPECT_TRUE(EventsOf(kEvtSliderPos).empty());  // setting raises nothing

    const QRect track = slider->TrackRect();
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(track.left(), track.center().y()));
    QTest::mouseMove(slider, QPoint(track.right(), track.center().y()));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(track.right(), track.center().y()));
    const auto events = EventsOf(kEvtSliderPos);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front().pos, 1);
    EXPECT_EQ(events.back().pos, 5);
    EXPECT_EQ(events.back().senderName, "bar_speed");
    EXPECT_EQ(slider->GetValue(), 5);
}

TEST_F(WidgetTest, SliderMovesWithKeysAndControlsAreNamedForScreenReaders) {
    auto* slider = host_->FindChildByName2<SSliderBar>("bar_speed");
    ASSERT_NE(slider, nullptr);
    EXPECT_TRUE(slider->focusPolicy() & Qt::TabFocus);
    slider->SetValue(3);
    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_Right, 4}, {Qt::Key_Right, 5}, {Qt::Key_Up, 5}, {Qt::Key_Left, 4},
        {Qt::Key_Home, 1},  {Qt::Key_Down, 1},  {Qt::Key_End, 5}};
    for (const auto& [key, value] : keys) {
        QTest::keyClick(slider, key);
        EXPECT_EQ(slider->GetValue(), value) << key;
    }
    // Only real moves are raised, as for a drag.
    std::vector<int> raised;
    for (const EventArgs& evt : EventsOf(kEvtSliderPos)) {
        raised.push_back(evt.pos);
    }
    EXPECT_EQ(raised, (std::vector<int>{4, 5, 4, 1, 5}));

    // A control is named by its text, or by its tooltip when it shows none.
    EXPECT_EQ(host_->FindChildByName("plain")->accessibleName(),
              host_->FindChildByName("plain")->GetText());
    SWindow* image = host_->FindChildByName("btn_more");
    image->SetToolTipText("More");
    EXPECT_EQ(image->accessibleName(), "More");
}

// An edit box that swallows Enter and reports it instead.
class EnterEdit : public SEdit {
public:
    using SEdit::SEdit;
    int enters = 0;

protected:
    bool OnEditKeyPress(QKeyEvent& event) override {
        if (event.key() == Qt::Key_Return) {
            ++enters;
            return true;
        }
        return false;
    }
};

TEST_F(WidgetTest, EditRaisesChangeNotificationsAndHooksSeeKeys) {
    auto* edit = host_->FindChildByName2<SEdit>("ed");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->LineEdit()->placeholderText(), "type");
    edit->SetText("12");
    EXPECT_EQ(edit->GetText(), "12");
    auto notes = EventsOf(kEvtRichEditNotify);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].notifyCode, kEnChange);
    EXPECT_EQ(notes[0].senderName, "ed");

    EnterEdit own(host_->GetRoot());
    own.show();
    own.LineEdit()->setFocus();
    QTest::keyClicks(own.LineEdit(), "ab");
    QTest::keyClick(own.LineEdit(), Qt::Key_Return);
    EXPECT_EQ(own.GetText(), "ab");
    EXPECT_EQ(own.enters, 1);
}

// An edit box that wakes up when clicked while disabled.
class WakingEdit : public SEdit {
public:
    using SEdit::SEdit;

protected:
    bool OnEditMouse(QMouseEvent&) override {
        if (IsDisabled()) {
            EnableWindow(true);
        }
        return true;
    }
};

TEST_F(WidgetTest, EditMouseHookSeesClicksWhileDisabled) {
    WakingEdit edit(host_->GetRoot());
    edit.setGeometry(0, 0, 100, 24);
    edit.show();
    edit.EnableWindow(false);
    QTest::mouseClick(edit.LineEdit(), Qt::LeftButton);
    EXPECT_FALSE(edit.IsDisabled());
}

TEST_F(WidgetTest, ButtonsChecksAndRadiosRaiseCommands) {
    SWindow* plain = host_->FindChildByName("plain");
    int subscribed = 0;
    plain->SubscribeEvent(kEvtCommand, [&](EventArgs& e) {
        ++subscribed;
        EXPECT_EQ(e.sender, plain);
        return false;  // not handled: the host sees it too
    });
    QTest::mouseClick(plain, Qt::LeftButton);
    EXPECT_EQ(subscribed, 1);
    ASSERT_EQ(EventsOf(kEvtCommand).size(), 1u);
    // A release outside the button is no click.
    QTest::mousePress(plain, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(plain, Qt::LeftButton, {}, QPoint(500, 5));
    EXPECT_EQ(subscribed, 1);
    // A handling subscriber stops the event before the host.
    plain->UnsubscribeEvent(kEvtCommand);
    plain->SubscribeEvent(kEvtCommand, [](EventArgs&) { return true; });
    QTest::mouseClick(plain, Qt::LeftButton);
    EXPECT_EQ(EventsOf(kEvtCommand).size(), 1u);

    auto* chk = host_->FindChildByName2<SCheckBox>("chk");
    ASSERT_NE(chk, nullptr);
    QTest::mouseClick(chk, Qt::LeftButton);
    EXPECT_TRUE(chk->IsChecked());
    QTest::mouseClick(chk, Qt::LeftButton);
    EXPECT_FALSE(chk->IsChecked());

    auto* r1 = host_->FindChildByName2<SRadioBox>("r1");
    auto* r2 = host_->FindChildByName2<SRadioBox>("r2");
    auto* r3 = host_->FindChildByName2<SRadioBox>("r3");
    ASSERT_TRUE(r1 && r2 && r3);
    EXPECT_TRUE(r2->IsChecked());
    QTest::mouseClick(r1, Qt::LeftButton);
    EXPECT_TRUE(r1->IsChecked());
    EXPECT_FALSE(r2->IsChecked());
    EXPECT_TRUE(r3->IsChecked());  // another group
    r2->SetCheck(true);
    EXPECT_FALSE(r1->IsChecked());
    EXPECT_EQ(EventsOf(kEvtCommand).back().senderName, "r1");
}

TEST_F(WidgetTest, SkinStatesShowInTheRenderedWidgets) {
    auto* btn = host_->FindChildByName2<SImageButton>("btn_more");
    ASSERT_NE(btn, nullptr);
    EXPECT_EQ(PixelOf(btn, {5, 5}), Btn4Color(0));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(btn, &enter);
    EXPECT_TRUE(btn->IsHover());
    EXPECT_EQ(PixelOf(btn, {5, 5}), Btn4Color(1));
    QTest::mousePress(btn, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(PixelOf(btn, {5, 5}), Btn4Color(2));
    QTest::mouseRelease(btn, Qt::LeftButton, {}, QPoint(5, 5));
    btn->EnableWindow(false);
    EXPECT_EQ(PixelOf(btn, {5, 5}), Btn4Color(3));

    // Eight-state check box: checked adds 4.
    auto* chk = host_->FindChildByName2<SCheckBox>("chk");
    ASSERT_NE(chk, nullptr);
    EXPECT_EQ(PixelOf(chk, {5, 5}), Chk8Color(0));
    chk->SetCheck(true);
    EXPECT_EQ(PixelOf(chk, {5, 5}), Chk8Color(4));
    QCoreApplication::sendEvent(chk, &enter);
    EXPECT_EQ(PixelOf(chk, {5, 5}), Chk8Color(5));
    chk->EnableWindow(false);
    EXPECT_EQ(PixelOf(chk, {5, 5}), Chk8Color(7));

    // An image widget shows the layout's state.
    EXPECT_EQ(PixelOf(host_->FindChildByName("pic"), {5, 5}), Btn4Color(2));
}

TEST_F(WidgetTest, CommonStateAndUserData) {
    SWindow* w = host_->FindChildByName("title");
    w->SetUserData(42);
    EXPECT_EQ(w->GetUserData(), 42);
    w->SetVisible(false);
    EXPECT_FALSE(w->IsVisible());
    w->SetVisible(true);
    EXPECT_TRUE(w->IsVisible());
    w->EnableWindow(false);
    EXPECT_TRUE(w->IsDisabled());
    w->SetToolTipText("tip");
    EXPECT_EQ(w->toolTip(), "tip");

    ASSERT_TRUE(w->SetAttribute("font", "size:12,bold:1,hinting:none"));
    EXPECT_EQ(w->font().pixelSize(), 12);
    EXPECT_TRUE(w->font().bold());
    EXPECT_EQ(w->font().hintingPreference(), QFont::PreferNoHinting);
    ASSERT_TRUE(w->SetAttribute("font", "hinting:default"));
    EXPECT_EQ(w->font().hintingPreference(), QFont::PreferDefaultHinting);
    EXPECT_EQ(w->font().pixelSize(), 12);  // what the value leaves out stays
}

}  // namespace
}  // namespace kb::ui::test
