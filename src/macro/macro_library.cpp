#include "macro/macro_library.h"

#include "macro/background_saver.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "macro/xml_file.h"

namespace kb {
namespace {

// Attribute order of a step as written to the file, and the value a missing one loads as.
constexpr const char* kStepKeys[] = {"code", "name", "state", "delay"};
constexpr const char* kStepDefaults[] = {"0", "", "0", "0"};

bool IsStepKey(std::string_view key) {
    return key == "code" || key == "name" || key == "state" || key == "delay";
}

// Compares with a literal, terminator included; stops at the first difference, so it never reads
// past the end of text. Cheaper than strcmp on the load path, which calls it for every attribute.
template <std::size_t N>
bool Equals(const char* text, const char (&literal)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (text[i] != literal[i]) {
            return false;
        }
    }
    return true;
}

// Only elements have a name with the default parse options (text and CDATA have none).
template <std::size_t N>
bool Named(const pugi::xml_node& node, const char (&name)[N]) {
    return Equals(node.name(), name);
}

template <std::size_t N>
bool Named(const pugi::xml_attribute& attribute, const char (&name)[N]) {
    return Equals(attribute.name(), name);
}

// Whether the terminated name equals key; stops at the first difference, without a strlen.
bool NameIs(const char* name, std::string_view key) {
    for (const char c : key) {
        if (*name == '\0' || *name != c) {
            return false;
        }
        ++name;
    }
    return *name == '\0';
}

pugi::xml_attribute FindAttribute(const pugi::xml_node& element, std::string_view key) {
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        if (NameIs(attribute.name(), key)) {
            return attribute;
        }
    }
    return {};
}

void SetOn(pugi::xml_node& element, std::string_view key, std::string_view value) {
    pugi::xml_attribute attribute = FindAttribute(element, key);
    if (!attribute) {
        attribute = element.append_attribute(std::string(key).c_str());
    }
    attribute.set_value(value.data(), value.size());
}

// A step element exactly as the file has it: the four attributes in order, nothing below.
bool IsStepElement(const pugi::xml_node& item) {
    if (!Named(item, "item") || item.first_child()) {
        return false;
    }
    pugi::xml_attribute attribute = item.first_attribute();
    if (!Named(attribute, "code")) {
        return false;
    }
    attribute = attribute.next_attribute();
    if (!Named(attribute, "name")) {
        return false;
    }
    attribute = attribute.next_attribute();
    if (!Named(attribute, "state")) {
        return false;
    }
    attribute = attribute.next_attribute();
    if (!Named(attribute, "delay")) {
        return false;
    }
    return !attribute.next_attribute();
}

const char* ValueOr(const pugi::xml_node& node, const char* key, const char* fallback) {
    const pugi::xml_attribute attribute = node.attribute(key);
    return attribute ? attribute.value() : fallback;
}

// The written form of any node below a group: an "item" with the node's step values.
void AppendStepValues(pugi::xml_node& item, const pugi::xml_node& step) {
    for (int i = 0; i < 4; ++i) {
        item.append_attribute(kStepKeys[i])
            .set_value(ValueOr(step, kStepKeys[i], kStepDefaults[i]));
    }
}

// pugixml frees a subtree recursively, so a deeply nested one from a hostile file would overflow
// the stack: lift the grandchildren first, so every node freed is at most one level deep.
void RemoveSubtree(pugi::xml_node& parent, pugi::xml_node node) {
    while (pugi::xml_node child = node.first_child()) {
        while (pugi::xml_node grandchild = child.first_child()) {
            node.append_move(grandchild);
        }
        node.remove_child(child);
    }
    parent.remove_child(node);
}

// Puts the written form of step in its place below items; returns the new element.
pugi::xml_node ReplaceWithWrittenStep(pugi::xml_node& items, const pugi::xml_node& step) {
    pugi::xml_node item = items.insert_child_before("item", step);
    AppendStepValues(item, step);
    RemoveSubtree(items, step);
    return item;
}

// Any other macro file: every node below the first "group" that has a "name" is a group, every
// node below a group a step, missing step values take their defaults.
void BuildWrittenForm(const pugi::xml_document& source, pugi::xml_document& target) {
    pugi::xml_node top = target.append_child("group");
    for (pugi::xml_node group : source.child("group").children()) {
        const pugi::xml_attribute name = group.attribute("name");
        if (!name) {
            continue;
        }
        pugi::xml_node items = top.append_child("items");
        items.append_attribute("name").set_value(name.value());
        for (pugi::xml_node step : group.children()) {
            pugi::xml_node item = items.append_child("item");
            AppendStepValues(item, step);
        }
    }
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

// How the file is written; the whole document and each group's text alike.
constexpr const char* kIndent = "\t";
constexpr unsigned int kFormat = pugi::format_default;

void AddDeclaration(pugi::xml_document& document) {
    pugi::xml_node declaration = document.prepend_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");
}

}  // namespace

MacroNode::MacroNode() : side_(std::make_unique<Side>()) {
    side_->document = std::make_unique<pugi::xml_document>();
    element_ = side_->document->append_child("node");
}

MacroNode::MacroNode(const MacroNode& other) : side_(std::make_unique<Side>()) {
    other.BuildSteps();
    side_->document = std::make_unique<pugi::xml_document>();
    element_ = side_->document->append_copy(other.element_);
    AdoptCopy(other, Kind::kLoose);
}

MacroNode::MacroNode(MacroNode&& other) noexcept
    : library_(other.library_),
      element_(other.element_),
      side_(std::move(other.side_)),
      children_(std::move(other.children_)),
      steps_(other.steps_) {
    other.element_ = pugi::xml_node();
    other.steps_ = Steps::kBuilt;
    RelinkChildren();
}

MacroNode::~MacroNode() = default;

MacroNode::Kind MacroNode::KindOf() const {
    if (library_ == nullptr) {
        return Kind::kLoose;
    }
    if (parent_ == nullptr) {
        return Kind::kRoot;
    }
    return parent_->parent_ == nullptr ? Kind::kGroup : Kind::kStep;
}

MacroNode::Kind MacroNode::ChildKind() const {
    switch (KindOf()) {
        case Kind::kLoose:
            return Kind::kLoose;
        case Kind::kRoot:
            return Kind::kGroup;
        default:
            return Kind::kStep;
    }
}

bool MacroNode::IsWritten(Kind kind, std::string_view key) {
    switch (kind) {
        case Kind::kLoose:  // the node's own document holds everything
            return true;
        case Kind::kGroup:
            return key == "name";
        case Kind::kStep:
            return IsStepKey(key);
        case Kind::kRoot:
            break;
    }
    return false;
}

std::vector<MacroNode::Attribute>& MacroNode::MutableExtra() {
    if (!side_) {
        side_ = std::make_unique<Side>();
    }
    return side_->extra;
}

void MacroNode::Changed() const {
    const MacroNode* group = nullptr;
    switch (KindOf()) {
        case Kind::kGroup:
            group = this;
            break;
        case Kind::kStep:
            group = parent_;
            break;
        default:  // a loose node keeps no text; the root's is never kept
            return;
    }
    if (group->side_) {
        group->side_->text.reset();
    }
}

const std::shared_ptr<const std::string>& MacroNode::WrittenText() {
    WriteSteps();
    if (!side_) {
        side_ = std::make_unique<Side>();
    }
    if (!side_->text) {
        // A group with an empty name is written without the attribute.
        const pugi::xml_attribute name = element_.attribute("name");
        const bool unnamed = name && *name.value() == '\0';
        if (unnamed) {
            element_.remove_attribute(name);
        }
        StringWriter writer;
        element_.print(writer, kIndent, kFormat, pugi::encoding_utf8, 1);
        if (unnamed) {
            element_.prepend_attribute("name");
        }
        side_->text = std::make_shared<const std::string>(std::move(writer.text));
    }
    return side_->text;
}

MacroNode* MacroNode::ChildAt(int index) {
    BuildSteps();
    if (index < 0 || index >= ChildCount()) {
        return nullptr;
    }
    return &children_[static_cast<std::size_t>(index)];
}

const MacroNode* MacroNode::ChildAt(int index) const {
    BuildSteps();
    if (index < 0 || index >= ChildCount()) {
        return nullptr;
    }
    return &children_[static_cast<std::size_t>(index)];
}

void MacroNode::AdoptCopy(const MacroNode& source, Kind kind) {
    // Attributes the file does not hold move between the element and the side store.
    if (const std::vector<Attribute>* extra = source.Extra()) {
        for (const Attribute& attribute : *extra) {
            if (IsWritten(kind, attribute.first)) {
                SetOn(element_, attribute.first, attribute.second);
            } else {
                MutableExtra().push_back(attribute);
            }
        }
    }
    if (kind != Kind::kLoose) {
        for (pugi::xml_attribute attribute = element_.first_attribute(); attribute;) {
            const pugi::xml_attribute next = attribute.next_attribute();
            if (!IsWritten(kind, attribute.name())) {
                MutableExtra().emplace_back(attribute.name(), attribute.value());
                element_.remove_attribute(attribute);
            }
            attribute = next;
        }
        if (side_) {
            std::sort(side_->extra.begin(), side_->extra.end());
        }
    }

    if (kind == Kind::kGroup && !Named(element_, "items")) {
        element_.set_name("items");
    }
    if (kind == Kind::kStep) {
        if (!IsStepElement(element_)) {
            std::string values[4];
            for (int i = 0; i < 4; ++i) {
                values[i] = GetAttribute(kStepKeys[i]);
            }
            element_.set_name("item");
            element_.remove_attributes();
            element_.remove_children();  // steps of a library have no children
            for (int i = 0; i < 4; ++i) {
                element_.append_attribute(kStepKeys[i])
                    .set_value(values[i].c_str(), values[i].size());
            }
        }
        return;
    }

    const Kind childKind = kind == Kind::kLoose ? Kind::kLoose : Kind::kStep;
    children_.reserve(source.children_.size());
    pugi::xml_node element = element_.first_child();
    for (const MacroNode& sourceChild : source.children_) {
        MacroNode child(library_, element);
        child.AdoptCopy(sourceChild, childKind);
        children_.push_back(std::move(child));
        element = element.next_sibling();
    }
    RelinkChildren();
}

void MacroNode::InsertChild(int position, const MacroNode& node) {
    BuildSteps();
    node.BuildSteps();  // its element is copied below
    if (position != -1 && (position < 0 || position >= ChildCount())) {
        return;
    }
    const Kind kind = KindOf();
    if (kind == Kind::kStep) {
        return;
    }
    for (const MacroNode* up = this; up != nullptr; up = up->parent_) {
        if (up == &node) {
            // Copying a node into itself: copy it out first.
            InsertChild(position, MacroNode(node));
            return;
        }
    }
    const pugi::xml_node element =
        position == -1 ? element_.append_copy(node.element_)
                       : element_.insert_copy_before(
                             node.element_, children_[static_cast<std::size_t>(position)].element_);
    if (!element) {
        return;
    }
    Changed();
    MacroNode child(library_, element);
    child.AdoptCopy(node, ChildKind());
    children_.push_back(std::move(child));
    if (position != -1) {
        for (auto i = children_.size() - 1; i > static_cast<std::size_t>(position); --i) {
            children_[i].SwapHandles(children_[i - 1]);
        }
    }
    RelinkChildren();
}

bool MacroNode::RemoveChild(int index) {
    BuildSteps();
    if (children_.empty()) {
        return false;
    }
    if (index == -1) {
        index = ChildCount() - 1;
    }
    if (index < 0 || index >= ChildCount()) {
        return false;
    }
    element_.remove_child(children_[static_cast<std::size_t>(index)].element_);
    Changed();
    for (auto i = static_cast<std::size_t>(index); i + 1 < children_.size(); ++i) {
        children_[i].SwapHandles(children_[i + 1]);
    }
    children_.pop_back();
    return true;
}

bool MacroNode::MoveChild(int from, int to) {
    BuildSteps();
    if (from < 0 || from >= ChildCount() || from == to || to < -1) {
        return false;
    }
    const int last = ChildCount() - 1;
    if (to == -1 || to > last) {
        to = last;
    }
    if (to == from) {
        return true;  // the last child moved to the end
    }
    const pugi::xml_node moved = children_[static_cast<std::size_t>(from)].element_;
    Changed();
    if (to == last) {
        element_.append_move(moved);
    } else {
        const int before = to < from ? to : to + 1;
        element_.insert_move_before(moved, children_[static_cast<std::size_t>(before)].element_);
    }
    for (int i = from; i < to; ++i) {
        children_[static_cast<std::size_t>(i)].SwapHandles(
            children_[static_cast<std::size_t>(i + 1)]);
    }
    for (int i = from; i > to; --i) {
        children_[static_cast<std::size_t>(i)].SwapHandles(
            children_[static_cast<std::size_t>(i - 1)]);
    }
    return true;
}

void MacroNode::ClearChildren() {
    WriteSteps();  // no deep subtrees left for pugixml to free
    element_.remove_children();
    children_.clear();
    steps_ = Steps::kBuilt;
    Changed();
}

std::string_view MacroNode::GetAttribute(std::string_view key) const {
    if (const pugi::xml_attribute attribute = FindAttribute(element_, key)) {
        return attribute.value();
    }
    if (const std::vector<Attribute>* extra = Extra()) {
        for (const Attribute& attribute : *extra) {
            if (attribute.first == key) {
                return attribute.second;
            }
        }
    }
    return {};
}

bool MacroNode::HasAttribute(std::string_view key) const {
    if (FindAttribute(element_, key)) {
        return true;
    }
    const std::vector<Attribute>* extra = Extra();
    return extra != nullptr &&
           std::any_of(extra->begin(), extra->end(),
                       [&](const Attribute& attribute) { return attribute.first == key; });
}

void MacroNode::SetAttribute(std::string_view key, std::string_view value) {
    if (IsWritten(KindOf(), key)) {
        SetOn(element_, key, value);
        Changed();
        return;
    }
    std::vector<Attribute>& extra = MutableExtra();
    auto it = std::lower_bound(
        extra.begin(), extra.end(), key,
        [](const Attribute& attribute, std::string_view k) { return attribute.first < k; });
    if (it != extra.end() && it->first == key) {
        it->second.assign(value);
    } else {
        extra.emplace(it, std::string(key), std::string(value));
    }
}

void MacroNode::Clear() {
    ClearChildren();
    element_.remove_attributes();
    Changed();
    if (side_) {
        side_->extra.clear();
    }
}

void MacroNode::RelinkChildren() {
    for (MacroNode& child : children_) {
        child.parent_ = this;
    }
}

void MacroNode::SwapHandles(MacroNode& other) noexcept {
    std::swap(element_, other.element_);
    std::swap(steps_, other.steps_);
    std::swap(side_, other.side_);
    std::swap(children_, other.children_);
    RelinkChildren();
    other.RelinkChildren();
}

void MacroNode::WriteSteps() const {
    if (steps_ != Steps::kUnchecked) {
        return;
    }
    pugi::xml_node items = element_;
    for (pugi::xml_node step = items.first_child(); step;) {
        const pugi::xml_node next = step.next_sibling();
        if (!IsStepElement(step)) {
            ReplaceWithWrittenStep(items, step);
            Changed();
        }
        step = next;
    }
    steps_ = Steps::kWritten;
}

void MacroNode::BuildPendingSteps() const {
    const bool check = steps_ == Steps::kUnchecked;
    pugi::xml_node items = element_;
    std::size_t count = 0;
    for (pugi::xml_node item = items.first_child(); item; item = item.next_sibling()) {
        ++count;
    }
    children_.reserve(count);
    for (pugi::xml_node item = items.first_child(); item; item = item.next_sibling()) {
        if (check && !IsStepElement(item)) {
            item = ReplaceWithWrittenStep(items, item);
            Changed();
        }
        children_.push_back(MacroNode(library_, item));
    }
    steps_ = Steps::kBuilt;
    // The node itself is never a const object here: only its handles are filled in.
    const_cast<MacroNode*>(this)->RelinkChildren();
}

MacroNode MakeGroupNode(std::string_view name) {
    MacroNode group;
    group.SetAttribute("name", name);
    return group;
}

MacroNode MakeStepNode(std::string_view code, std::string_view name, std::string_view state,
                       std::string_view delay) {
    MacroNode step;
    step.SetAttribute("code", code);
    step.SetAttribute("name", name);
    step.SetAttribute("state", state);
    step.SetAttribute("delay", delay);
    return step;
}

MacroLibrary::MacroLibrary() : root_(this, pugi::xml_node()) {
    AddDeclaration(document_);
    document_.append_child("group");
    AttachRoot();
}

MacroLibrary::MacroLibrary(std::string path) : MacroLibrary() {
    path_ = std::move(path);
    Load(path_);
}

bool MacroLibrary::AttachRoot() {
    root_.children_.clear();
    root_.element_ = pugi::xml_node();
    pugi::xml_node top = document_.first_child();
    if (top.type() == pugi::node_declaration) {
        top = top.next_sibling();
    }
    if (!Named(top, "group") || top.next_sibling() || top.first_attribute()) {
        return false;
    }
    root_.element_ = top;
    for (pugi::xml_node items = top.first_child(); items; items = items.next_sibling()) {
        const pugi::xml_attribute name = items.first_attribute();
        if (!Named(items, "items") || !Named(name, "name") || name.next_attribute()) {
            root_.children_.clear();
            return false;
        }
        // The steps are checked and get their handles when the group is first used.
        root_.children_.emplace_back(MacroNode(this, items)).steps_ = MacroNode::Steps::kUnchecked;
    }
    root_.RelinkChildren();
    return true;
}

bool MacroLibrary::Load(const std::string& path) {
    // What was handed to the background saver is the newest content of the file.
    BackgroundSaver::Instance().Flush();
    const std::filesystem::path file = PathFromUtf8(path);
    const bool ownFile = path == path_;
    // A save that failed (a full disk) left the file older than the library: the content that
    // could not be written is the library, so a dialog opened again loses nothing.
    const std::optional<std::string> unwritten =
        ownFile ? BackgroundSaver::Instance().Unwritten(file) : std::nullopt;
    pugi::xml_document loaded;
    // Macro files are UTF-8 whatever their declaration claims.
    const pugi::xml_parse_result result =
        unwritten ? loaded.load_buffer(unwritten->data(), unwritten->size(), pugi::parse_default,
                                       pugi::encoding_utf8)
                  : LoadXmlFile(loaded, file, pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
        if (ownFile) {
            std::error_code ec;
            ownFileUnreadable_ = std::filesystem::exists(file, ec);
        }
        return false;
    }
    if (ownFile) {
        // Content held back from an unreadable file says nothing of the file itself.
        ownFileUnreadable_ = unwritten && MacroFileUnreadable(path);
    }

    root_.children_.clear();  // the handles into the old document go first
    root_.element_ = pugi::xml_node();
    // A file in the written form is kept as parsed; any other is rewritten into that form.
    document_ = std::move(loaded);
    if (!AttachRoot()) {
        loaded = std::move(document_);
        document_.reset();
        BuildWrittenForm(loaded, document_);
        AttachRoot();
    }
    AddDeclaration(document_);
    if (root_.side_) {
        root_.side_->extra.clear();
    }
    return true;
}

bool MacroLibrary::KeepOwnFileIfUnreadable(const std::string& path) {
    if (ownFileUnreadable_ && path == path_) {
        // Never replace a file we could not read without keeping its bytes somewhere.
        if (!KeepUnreadableCopy(PathFromUtf8(path))) {
            return false;
        }
        ownFileUnreadable_ = false;
    }
    return true;
}

std::string MacroLibrary::WholeDocumentText() {
    // A group with an empty name is written without the attribute.
    std::vector<pugi::xml_node> unnamed;
    for (MacroNode& group : root_.children_) {
        group.WriteSteps();
        const pugi::xml_attribute name = group.element_.attribute("name");
        if (name && *name.value() == '\0') {
            group.element_.remove_attribute(name);
            unnamed.push_back(group.element_);
        }
    }
    StringWriter writer;
    document_.save(writer, kIndent, kFormat, pugi::encoding_utf8);
    for (pugi::xml_node& element : unnamed) {
        element.prepend_attribute("name");
    }
    return std::move(writer.text);
}

FileContent MacroLibrary::Content() {
    if (root_.children_.empty()) {
        return WholeContent(WholeDocumentText());  // "<group />"
    }
    // The declaration and the root are always the same: AddDeclaration, and a "group" element
    // without attributes (AttachRoot).
    static const ContentPiece header = std::make_shared<const std::string>(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<group>\n");
    static const ContentPiece footer = std::make_shared<const std::string>("</group>\n");
    FileContent content;
    content.reserve(root_.children_.size() + 2);
    content.push_back(header);
    for (MacroNode& group : root_.children_) {
        content.push_back(group.WrittenText());
    }
    content.push_back(footer);
    return content;
}

std::string MacroLibrary::SavedText() {
    return JoinContent(Content());
}

bool MacroLibrary::Save(const std::string& path) {
    // A write of this file still waiting beside the window must not land after this one.
    BackgroundSaver::Instance().Flush();
    if (!KeepOwnFileIfUnreadable(path)) {
        return false;
    }
    const FileContent content = Content();
    return WriteFileAtomically(PathFromUtf8(path),
                               [&content](std::FILE* file) { return WriteContent(file, content); });
}

bool MacroLibrary::SaveInBackground() {
    if (path_.empty()) {
        return false;
    }
    FileContent content = Content();
    if (!KeepOwnFileIfUnreadable(path_)) {
        // The file may not be replaced, but the library is not lost with the dialog.
        BackgroundSaver::Instance().Hold(PathFromUtf8(path_), std::move(content));
        return false;
    }
    BackgroundSaver::Instance().Submit(PathFromUtf8(path_), std::move(content));
    return true;
}

bool MacroFileUnreadable(const std::string& path) {
    pugi::xml_document document;
    const pugi::xml_parse_result result =
        LoadXmlFile(document, PathFromUtf8(path), pugi::parse_default, pugi::encoding_utf8);
    return !result && result.status != pugi::status_file_not_found;
}

bool HasMcrExtension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    return dot != std::string_view::npos && path.substr(dot + 1) == "mcr";
}

}  // namespace kb
