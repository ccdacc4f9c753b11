#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "toolkit/swnd.h"

class QLineEdit;
class QComboBox;
class QKeyEvent;

namespace kb::ui {

// "caption": dragging it moves the frameless host window; a double click toggles maximised.
class SCaption : public SWindow {
    KB_UI_CLASS(SCaption, SWindow, "caption")
public:
    explicit SCaption(QWidget* parent = nullptr);

protected:
    void OnLButtonDown(QMouseEvent& event) override;
    void OnLButtonUp(QMouseEvent& event) override;
    void OnMouseMove(QMouseEvent& event) override;
    void OnLButtonDblClk(QMouseEvent& event) override;

private:
    bool dragging_ = false;
    QPoint dragOffset_;
};

// "text": a label.
class SStatic : public SWindow {
    KB_UI_CLASS(SStatic, SWindow, "text")
public:
    explicit SStatic(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;

protected:
    void DrawWndText(QPainter& painter, const QRect& rect, const QString& text) override;

private:
    bool multiLines_ = false;  // attribute "multiLines": word wrap
};

// "link": a clickable text; raises kEvtCommand.
class SLink : public SStatic {
    KB_UI_CLASS(SLink, SStatic, "link")
public:
    explicit SLink(QWidget* parent = nullptr);

protected:
    void DrawWndText(QPainter& painter, const QRect& rect, const QString& text) override;
    void OnClick() override;
};

// "img": shows a skin state (attributes "skin" + "state") or an image ("src" = type:name).
class SImageWnd : public SWindow {
    KB_UI_CLASS(SImageWnd, SWindow, "img")
public:
    explicit SImageWnd(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    // The skin state shown.
    void SetIcon(int state);
    int GetIcon() const { return state_; }
    void SetImage(const QPixmap& image);
    const QPixmap& GetImage() const { return image_; }
    QSize GetDesiredSize() const override;

protected:
    void OnPaint(QPainter& painter) override;

private:
    int state_ = 0;
    QPixmap image_;
};

// "button": a push button with text; skin states normal, hover, pressed, disabled.
// A release over the button after a press raises kEvtCommand.
// Tab reaches it (a click does not move the focus); Space or Enter then clicks it. Focus given
// otherwise (a window coming up) neither shows nor clicks.
class SButton : public SWindow {
    KB_UI_CLASS(SButton, SWindow, "button")
public:
    explicit SButton(QWidget* parent = nullptr);
    QSize GetDesiredSize() const override;

protected:
    void OnPaint(QPainter& painter) override;
    void OnClick() override;
    void DrawFocus(QPainter& painter) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool focusFromKeyboard_ = false;
};

// "imgbtn": a button drawn from a 4-state skin only.
class SImageButton : public SButton {
    KB_UI_CLASS(SImageButton, SButton, "imgbtn")
public:
    explicit SImageButton(QWidget* parent = nullptr);
};

// "edit": a one-line text box (a QLineEdit inside). Every text change raises
// kEvtRichEditNotify with notifyCode kEnChange. SetText/GetText work on the box's text.
// Attributes: cueText, cueColor, readonly, number (digits only).
class SEdit : public SWindow {
    KB_UI_CLASS(SEdit, SWindow, "edit")
public:
    explicit SEdit(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    void SetText(const QString& text, bool translate = false) override;
    QString GetText(bool raw = false) const override;
    QLineEdit* LineEdit() const { return edit_; }
    void SetReadOnly(bool readOnly);
    void SetCueText(const QString& cue);

protected:
    // Hooks on the inner box's input, seen before the box. Return true to swallow the event.
    // Mouse presses and releases reach OnEditMouse even while the box is disabled.
    virtual bool OnEditKeyPress(QKeyEvent& event);
    virtual bool OnEditMouse(QMouseEvent& event);
    void OnLanguageChanged() override;
    void OnPaint(QPainter& painter) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateStyle();
    QLineEdit* edit_ = nullptr;
    QString cueSource_;
    QColor cueColor_;
};

// What the check box and the radio button share: left-aligned text past an indicator drawn
// without a skin, the toggle skin states, "checked", and "focusSkin" drawn while the button has
// the keyboard focus. Not registered: it has no tag of its own.
class SToggleButton : public SButton {
public:
    explicit SToggleButton(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    QSize GetDesiredSize() const override;

protected:
    // The skin (or, without one, DrawIndicator), then the text, then the focus skin.
    void OnPaint(QPainter& painter) override;
    // Draws the indicator without a skin; box is IndicatorRect less half a pixel for the pen.
    virtual void DrawIndicator(QPainter& painter, const QRectF& box) = 0;
    // Text right of the indicator.
    QRect GetTextRect() const override;
    void DrawFocus(QPainter& painter) override;
    // Indicator rectangle (local coordinates) when no skin is set: left, vertically centred.
    virtual QRect IndicatorRect() const;
    ISkinObj* FocusSkin() const { return focusSkin_; }

private:
    ISkinObj* focusSkin_ = nullptr;
};

// "check": a check box. A click toggles the check and raises kEvtCommand.
// With a skin, the state is GetStateIndex8 (unchecked 0-3, checked 4-7); "focusSkin" is drawn
// while the box has the keyboard focus.
class SCheckBox : public SToggleButton {
    KB_UI_CLASS(SCheckBox, SToggleButton, "check")
public:
    explicit SCheckBox(QWidget* parent = nullptr);

protected:
    void OnClick() override;
    // A rounded box with a tick when checked.
    void DrawIndicator(QPainter& painter, const QRectF& box) override;
};

// "radio": a radio button. A click checks it, unchecks every radio of the same "group" under
// the same host (or the same parent when it has no host), and raises kEvtCommand.
class SRadioBox : public SToggleButton {
    KB_UI_CLASS(SRadioBox, SToggleButton, "radio")
public:
    explicit SRadioBox(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    void SetCheck(bool checked) override;
    const QString& Group() const { return group_; }
    Qt::Alignment IconAlign() const { return iconAlign_; }  // attributes iconAlign, iconValign

protected:
    void OnClick() override;
    // A circle with a dot when checked.
    void DrawIndicator(QPainter& painter, const QRectF& box) override;
    QRect IndicatorRect() const override;

private:
    void UncheckPeers();
    QString group_;
    Qt::Alignment iconAlign_ = Qt::AlignLeft | Qt::AlignVCenter;
};

// "combobox": a drop-down list (a QComboBox inside). Items come from <item text= data=/> children
// (translated in the layout's context) or AddString. Skins: "skin" (the face, 4 states),
// "btnSkin" (drop button, 4 states), "itemSkin" (list rows: 0 hover, 1 selected). The list opens
// below the face, kItemHeight per row, with at most dropHeight / kItemHeight rows in view.
class SComboBox : public SWindow {
    KB_UI_CLASS(SComboBox, SWindow, "combobox")
public:
    // Height of a row of the drop-down list; "dropHeight" allows dropHeight / kItemHeight rows.
    static constexpr int kItemHeight = 28;

    explicit SComboBox(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    bool CreateChildren(const pugi::xml_node& element) override;

    int GetCurSel() const { return curSel_; }
    // Succeeds only for an index below GetCount() that differs from the current selection
    // (negative = no selection). Then the box shows the item and, with notify, a
    // kEvtComboSelChanged (oldSel, newSel) follows. Otherwise nothing changes.
    bool SetCurSel(int index, bool notify = false);
    int GetCount() const;
    // Shown (translated) text of an item; empty when out of range.
    QString GetLBText(int index) const;
    // Appends an item; the text passes through the translator (the widget's context) and is
    // translated again on language changes. Returns its index.
    int AddString(const QString& text, qintptr itemData = 0);
    int InsertString(int index, const QString& text, qintptr itemData = 0);
    bool DeleteString(int index);
    void ResetContent();
    qintptr GetItemData(int index) const;
    QComboBox* Combo() const { return combo_; }
    ISkinObj* BtnSkin() const { return btnSkin_; }
    ISkinObj* ItemSkin() const { return itemSkin_; }

protected:
    void OnLanguageChanged() override;
    void OnPaint(QPainter& painter) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnActivated(int index);
    QComboBox* combo_ = nullptr;
    ISkinObj* btnSkin_ = nullptr;
    ISkinObj* itemSkin_ = nullptr;
    QStringList sources_;
    int curSel_ = -1;
    int pendingSel_ = -1;  // curSel from the layout, applied once the items exist
    bool syncing_ = false;
};

// "sliderbar": an integer value between min and max. Attributes min, max, value, vertical,
// skin (the track), posSkin (the filled part), thumbSkin. Dragging raises kEvtSliderPos (pos).
class SSliderBar : public SWindow {
    KB_UI_CLASS(SSliderBar, SWindow, "sliderbar")
public:
    explicit SSliderBar(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    int GetValue() const { return value_; }
    // Clamped into [min, max]; repaints. Raises no event.
    void SetValue(int value);
    void SetRange(int minValue, int maxValue);
    int GetMin() const { return min_; }
    int GetMax() const { return max_; }
    bool IsVertical() const { return vertical_; }
    // Track, thumb and filled rectangles (local coordinates).
    QRect TrackRect() const;
    QRect ThumbRect() const;

protected:
    void OnPaint(QPainter& painter) override;
    void OnLButtonDown(QMouseEvent& event) override;
    void OnLButtonUp(QMouseEvent& event) override;
    void OnMouseMove(QMouseEvent& event) override;

private:
    int ValueAt(const QPoint& pt) const;
    void DragTo(const QPoint& pt);
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    bool vertical_ = false;
    bool dragging_ = false;
    ISkinObj* thumbSkin_ = nullptr;
    ISkinObj* posSkin_ = nullptr;
};

}  // namespace kb::ui
