#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "toolkit/sbutton.h"
#include "toolkit/swnd.h"

namespace kb::ui {

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

}  // namespace kb::ui
