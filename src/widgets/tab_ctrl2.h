#pragma once

#include "toolkit/shostwnd.h"
#include "toolkit/stabctrl.h"

namespace kb::ui {

// "page2": a tab page whose header plays an enter animation ("ani_in") while the pointer moves
// onto it and a leave animation ("ani_out") when it moves off.
class STabPage2 : public STabPage {
    KB_UI_CLASS(STabPage2, STabPage, "page2")
public:
    enum AnimState { kIdle = 0, kEntering = 1, kLeaving = 2 };

    explicit STabPage2(QWidget* parent = nullptr);
    ~STabPage2() override;
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;

    int AnimationState() const { return state_; }
    int Frame() const { return frame_; }
    int Countdown() const { return countdown_; }
    ISkinObj* EnterSkin() const { return enterSkin_; }
    ISkinObj* LeaveSkin() const { return leaveSkin_; }

private:
    friend class STabCtrl2;
    int state_ = kIdle;
    int frame_ = 0;
    int countdown_ = 0;
    ISkinObj* enterSkin_ = nullptr;
    ISkinObj* leaveSkin_ = nullptr;
};

// "tabctrl2": a tab control with a header background ("tabHeadBgSkin"), header icon animations
// of its "page2" pages, and no separators next to the selected header, which grows over them.
class STabCtrl2 : public STabCtrl, public ITimelineHandler {
    KB_UI_CLASS(STabCtrl2, STabCtrl, "tabctrl2")
public:
    static constexpr int kFrameIntervalMs = 50;

    explicit STabCtrl2(QWidget* parent = nullptr);
    ~STabCtrl2() override;
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    void OnCreated() override;

    // One animation tick (10 ms).
    void OnNextFrame() override;
    ISkinObj* HeadBgSkin() const { return headBgSkin_; }
    STabPage2* GetPage2(int index) const;

protected:
    STabPage* CreatePageFromXml(const pugi::xml_node& element) override;
    void DrawItem(QPainter& painter, const QRect& rect, int index, int state) override;
    void DrawItemIcon(QPainter& painter, const QRect& iconRect, int index, int state) override;
    void OnPaint(QPainter& painter) override;
    void OnStateChanged(int oldState, int newState) override;

private:
    bool OnItemHover(EventArgs& evt);
    bool OnItemLeave(EventArgs& evt);
    void StartAnimation(int index, int state);
    void RepaintItem(int index);

    ISkinObj* headBgSkin_ = nullptr;
    bool timelineRegistered_ = false;
};

}  // namespace kb::ui
