#pragma once

#include <QString>
#include <string_view>
#include <vector>

#include "toolkit/slistview.h"

namespace kb {

class MacroLibrary;
class MacroNode;

// Told when a row of the group list is clicked.
class IOnMacroGroupClickedListener {
public:
    virtual ~IOnMacroGroupClickedListener() = default;
    virtual void OnMacroGroupClicked(int index, const QString& name) = 0;
};

// Rows of "macro_group": the library's groups, each an editable name. Every change is saved to
// the library's own file at once.
class CMacroGroupAdapter : public ui::SAdapterBase {
public:
    CMacroGroupAdapter(MacroLibrary& library, IOnMacroGroupClickedListener* listener);

    int GetCount() override;
    void GetView(int position, ui::SWindow* item, const pugi::xml_node& xmlTemplate) override;

    // Appends a group without steps; an empty name appends nothing.
    void AddGroup(std::string_view name);
    // "Group N", N being the number of groups before the append.
    void AddNumberedGroup();
    // -1 removes the last group.
    void RemoveGroup(int index);

    int ClickedRow() const { return clickedRow_; }

private:
    bool OnRename(ui::EventArgs& evt);
    bool OnRowClick(ui::EventArgs& evt);
    void SaveAndRefresh();

    MacroLibrary& library_;
    IOnMacroGroupClickedListener* listener_;
    int clickedRow_ = -1;
};

// Rows of "key_info": the steps of one group (of the library's groups, by index).
class KeyAndDelayAdapter : public ui::SMcAdapterBase {
public:
    explicit KeyAndDelayAdapter(MacroLibrary& library) : library_(library) {}

    int GetCount() override;
    void GetView(int position, ui::SWindow* item, const pugi::xml_node& xmlTemplate) override;
    QString GetColumnName(int column) const override;
    // Moves the marks only; the steps keep their order.
    bool OnSort(int column, std::vector<ui::SortMark>& marks) override;

    // The group at that index of the library, or none for any index outside it. Held by index
    // so that it never outlives a reload of the library.
    void SetGroup(int index);
    MacroNode* Group() const;

    // All but SetGroup do nothing without a group; otherwise they save the library and refresh.
    // A code of 0 appends nothing.
    void AppendStep(int code, int state, std::string_view name, int delay);
    bool MoveStep(int index, bool up);
    void RemoveStep(int index);
    void ClearSteps();

private:
    bool OnDelayChanged(ui::EventArgs& evt);
    void SaveAndRefresh();

    MacroLibrary& library_;
    int group_ = -1;
    bool restoringDelay_ = false;
};

// sscanf("%d") on text, as far as its result goes: 1 when a number starts the text (after
// white space), -1 when the text holds nothing but white space, 0 otherwise.
int ScanDecimalResult(std::string_view text);

}  // namespace kb
