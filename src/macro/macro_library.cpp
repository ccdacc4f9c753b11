#include "macro/macro_library.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <pugixml.hpp>

#include "macro/atomic_file.h"

namespace kb {
namespace {

const std::string kEmpty;

// Attribute order of a step as written to the file.
constexpr const char* kStepKeys[] = {"code", "name", "state", "delay"};

struct KeyLess {
    bool operator()(const MacroNode::Attribute& attribute, std::string_view key) const {
        return std::string_view(attribute.first) < key;
    }
};

std::string_view ValueOr(const pugi::xml_node& node, const char* key, std::string_view fallback) {
    pugi::xml_attribute attribute = node.attribute(key);
    return attribute ? std::string_view(attribute.value()) : fallback;
}

}  // namespace

MacroNode::MacroNode(const MacroNode& other)
    : library_(other.library_), children_(other.children_), attributes_(other.attributes_) {
    RelinkChildren();
}

MacroNode::MacroNode(MacroNode&& other) noexcept
    : library_(other.library_),
      children_(std::move(other.children_)),
      attributes_(std::move(other.attributes_)) {
    RelinkChildren();
}

MacroNode& MacroNode::operator=(const MacroNode& other) {
    if (this != &other) {
        // other may live below this node; copying first keeps it alive while it is read.
        *this = MacroNode(other);
    }
    return *this;
}

MacroNode& MacroNode::operator=(MacroNode&& other) noexcept {
    if (this != &other) {
        // Take the content out before the old children go: other may be one of them.
        std::vector<MacroNode> children = std::move(other.children_);
        std::vector<Attribute> attributes = std::move(other.attributes_);
        children_ = std::move(children);
        attributes_ = std::move(attributes);
        RelinkChildren();
        for (MacroNode& child : children_) {
            if (child.library_ != library_) {
                child.SetLibraryRecursively(library_);
            }
        }
    }
    return *this;
}

MacroNode* MacroNode::ChildAt(int index) {
    if (index < 0 || index >= ChildCount()) {
        return nullptr;
    }
    return &children_[static_cast<std::size_t>(index)];
}

const MacroNode* MacroNode::ChildAt(int index) const {
    if (index < 0 || index >= ChildCount()) {
        return nullptr;
    }
    return &children_[static_cast<std::size_t>(index)];
}

void MacroNode::InsertChild(int position, const MacroNode& node) {
    if (position != -1 && (position < 0 || position >= ChildCount())) {
        return;
    }
    MacroNode copy(node);
    if (copy.library_ != library_) {
        copy.SetLibraryRecursively(library_);
    }
    if (position == -1) {
        children_.push_back(std::move(copy));
    } else {
        children_.insert(children_.begin() + position, std::move(copy));
    }
    RelinkChildren();
}

bool MacroNode::RemoveChild(int index) {
    if (children_.empty()) {
        return false;
    }
    if (index == -1) {
        index = ChildCount() - 1;
    }
    if (index < 0 || index >= ChildCount()) {
        return false;
    }
    children_.erase(children_.begin() + index);
    RelinkChildren();
    return true;
}

bool MacroNode::MoveChild(int from, int to) {
    if (from < 0 || from >= ChildCount() || from == to || to < -1) {
        return false;
    }
    const int remaining = ChildCount() - 1;
    if (to == -1 || to > remaining) {
        to = remaining;
    }
    auto first = children_.begin();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    } else if (to < from) {
        std::rotate(first + to, first + from, first + from + 1);
    }
    RelinkChildren();
    return true;
}

void MacroNode::ClearChildren() {
    children_.clear();
}

const std::string& MacroNode::GetAttribute(std::string_view key) const {
    auto it = std::lower_bound(attributes_.begin(), attributes_.end(), key, KeyLess{});
    return it != attributes_.end() && it->first == key ? it->second : kEmpty;
}

bool MacroNode::HasAttribute(std::string_view key) const {
    auto it = std::lower_bound(attributes_.begin(), attributes_.end(), key, KeyLess{});
    return it != attributes_.end() && it->first == key;
}

void MacroNode::SetAttribute(std::string_view key, std::string_view value) {
    auto it = std::lower_bound(attributes_.begin(), attributes_.end(), key, KeyLess{});
    if (it != attributes_.end() && it->first == key) {
        it->second.assign(value);
    } else {
        attributes_.emplace(it, std::string(key), std::string(value));
    }
}

void MacroNode::Clear() {
    children_.clear();
    attributes_.clear();
}

void MacroNode::RelinkChildren() {
    for (MacroNode& child : children_) {
        child.parent_ = this;
    }
}

void MacroNode::SetLibraryRecursively(MacroLibrary* library) {
    library_ = library;
    for (MacroNode& child : children_) {
        child.SetLibraryRecursively(library);
    }
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

MacroLibrary::MacroLibrary() : root_(this) {}

MacroLibrary::MacroLibrary(std::string path) : path_(std::move(path)), root_(this) {
    Load(path_);
}

bool MacroLibrary::Load(const std::string& path) {
    const std::filesystem::path file = PathFromUtf8(path);
    pugi::xml_document document;
    // Macro files are UTF-8 whatever their declaration claims.
    const pugi::xml_parse_result result =
        LoadXmlFile(document, file, pugi::parse_default, pugi::encoding_utf8);
    const bool ownFile = path == path_;
    if (!result) {
        if (ownFile) {
            std::error_code ec;
            ownFileUnreadable_ = std::filesystem::exists(file, ec);
        }
        return false;
    }
    if (ownFile) {
        ownFileUnreadable_ = false;
    }

    root_.Clear();
    const pugi::xml_node top = document.child("group");
    for (pugi::xml_node source : top.children()) {
        const pugi::xml_attribute name = source.attribute("name");
        if (!name) {
            continue;
        }
        MacroNode group(this);
        group.children_.reserve(
            static_cast<std::size_t>(std::distance(source.begin(), source.end())));
        for (pugi::xml_node item : source.children()) {
            MacroNode& step = group.children_.emplace_back(this);
            // Built directly in key order: code, delay, name, state.
            step.attributes_.reserve(4);
            step.attributes_.emplace_back("code", ValueOr(item, "code", "0"));
            step.attributes_.emplace_back("delay", ValueOr(item, "delay", "0"));
            step.attributes_.emplace_back("name", ValueOr(item, "name", ""));
            step.attributes_.emplace_back("state", ValueOr(item, "state", "0"));
        }
        group.RelinkChildren();
        group.attributes_.emplace_back("name", name.value());
        root_.children_.push_back(std::move(group));
    }
    root_.RelinkChildren();
    return true;
}

bool MacroLibrary::Save(const std::string& path) {
    const std::filesystem::path file = PathFromUtf8(path);
    if (ownFileUnreadable_ && path == path_) {
        // Never replace a file we could not read without keeping its bytes somewhere.
        if (!KeepUnreadableCopy(file)) {
            return false;
        }
        ownFileUnreadable_ = false;
    }

    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");
    pugi::xml_node top = document.append_child("group");
    for (const MacroNode& group : root_.children_) {
        pugi::xml_node items = top.append_child("items");
        const std::string& name = group.GetAttribute("name");
        if (!name.empty()) {
            items.append_attribute("name").set_value(name.c_str(), name.size());
        }
        for (const MacroNode& step : group.children_) {
            pugi::xml_node item = items.append_child("item");
            for (const char* key : kStepKeys) {
                const std::string& value = step.GetAttribute(key);
                item.append_attribute(key).set_value(value.c_str(), value.size());
            }
        }
    }
    return SaveXmlAtomically(document, file, "\t", pugi::format_default);
}

bool HasMcrExtension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    return dot != std::string_view::npos && path.substr(dot + 1) == "mcr";
}

}  // namespace kb
