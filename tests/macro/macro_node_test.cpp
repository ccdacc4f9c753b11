#include <string>

#include <gtest/gtest.h>

#include "macro/macro_library.h"

namespace kb {
namespace {

// A group named after each letter, each holding two steps, so moves also carry grandchildren.
void AddGroups(MacroNode& root, const std::string& names) {
    for (char c : names) {
        MacroNode group = MakeGroupNode(std::string(1, c));
        group.InsertChild(-1, MakeStepNode("4", "A", "0", "10"));
        group.InsertChild(-1, MakeStepNode("4", "A", "1", "0"));
        root.InsertChild(-1, group);
    }
}

std::string Names(const MacroNode& node) {
    std::string names;
    for (int i = 0; i < node.ChildCount(); ++i) {
        names += node.ChildAt(i)->GetAttribute("name");
    }
    return names;
}

// Every node below node points at its real parent and at library.
void ExpectLinked(const MacroNode& node, const MacroLibrary* library) {
    for (int i = 0; i < node.ChildCount(); ++i) {
        const MacroNode* child = node.ChildAt(i);
        ASSERT_EQ(child->Parent(), &node) << "child " << i;
        ASSERT_EQ(child->Library(), library) << "child " << i;
        ExpectLinked(*child, library);
    }
}

struct EditCase {
    const char* operation;  // "insert", "remove" or "move"
    int a;
    int b;
    bool result;
    const char* after;
};

class ChildEditTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(ChildEditTest, FollowsTheEdgeRules) {
    const EditCase& c = GetParam();
    MacroLibrary library;
    MacroNode& root = library.Root();
    AddGroups(root, "abc");

    bool result = true;
    const std::string operation = c.operation;
    if (operation == "insert") {
        MacroNode x = MakeGroupNode("x");
        x.InsertChild(-1, MakeStepNode("5", "B", "0", "0"));
        root.InsertChild(c.a, x);
    } else if (operation == "remove") {
        result = root.RemoveChild(c.a);
    } else {
        result = root.MoveChild(c.a, c.b);
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(Names(root), c.after);
    ExpectLinked(root, &library);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChildEditTest,
    ::testing::Values(EditCase{"insert", -1, 0, true, "abcx"},
                      EditCase{"insert", 0, 0, true, "xabc"},
                      EditCase{"insert", 2, 0, true, "abxc"},
                      EditCase{"insert", 3, 0, true, "abc"},  // at the count: nothing
                      EditCase{"insert", -2, 0, true, "abc"}, EditCase{"remove", -1, 0, true, "ab"},
                      EditCase{"remove", 0, 0, true, "bc"}, EditCase{"remove", 3, 0, false, "abc"},
                      EditCase{"remove", -2, 0, false, "abc"}, EditCase{"move", 0, 2, true, "bca"},
                      EditCase{"move", 2, 0, true, "cab"}, EditCase{"move", 0, 1, true, "bac"},
                      EditCase{"move", 1, 2, true, "acb"}, EditCase{"move", 0, -1, true, "bca"},
                      EditCase{"move", 0, 9, true, "bca"},
                      EditCase{"move", 2, 3, true, "abc"},  // last to the count: stays, true
                      EditCase{"move", 1, 1, false, "abc"}, EditCase{"move", -1, 0, false, "abc"},
                      EditCase{"move", 3, 0, false, "abc"}, EditCase{"move", 0, -2, false, "abc"}));

TEST(MacroNodeTest, EmptyNodeRefusesRemovalAndLookups) {
    MacroNode node;
    EXPECT_FALSE(node.RemoveChild(-1));
    EXPECT_FALSE(node.RemoveChild(0));
    EXPECT_FALSE(node.MoveChild(0, -1));
    EXPECT_EQ(node.ChildAt(0), nullptr);
    EXPECT_EQ(node.ChildAt(-1), nullptr);
    node.InsertChild(0, MakeGroupNode("a"));  // position 0 is not below the count 0
    EXPECT_EQ(node.ChildCount(), 0);
}

TEST(MacroNodeTest, RemoveLastStepOfAGroup) {
    MacroNode group = MakeGroupNode("g");
    group.InsertChild(-1, MakeStepNode("4", "A", "0", "0"));
    group.InsertChild(-1, MakeStepNode("5", "B", "0", "0"));
    EXPECT_TRUE(group.RemoveChild(-1));
    ASSERT_EQ(group.ChildCount(), 1);
    EXPECT_EQ(group.ChildAt(0)->GetAttribute("code"), "4");
}

TEST(MacroNodeTest, AttributesCanBeSetReplacedAndCleared) {
    MacroNode node;
    node.SetAttribute("state", "0");
    node.SetAttribute("code", "4");
    node.SetAttribute("code", "5");
    EXPECT_EQ(node.GetAttribute("code"), "5");
    EXPECT_EQ(node.GetAttribute("state"), "0");
    EXPECT_TRUE(node.HasAttribute("state"));
    EXPECT_FALSE(node.HasAttribute("delay"));
    EXPECT_EQ(node.GetAttribute("delay"), "");

    node.InsertChild(-1, MakeStepNode("4", "A", "0", "0"));
    node.Clear();
    EXPECT_EQ(node.ChildCount(), 0);
    EXPECT_FALSE(node.HasAttribute("code"));
}

TEST(MacroNodeTest, CopiesKeepParentAndLibraryRight) {
    MacroLibrary first;
    MacroLibrary second;
    AddGroups(first.Root(), "ab");

    // A copy stands alone, and its own children point at the copy.
    const MacroNode copy = *first.Root().ChildAt(0);
    EXPECT_EQ(copy.Parent(), nullptr);
    ExpectLinked(copy, nullptr);
    ASSERT_EQ(copy.ChildCount(), 2);
    EXPECT_EQ(copy.ChildAt(1)->GetAttribute("state"), "1");

    // Inserted into another library, the copy belongs to that library all the way down.
    second.Root().InsertChild(-1, copy);
    second.Root().InsertChild(0, *first.Root().ChildAt(1));
    EXPECT_EQ(Names(second.Root()), "ba");
    ExpectLinked(second.Root(), &second);

    // Inserting a node into itself copies it first; a step of a library takes no children.
    MacroNode& a = *first.Root().ChildAt(0);
    a.InsertChild(-1, a);
    a.ChildAt(0)->InsertChild(-1, a);
    ASSERT_EQ(a.ChildCount(), 3);
    EXPECT_EQ(a.ChildAt(0)->ChildCount(), 0);
    EXPECT_EQ(a.ChildAt(2)->ChildCount(), 0);
    EXPECT_EQ(a.ChildAt(2)->GetAttribute("name"), "a");
    ExpectLinked(first.Root(), &first);
}

}  // namespace
}  // namespace kb
