#include "macro/ui/macro_adapters.h"

#include <cctype>
#include <string>

#include "macro/macro_library.h"
#include "toolkit/sapp.h"
#include "toolkit/swidgets.h"
#include "util/number_text.h"

namespace kb {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Text the layout's translator gives for a source, in the row's context.
QString Translated(const ui::SWindow& widget, const QString& source) {
    const ui::SApplication* app = ui::SApplication::Instance();
    return app != nullptr ? app->Tr(widget.TrContext(), source) : source;
}

// Points a row widget's handler at this view of the row: the row's earlier view attached it
// already.
void Resubscribe(ui::SWindow& widget, int kind, ui::EventHandler handler) {
    widget.UnsubscribeEvent(kind);
    widget.SubscribeEvent(kind, std::move(handler));
}

}  // namespace

int ScanDecimalResult(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    if (i == text.size()) {
        return -1;
    }
    if (text[i] == '+' || text[i] == '-') {
        ++i;
    }
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) ? 1 : 0;
}

// ---- group list ---------------------------------------------------------------------------

CMacroGroupAdapter::CMacroGroupAdapter(MacroLibrary& library,
                                       IOnMacroGroupClickedListener* listener)
    : library_(library), listener_(listener) {}

int CMacroGroupAdapter::GetCount() {
    return library_.Root().ChildCount();
}

void CMacroGroupAdapter::GetView(int position, ui::SWindow* item, const pugi::xml_node&) {
    const MacroNode* group = library_.Root().ChildAt(position);
    if (item == nullptr || group == nullptr) {
        return;
    }
    item->SetUserData(position);
    if (auto* edit = item->FindChildByName2<ui::SEdit>(QStringLiteral("group_name"))) {
        // Detached while the text is set, so filling the row is not taken for a rename.
        edit->UnsubscribeEvent(ui::kEvtRichEditNotify);
        edit->SetUserData(position);
        edit->SetText(FromUtf8(group->GetAttribute("name")));
        edit->SubscribeEvent(ui::kEvtRichEditNotify,
                             ui::MemberHandler(this, &CMacroGroupAdapter::OnRename));
    }
    Resubscribe(*item, ui::kEvtCommand, ui::MemberHandler(this, &CMacroGroupAdapter::OnRowClick));
}

bool CMacroGroupAdapter::OnRename(ui::EventArgs& evt) {
    if (evt.notifyCode != ui::kEnChange || evt.sender == nullptr) {
        return false;
    }
    const std::string text = evt.sender->GetText().toStdString();
    MacroNode* group = library_.Root().ChildAt(static_cast<int>(evt.sender->GetUserData()));
    if (group != nullptr && group->GetAttribute("name") != text) {
        group->SetAttribute("name", text);
        library_.SaveInBackground();
    }
    return true;
}

bool CMacroGroupAdapter::OnRowClick(ui::EventArgs& evt) {
    if (evt.sender == nullptr) {
        return false;
    }
    clickedRow_ = static_cast<int>(evt.sender->GetUserData());
    if (const MacroNode* group = library_.Root().ChildAt(clickedRow_)) {
        if (listener_ != nullptr) {
            listener_->OnMacroGroupClicked(clickedRow_, FromUtf8(group->GetAttribute("name")));
        }
    }
    return true;
}

void CMacroGroupAdapter::AddGroup(std::string_view name) {
    if (name.empty()) {
        return;
    }
    library_.Root().InsertChild(-1, MakeGroupNode(name));
    SaveAndRefresh();
}

void CMacroGroupAdapter::AddNumberedGroup() {
    AddGroup("Group " + std::to_string(library_.Root().ChildCount()));
}

void CMacroGroupAdapter::RemoveGroup(int index) {
    library_.Root().RemoveChild(index);
    SaveAndRefresh();
}

void CMacroGroupAdapter::SaveAndRefresh() {
    library_.SaveInBackground();
    NotifyDataSetChanged();
}

// ---- step list ----------------------------------------------------------------------------

MacroNode* KeyAndDelayAdapter::Group() const {
    return library_.Root().ChildAt(group_);
}

void KeyAndDelayAdapter::SetGroup(int index) {
    group_ = library_.Root().ChildAt(index) != nullptr ? index : -1;
    NotifyDataSetChanged();
}

int KeyAndDelayAdapter::GetCount() {
    const MacroNode* group = Group();
    return group != nullptr ? group->ChildCount() : 0;
}

QString KeyAndDelayAdapter::GetColumnName(int column) const {
    return QStringLiteral("col%1").arg(column + 1);
}

bool KeyAndDelayAdapter::OnSort(int column, std::vector<ui::SortMark>& marks) {
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if (static_cast<int>(i) != column) {
            marks[i] = ui::SortMark::None;
        } else {
            marks[i] = marks[i] == ui::SortMark::Up ? ui::SortMark::Down : ui::SortMark::Up;
        }
    }
    return true;
}

void KeyAndDelayAdapter::GetView(int position, ui::SWindow* item, const pugi::xml_node&) {
    const MacroNode* group = Group();
    const MacroNode* step = group != nullptr ? group->ChildAt(position) : nullptr;
    if (item == nullptr || step == nullptr) {
        return;
    }
    if (ui::SWindow* code = item->FindChildByName(QStringLiteral("key_code"))) {
        code->SetText(Translated(*code, FromUtf8(step->GetAttribute("code"))));
    }
    if (ui::SWindow* name = item->FindChildByName(QStringLiteral("key_name"))) {
        name->SetText(FromUtf8(step->GetAttribute("name")));
    }
    if (ui::SWindow* state = item->FindChildByName(QStringLiteral("key_state"))) {
        const std::int32_t value = ParseDecimalPrefix(step->GetAttribute("state"));
        const char* text = value == 0 ? "key down" : value == 1 ? "key up" : "replace";
        state->SetText(QString::fromLatin1(text), true);
    }
    if (ui::SWindow* delay = item->FindChildByName(QStringLiteral("key_delay"))) {
        delay->UnsubscribeEvent(ui::kEvtRichEditNotify);
        delay->SetUserData(position);
        delay->SetText(Translated(*delay, FromUtf8(step->GetAttribute("delay"))));
        delay->SubscribeEvent(ui::kEvtRichEditNotify,
                              ui::MemberHandler(this, &KeyAndDelayAdapter::OnDelayChanged));
    }
}

bool KeyAndDelayAdapter::OnDelayChanged(ui::EventArgs& evt) {
    if (evt.notifyCode != ui::kEnChange || evt.sender == nullptr) {
        return false;
    }
    if (restoringDelay_) {
        return true;
    }
    MacroNode* group = Group();
    MacroNode* step =
        group != nullptr ? group->ChildAt(static_cast<int>(evt.sender->GetUserData())) : nullptr;
    if (step == nullptr) {
        return true;
    }
    const std::string text = evt.sender->GetText().toStdString();
    const std::string stored(step->GetAttribute("delay"));
    if (ScanDecimalResult(text) == 0) {
        // Not a number: the stored delay comes back. Guarded, since putting it back is itself
        // a change (and a stored delay need not be a number either).
        restoringDelay_ = true;
        evt.sender->SetText(QString::fromStdString(stored));
        restoringDelay_ = false;
        return true;
    }
    // Kept as typed ("12ab" included); the record takes its leading number.
    if (text != stored) {
        step->SetAttribute("delay", text);
        library_.SaveInBackground();
    }
    return true;
}

void KeyAndDelayAdapter::AppendStep(int code, int state, std::string_view name, int delay) {
    MacroNode* group = Group();
    if (group == nullptr || code == 0) {
        return;
    }
    group->InsertChild(
        -1, MakeStepNode(std::to_string(code), name, std::to_string(state), std::to_string(delay)));
    SaveAndRefresh();
}

bool KeyAndDelayAdapter::MoveStep(int index, bool up) {
    MacroNode* group = Group();
    if (group == nullptr) {
        return false;
    }
    const bool moved = group->MoveChild(index, up ? index - 1 : index + 1);
    SaveAndRefresh();
    return moved;
}

void KeyAndDelayAdapter::RemoveStep(int index) {
    if (MacroNode* group = Group()) {
        group->RemoveChild(index);
        SaveAndRefresh();
    }
}

void KeyAndDelayAdapter::ClearSteps() {
    if (MacroNode* group = Group()) {
        group->ClearChildren();
        SaveAndRefresh();
    }
}

void KeyAndDelayAdapter::SaveAndRefresh() {
    library_.SaveInBackground();
    NotifyDataSetChanged();
}

}  // namespace kb
