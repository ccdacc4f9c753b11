#pragma once

#include <QPixmap>
#include <QPoint>
#include <QStringList>

#include "toolkit/swnd.h"

class QComboBox;

namespace kb::ui {

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

}  // namespace kb::ui
