#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>

namespace kb {

class MacroLibrary;

// One node of the macro tree: the root, a macro group ("name") or a macro step ("code", "name",
// "state", "delay"). Children are held by value, so a pointer to a child stays valid only until
// its parent's child sequence changes.
//
// A library keeps its tree in a pugixml document in the form it is written to disk, so that a
// save is a plain write and a load keeps what the parser built; the nodes are handles into it.
// Each group also keeps its written text once saved, so the next save serialises only the groups
// that changed.
// Inside a library the tree has three levels: a step never gets children. A node made on its own
// (MakeGroupNode, MakeStepNode, a copy) keeps any shape until it is inserted into a library.
class MacroNode {
public:
    MacroNode();
    // A copy stands alone: no parent, no library, until a copy of it is inserted somewhere.
    MacroNode(const MacroNode& other);
    MacroNode(MacroNode&& other) noexcept;
    // Nodes are placed with InsertChild and changed with the operations below; assigning one
    // node over another would leave the document behind.
    MacroNode& operator=(const MacroNode&) = delete;
    MacroNode& operator=(MacroNode&&) = delete;
    ~MacroNode();

    int ChildCount() const {
        BuildSteps();
        return static_cast<int>(children_.size());
    }
    // Null when the index is negative or not below the count.
    MacroNode* ChildAt(int index);
    const MacroNode* ChildAt(int index) const;
    // Inserts a copy before the child at position; -1 appends; a position at or above the
    // count (or any other negative one) inserts nothing. Nothing is inserted below a step of a
    // library.
    void InsertChild(int position, const MacroNode& node);
    // -1 removes the last child; any other index outside the children removes nothing.
    bool RemoveChild(int index);
    // Takes the child at from out and inserts it at to among the remaining children; -1 or a
    // position past them moves it to the end. False, and nothing changes, for an invalid from,
    // a to below -1, or from == to.
    bool MoveChild(int from, int to);
    void ClearChildren();

    // The value of key, or "" when the node has no such attribute. The view stays valid until
    // the attribute is set again or the node goes.
    std::string_view GetAttribute(std::string_view key) const;
    bool HasAttribute(std::string_view key) const;
    void SetAttribute(std::string_view key, std::string_view value);

    // Removes all children and all attributes.
    void Clear();

    MacroLibrary* Library() const { return library_; }
    MacroNode* Parent() const { return parent_; }

private:
    friend class MacroLibrary;
    using Attribute = std::pair<std::string, std::string>;
    enum class Kind { kLoose, kRoot, kGroup, kStep };
    // A loaded group gets its step handles on first use: most groups of a library are never
    // opened while the dialog is up. Until then its element may still hold steps in some other
    // form than the written one (kUnchecked) or already in that form (kWritten).
    enum class Steps : unsigned char { kBuilt, kUnchecked, kWritten };

    // What a node needs beyond its element only now and then.
    struct Side {
        std::unique_ptr<pugi::xml_document> document;  // loose nodes own their document
        // Attributes that are not written to the file (a step's "foo", any attribute of the
        // root) are held here, so the document always is the file.
        std::vector<Attribute> extra;
        // A group's element as the file has it, kept until the group or a step of it changes,
        // so that a save serialises only what changed. Shared with saves still being written.
        std::shared_ptr<const std::string> text;
    };

    MacroNode(MacroLibrary* library, pugi::xml_node element)
        : library_(library), element_(element) {}

    // Whether the file holds that attribute of a node of that kind.
    static bool IsWritten(Kind kind, std::string_view key);
    Kind KindOf() const;
    Kind ChildKind() const;
    std::vector<Attribute>* Extra() const { return side_ ? &side_->extra : nullptr; }
    std::vector<Attribute>& MutableExtra();
    // Lets go of the written text of the group this node is or is in. Every change of what the
    // file holds of a group (its element or anything below it) calls this, or a save writes the
    // group as it was.
    void Changed() const;
    // The group's element as the file has it (WriteSteps first), made when not kept.
    const std::shared_ptr<const std::string>& WrittenText();
    // Gives the freshly copied element the shape of its kind and builds the handles below it
    // from source, whose subtree it is a copy of.
    void AdoptCopy(const MacroNode& source, Kind kind);
    void RelinkChildren();
    // Swaps two siblings' handles; the elements are moved by the caller.
    void SwapHandles(MacroNode& other) noexcept;
    // Builds the step handles of a loaded group if it has none yet. Const because reading a
    // group builds them; what a caller can see does not change.
    void BuildSteps() const {
        if (steps_ != Steps::kBuilt) {
            BuildPendingSteps();
        }
    }
    void BuildPendingSteps() const;
    // Brings the steps of a loaded group into the written form, without building handles.
    void WriteSteps() const;

    MacroLibrary* library_ = nullptr;
    MacroNode* parent_ = nullptr;
    pugi::xml_node element_;
    std::unique_ptr<Side> side_;
    mutable std::vector<MacroNode> children_;
    mutable Steps steps_ = Steps::kBuilt;
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
    // Saves to the library's own path beside the caller's thread (BackgroundSaver): the content
    // is taken now, the file is written soon, whole and flushed. For changes made while the
    // user waits, such as a recorded keystroke. False when there is no own path.
    bool SaveInBackground();

    // The bytes a save would write now.
    std::string SavedText();
    // The file's bytes as pugixml writes the whole document in one pass, without the groups'
    // kept texts: what every save writes, pieced together from those texts. For checks.
    std::string WholeDocumentText();

    MacroNode& Root() { return root_; }
    const MacroNode& Root() const { return root_; }
    const std::string& Path() const { return path_; }

private:
    // Points the root at the "group" element of document_ and builds the handles below it;
    // false, with no groups, when the document is not in the written form.
    bool AttachRoot();
    // Keeps an unreadable own file aside before it is first replaced; false when it could not.
    bool KeepOwnFileIfUnreadable(const std::string& path);
    // The library's file form: a header, each group's written text, a footer.
    std::vector<std::shared_ptr<const std::string>> Content();

    std::string path_;
    pugi::xml_document document_;
    MacroNode root_;
    // The own file existed but could not be parsed: copy it aside before overwriting it.
    bool ownFileUnreadable_ = false;
};

// True when a macro file is there but a library would not read it (and would keep it aside
// before its first save).
bool MacroFileUnreadable(const std::string& path);

// Import and export accept a path only when the text after its last "." is exactly "mcr".
bool HasMcrExtension(std::string_view path);

}  // namespace kb
