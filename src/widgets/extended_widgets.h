#pragma once

#include "toolkit/shostwnd.h"
#include "toolkit/sskin.h"
#include "toolkit/swidgets.h"

namespace kb::ui {

// "anmimg": a picture that plays its enter frames ("ani_in") on hover, or by itself every
// "autorun" seconds (0: continuously, -1: never), and its leave frames ("ani_out") once the
// pointer has gone. Each frame stays "interval" ms, counted in 10 ms ticks.
class SAnimImg : public SWindow, public ITimelineHandler {
    KB_UI_CLASS(SAnimImg, SWindow, "anmimg")
public:
    enum AnimState { kResting = 0, kEntering = 1, kLeaving = 2 };

    explicit SAnimImg(QWidget* parent = nullptr);
    ~SAnimImg() override;
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    QSize GetDesiredSize() const override;
    void OnCreated() override;
    void OnNextFrame() override;

    int AnimationState() const { return state_; }
    int Frame() const { return frame_; }
    // The frame the picture shows now and the skin it comes from (nullptr: nothing shown).
    int ShownFrame() const;
    ISkinObj* ShownSkin() const;
    int Interval() const { return interval_; }
    int Autorun() const { return autorun_; }
    bool AutorunPending() const { return autorunPending_; }
    int HoverCount() const { return hoverCount_; }

protected:
    void OnPaint(QPainter& painter) override;
    void OnMouseHover() override;
    void OnMouseLeave() override;

private:
    void AdvanceFrame();

    int interval_ = 50;
    int autorun_ = -1;
    int autorunDelay_ = 0;
    bool autorunPending_ = false;
    int hoverCount_ = 0;
    int state_ = kResting;
    int frame_ = 0;
    int frameClock_ = 0;
    int autorunClock_ = 0;
    ISkinObj* enterSkin_ = nullptr;
    ISkinObj* leaveSkin_ = nullptr;
    bool timelineRegistered_ = false;
};

// "editex": an edit box that raises kEvtKeyEnter ("on_key_enter") for Enter instead of taking
// the key, and that a click enables when it is disabled.
class SEditEx : public SEdit {
    KB_UI_CLASS(SEditEx, SEdit, "editex")
public:
    explicit SEditEx(QWidget* parent = nullptr);
    ~SEditEx() override;

protected:
    bool OnEditKeyPress(QKeyEvent& event) override;
    bool OnEditMouse(QMouseEvent& event) override;
};

// Icon and text placement shared by the extended check box and radio button.
struct IconTextLayout {
    ISkinObj* iconSkin = nullptr;  // "iconSkin"
    QPoint iconPos{0, 0};          // "iconPos": x,y from the client rectangle's top-left
    int textX = 0;                 // "textX"
    int textY = 0;                 // "textY"

    // Handles the four attributes; `handled` tells whether the name was one of them.
    bool SetAttribute(const QString& name, const QString& value, bool& handled);
    QRect IconRect(const QRect& client) const;
    QRect TextRect(const QRect& client) const;
};

// Background state of the extended check box and radio button: pressed 2, hover 1, checked the
// skin's last state, else 0.
int ExSkinState(const SWindow& wnd, const ISkinObj* skin);

// What the extended check box and radio button add to their base: a background skin, an icon
// skin beside the text, and the text moved past the icon. No focus rectangle.
template <class Base>
class SIconTextButton : public Base {
public:
    using Base::Base;
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override {
        bool handled = false;
        const bool ok = layout_.SetAttribute(name, value, handled);
        if (handled) {
            this->update();
            return ok;
        }
        return Base::SetAttribute(name, value, loading);
    }
    QSize GetDesiredSize() const override {
        if (ISkinObj* skin = this->GetSkin()) {
            return skin->SkinSize();
        }
        return SWindow::GetDesiredSize();
    }
    QRect GetTextRect() const override { return layout_.TextRect(this->GetClientRectLocal()); }
    const IconTextLayout& Layout() const { return layout_; }
    // States the skin and the icon are drawn in now. A box without a background skin still
    // shows its check state through the icon.
    int SkinState() const { return ExSkinState(*this, this->GetSkin()); }
    int IconState() const { return this->GetStateIndex8(); }

protected:
    void OnPaint(QPainter& painter) override {
        const QRect client = this->GetClientRectLocal();
        if (ISkinObj* skin = this->GetSkin()) {
            skin->Draw(painter, client, SkinState());
        }
        if (layout_.iconSkin) {
            layout_.iconSkin->Draw(painter, layout_.IconRect(client), IconState());
        }
        const QString text = this->GetText();
        if (!text.isEmpty()) {
            this->DrawWndText(painter, GetTextRect(), text);
        }
    }
    void DrawFocus(QPainter& /*painter*/) override {}

private:
    IconTextLayout layout_;
};

// "checkex": a check box drawn as background skin + icon skin + text.
class SCheckBoxEx : public SIconTextButton<SCheckBox> {
    KB_UI_CLASS(SCheckBoxEx, SCheckBox, "checkex")
public:
    explicit SCheckBoxEx(QWidget* parent = nullptr);
    ~SCheckBoxEx() override;
};

// "radioex": the same for a radio button.
class SRadioBoxEx : public SIconTextButton<SRadioBox> {
    KB_UI_CLASS(SRadioBoxEx, SRadioBox, "radioex")
public:
    explicit SRadioBoxEx(QWidget* parent = nullptr);
    ~SRadioBoxEx() override;
};

}  // namespace kb::ui
