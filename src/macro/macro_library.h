#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kb {

class MacroLibrary;

// One node of the macro tree: the root, a macro group ("name") or a macro step ("code", "name",
// "state", "delay"). Children are held by value, so a pointer to a child stays valid only until
// its parent's child sequence changes.
class MacroNode {
public:
    using Attribute = std::pair<std::string, std::string>;

    explicit MacroNode(MacroLibrary* library = nullptr) : library_(library) {}
    // A copy or a moved-from node stands alone (no parent) until it is placed in a tree;
    // assignment keeps the target's place in its tree and gives the new content its library.
    MacroNode(const MacroNode& other);
    MacroNode(MacroNode&& other) noexcept;
    MacroNode& operator=(const MacroNode& other);
    MacroNode& operator=(MacroNode&& other) noexcept;
    ~MacroNode() = default;

    int ChildCount() const { return static_cast<int>(children_.size()); }
    // Null when the index is negative or not below the count.
    MacroNode* ChildAt(int index);
    const MacroNode* ChildAt(int index) const;
    // Inserts a copy before the child at position; -1 appends; a position at or above the
    // count (or any other negative one) inserts nothing.
    void InsertChild(int position, const MacroNode& node);
    // -1 removes the last child; any other index outside the children removes nothing.
    bool RemoveChild(int index);
    // Takes the child at from out and inserts it at to among the remaining children; -1 or a
    // position past them moves it to the end. False, and nothing changes, for an invalid from
    // or from == to.
    bool MoveChild(int from, int to);
    void ClearChildren();

    // The value of key, or an empty string when the node has no such attribute.
    const std::string& GetAttribute(std::string_view key) const;
    bool HasAttribute(std::string_view key) const;
    void SetAttribute(std::string_view key, std::string_view value);
    // Attributes in ascending key order.
    const std::vector<Attribute>& Attributes() const { return attributes_; }

    // Removes all children and all attributes.
    void Clear();

    MacroLibrary* Library() const { return library_; }
    MacroNode* Parent() const { return parent_; }

private:
    friend class MacroLibrary;

    // Points the children back at this node after the child sequence moved in memory.
    void RelinkChildren();
    void SetLibraryRecursively(MacroLibrary* library);

    MacroLibrary* library_ = nullptr;
    MacroNode* parent_ = nullptr;
    std::vector<MacroNode> children_;
    std::vector<Attribute> attributes_;  // sorted by key
};

// A macro group node named name, without steps.
MacroNode MakeGroupNode(std::string_view name);
// A macro step node with its four attributes.
MacroNode MakeStepNode(std::string_view code, std::string_view name, std::string_view state,
                       std::string_view delay);

// The user's macro groups, loaded from and saved to a macro file ("macro.xml", exports).
class MacroLibrary {
public:
    // An empty library without a file of its own.
    MacroLibrary();
    // Starts empty, then loads path; the result of that load is not used.
    explicit MacroLibrary(std::string path);
    MacroLibrary(const MacroLibrary&) = delete;
    MacroLibrary& operator=(const MacroLibrary&) = delete;

    // Replaces the content with the macro file at path. False when the file cannot be opened
    // or is not well-formed; the content is kept then. The library's own path stays.
    bool Load(const std::string& path);
    // Writes the whole library to a macro file; the target is replaced only by a complete file.
    bool Save(const std::string& path);
    // Saves to the library's own path.
    bool Save() { return Save(path_); }

    MacroNode& Root() { return root_; }
    const MacroNode& Root() const { return root_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    MacroNode root_;
    // The own file existed but could not be parsed: copy it aside before overwriting it.
    bool ownFileUnreadable_ = false;
};

// Import and export accept a path only when the text after its last "." is exactly "mcr".
bool HasMcrExtension(std::string_view path);

}  // namespace kb
