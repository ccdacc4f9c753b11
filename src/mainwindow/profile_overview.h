#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace kb {

// One assigned key of the overview.
struct OverviewRow {
    int keyId = 0;   // the key button's id
    QString key;     // its display name
    QString action;  // what it does
    QColor kind;     // the colour of its kind of assignment
};

// Geometry the overview keeps fixed, so that a row can be found from outside by its number.
inline constexpr int kOverviewMargin = 16;
inline constexpr int kOverviewSummaryHeight = 24;
inline constexpr int kOverviewSpacing = 10;
inline constexpr int kOverviewHeaderHeight = 28;
inline constexpr int kOverviewRowHeight = 30;

// Every assigned key of a profile with what it does, in the order of the keyboard picture.
// Clicking a row (or Enter on it) closes the overview with that key chosen, for the key
// dialog to open on it. Texts come translated from the caller.
class ProfileOverview : public QDialog {
public:
    struct Texts {
        QString title;      // the window title: the overview of which profile
        QString summary;    // the line above the list
        QString keyColumn;  // the list's headers
        QString actionColumn;
        QString empty;  // shown instead of the list when no key is assigned
    };

    ProfileOverview(QWidget* parent, const Texts& texts, const std::vector<OverviewRow>& rows);

    // The id of the key whose row was clicked; -1 when the overview closed without one.
    int ChosenKey() const { return chosen_; }
    QTreeWidget* List() const { return list_; }

private:
    void Choose(QTreeWidgetItem* item);

    QTreeWidget* list_ = nullptr;
    int chosen_ = -1;
};

}  // namespace kb
