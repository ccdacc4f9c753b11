// A loaded group gets its step handles on first use. Every operation must behave the same whether
// or not the groups it touches were read before.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "macro/macro_library.h"
#include "temp_folder.h"

namespace kb {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// Passes the check on the top level, so its groups are loaded as they are; the steps of "odd" are
// not in the written form (extra and missing attributes, text, a nested element).
constexpr const char* kOddSteps =
    "<group>"
    "<items name=\"a\"><item code=\"4\" name=\"A\" state=\"0\" delay=\"10\"/>"
    "<item code=\"4\" name=\"A\" state=\"1\" delay=\"0\"/></items>"
    "<items name=\"odd\"><item delay=\"5\" code=\"7\" extra=\"x\"/>text"
    "<b code=\"9\"><c code=\"8\"/></b><item code=\"\" name=\"\" state=\"\" delay=\"\"/></items>"
    "<items name=\"\"/>"
    "<items name=\"c\"><item code=\"6\" name=\"C\" state=\"0\" delay=\"1\"/></items>"
    "</group>";

std::string Dump(const MacroNode& root) {
    std::string out;
    for (int g = 0; g < root.ChildCount(); ++g) {
        const MacroNode& group = *root.ChildAt(g);
        out += '[';
        out += group.GetAttribute("name");
        out += ']';
        for (int s = 0; s < group.ChildCount(); ++s) {
            const MacroNode& step = *group.ChildAt(s);
            for (const char* key : {"code", "name", "state", "delay"}) {
                out += key[0] == 'c' ? ' ' : '/';
                out += step.GetAttribute(key);
            }
        }
        out += "\n";
    }
    return out;
}

void ExpectLinked(const MacroNode& node, const MacroLibrary* library) {
    for (int i = 0; i < node.ChildCount(); ++i) {
        const MacroNode* child = node.ChildAt(i);
        ASSERT_EQ(child->Parent(), &node) << "child " << i;
        ASSERT_EQ(child->Library(), library) << "child " << i;
        ExpectLinked(*child, library);
    }
}

MacroNode& Group(MacroLibrary& library, int index) {
    return *library.Root().ChildAt(index);
}

struct Edit {
    const char* name;
    std::function<void(MacroLibrary&)> apply;
};

// Runs each edit on a freshly loaded library whose groups nobody has read and on one whose groups
// were all read first; content, links and the saved bytes must agree.
TEST(LoadedGroupsTest, EditsGiveTheSameResultBeforeAndAfterReading) {
    TempFolder folder;
    WriteFile(folder.File("odd.xml"), kOddSteps);
    const std::vector<Edit> edits = {
        {"save only", [](MacroLibrary&) {}},
        {"copy a group to the front",
         [](MacroLibrary& l) { l.Root().InsertChild(0, Group(l, 1)); }},
        {"append a copy of a group",
         [](MacroLibrary& l) { l.Root().InsertChild(-1, Group(l, 1)); }},
        {"insert a group into itself",
         [](MacroLibrary& l) { Group(l, 1).InsertChild(0, Group(l, 1)); }},
        {"move groups",
         [](MacroLibrary& l) {
             l.Root().MoveChild(0, -1);
             l.Root().MoveChild(2, 0);
         }},
        {"remove a group", [](MacroLibrary& l) { l.Root().RemoveChild(0); }},
        {"clear a group", [](MacroLibrary& l) { Group(l, 1).ClearChildren(); }},
        {"clear a group's children and attributes", [](MacroLibrary& l) { Group(l, 1).Clear(); }},
        {"rename a group", [](MacroLibrary& l) { Group(l, 1).SetAttribute("name", "renamed"); }},
        {"append a step",
         [](MacroLibrary& l) { Group(l, 1).InsertChild(-1, MakeStepNode("5", "B", "1", "2")); }},
        {"insert a step",
         [](MacroLibrary& l) { Group(l, 3).InsertChild(0, MakeStepNode("5", "B", "1", "2")); }},
        {"remove the last step", [](MacroLibrary& l) { Group(l, 1).RemoveChild(-1); }},
        {"move a step", [](MacroLibrary& l) { Group(l, 1).MoveChild(0, 2); }},
        {"edit a step",
         [](MacroLibrary& l) { Group(l, 1).ChildAt(1)->SetAttribute("delay", "77"); }},
        {"copy a step into another group",
         [](MacroLibrary& l) { Group(l, 0).InsertChild(0, *Group(l, 1).ChildAt(2)); }},
        {"clear the root", [](MacroLibrary& l) { l.Root().ClearChildren(); }},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.name);
        MacroLibrary untouched(folder.File("odd.xml"));
        MacroLibrary read(folder.File("odd.xml"));
        Dump(read.Root());

        edit.apply(untouched);
        edit.apply(read);
        ASSERT_TRUE(untouched.Save(folder.File("untouched.xml")));
        ASSERT_TRUE(read.Save(folder.File("read.xml")));
        EXPECT_EQ(ReadFile(folder.File("untouched.xml")), ReadFile(folder.File("read.xml")));
        EXPECT_EQ(Dump(untouched.Root()), Dump(read.Root()));
        ExpectLinked(untouched.Root(), &untouched);
    }
}

TEST(LoadedGroupsTest, StepsOutsideTheWrittenFormLoadWithTheirValuesAndDefaults) {
    TempFolder folder;
    WriteFile(folder.File("odd.xml"), kOddSteps);
    const std::string expected =
        "[a] 4/A/0/10 4/A/1/0\n"
        "[odd] 7//0/5 0//0/0 9//0/0 ///\n"
        "[]\n"
        "[c] 6/C/0/1\n";

    // Saved before any group was read: the file holds the written form.
    MacroLibrary library(folder.File("odd.xml"));
    ASSERT_TRUE(library.Save(folder.File("saved.xml")));
    EXPECT_EQ(ReadFile(folder.File("saved.xml")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<group>\n"
              "\t<items name=\"a\">\n"
              "\t\t<item code=\"4\" name=\"A\" state=\"0\" delay=\"10\" />\n"
              "\t\t<item code=\"4\" name=\"A\" state=\"1\" delay=\"0\" />\n"
              "\t</items>\n"
              "\t<items name=\"odd\">\n"
              "\t\t<item code=\"7\" name=\"\" state=\"0\" delay=\"5\" />\n"
              "\t\t<item code=\"0\" name=\"\" state=\"0\" delay=\"0\" />\n"
              "\t\t<item code=\"9\" name=\"\" state=\"0\" delay=\"0\" />\n"
              "\t\t<item code=\"\" name=\"\" state=\"\" delay=\"\" />\n"
              "\t</items>\n"
              "\t<items />\n"
              "\t<items name=\"c\">\n"
              "\t\t<item code=\"6\" name=\"C\" state=\"0\" delay=\"1\" />\n"
              "\t</items>\n"
              "</group>\n");
    EXPECT_EQ(Dump(library.Root()), expected);
    EXPECT_FALSE(Group(library, 1).ChildAt(0)->HasAttribute("extra"));

    // Copies of groups nobody read stand alone with the same steps, also through a const library.
    MacroLibrary fresh(folder.File("odd.xml"));
    const MacroLibrary& constant = fresh;
    const MacroNode copy = *constant.Root().ChildAt(1);
    ExpectLinked(copy, nullptr);
    MacroLibrary other;
    other.Root().InsertChild(-1, copy);
    other.Root().InsertChild(0, *fresh.Root().ChildAt(0));
    ExpectLinked(other.Root(), &other);
    EXPECT_EQ(Dump(other.Root()), "[a] 4/A/0/10 4/A/1/0\n[odd] 7//0/5 0//0/0 9//0/0 ///\n");
    EXPECT_EQ(Dump(fresh.Root()), expected);
}

TEST(LoadedGroupsTest, GroupsMovedBeforeTheirFirstReadLinkToTheirNewPlace) {
    TempFolder folder;
    WriteFile(folder.File("odd.xml"), kOddSteps);
    MacroLibrary library(folder.File("odd.xml"));
    // Growing the root moves every group handle; their steps are built afterwards.
    for (int i = 0; i < 20; ++i) {
        library.Root().InsertChild(-1, MakeGroupNode("new"));
    }
    library.Root().MoveChild(1, 10);
    MacroNode& odd = Group(library, 10);
    ASSERT_EQ(odd.GetAttribute("name"), "odd");
    ASSERT_EQ(odd.ChildCount(), 4);
    EXPECT_EQ(odd.ChildAt(2)->GetAttribute("code"), "9");
    ExpectLinked(library.Root(), &library);

    // A reload drops the read handles, and the new groups are read from the new file.
    ASSERT_TRUE(library.Load(folder.File("odd.xml")));
    EXPECT_EQ(Group(library, 1).ChildCount(), 4);
    ExpectLinked(library.Root(), &library);
}

}  // namespace
}  // namespace kb
