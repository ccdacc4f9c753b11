// A save writes each group from the text it kept since the group last changed. Whatever was done
// to the library, the bytes must be those of the whole document written in one pass.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "macro/background_saver.h"
#include "macro/macro_library.h"
#include "temp_folder.h"

namespace kb {
namespace {

using test::ReadFile;
using test::TempFolder;

// Groups that load as they are, with steps that are brought into the written form only when the
// group is first read or saved (attributes out of order, missing or extra, text, nesting).
constexpr const char* kLoadedLater =
    "<group>"
    "<items name=\"L0\"><item delay=\"5\" code=\"4\" name=\"A\" state=\"0\"/>"
    "<item code=\"7\" name=\"B\" state=\"1\" delay=\"3\" extra=\"x\"/>text<step code=\"9\"/>"
    "</items>"
    "<items name=\"L1\"><item code=\"4\" name=\"A\" state=\"0\" delay=\"1\"/></items>"
    "<items name=\"\"><item code=\"4\" name=\"&lt;&amp;\" state=\"0\" delay=\"1\"><sub/></item>"
    "</items>"
    "<items name=\"L3\"/>"
    "</group>";

// Random edits of every kind a library allows, checked after each one.
class RandomEdits {
public:
    RandomEdits(unsigned seed, const TempFolder& folder)
        : random_(seed), folder_(folder), path_(folder.File("own.xml")), library_(path_) {
        folder.Write("later.xml", kLoadedLater);
    }

    MacroLibrary& Library() { return library_; }

    void Apply() {
        MacroNode& root = library_.Root();
        const int groups = root.ChildCount();
        MacroNode* group = groups > 0 ? root.ChildAt(Pick(groups)) : nullptr;
        const int steps = group != nullptr ? group->ChildCount() : 0;
        MacroNode* step = steps > 0 ? group->ChildAt(Pick(steps)) : nullptr;
        switch (Pick(17)) {
            case 0:
            case 1:
                root.InsertChild(Position(groups), NewGroup());
                break;
            case 2:
                root.RemoveChild(Pick(groups + 1) - 1);
                break;
            case 3:
                root.MoveChild(Pick(groups + 1), Pick(groups + 2) - 1);
                break;
            case 4:
            case 5:
                if (group != nullptr) {
                    group->InsertChild(Position(steps), NewStep());
                }
                break;
            case 6:
                if (group != nullptr) {
                    group->RemoveChild(Pick(steps + 1) - 1);
                }
                break;
            case 7:
                if (group != nullptr) {
                    group->MoveChild(Pick(steps + 1), Pick(steps + 2) - 1);
                }
                break;
            case 8:
                if (step != nullptr) {
                    static constexpr const char* kKeys[] = {"code", "name", "state", "delay"};
                    step->SetAttribute(kKeys[Pick(4)], Text());
                }
                break;
            case 9:
                if (group != nullptr) {
                    group->SetAttribute("name", Text());
                }
                break;
            case 10:  // attributes the file does not hold
                (step != nullptr    ? *step
                 : group != nullptr ? *group
                                    : root)
                    .SetAttribute("extra", Text());
                break;
            case 11:
                if (step != nullptr && Pick(2) == 0) {
                    step->Clear();
                } else if (group != nullptr) {
                    Pick(2) == 0 ? group->Clear() : group->ClearChildren();
                }
                break;
            case 12:  // copies of groups that kept their text: as a group, as a step, into itself
                if (group != nullptr) {
                    const MacroNode copy(*group);
                    root.InsertChild(Position(groups), copy);
                    group = root.ChildAt(Pick(root.ChildCount()));
                    group->InsertChild(-1, Pick(2) == 0 ? copy : *group);
                }
                break;
            case 13:  // a step copied into another group
                if (step != nullptr) {
                    const MacroNode copy(*step);
                    root.ChildAt(Pick(groups))->InsertChild(-1, copy);
                }
                break;
            case 14:  // reading builds the steps of loaded groups
                for (int g = 0; g < groups; ++g) {
                    if (Pick(2) == 0) {
                        (void)root.ChildAt(g)->ChildCount();
                    }
                }
                break;
            case 15:
                if (Pick(2) == 0) {
                    ASSERT_TRUE(library_.Load(folder_.File("later.xml")));
                } else {
                    ASSERT_TRUE(library_.Save(path_));
                    ASSERT_TRUE(library_.Load(path_));
                }
                break;
            case 16:
                if (Pick(8) == 0) {
                    Pick(2) == 0 ? root.Clear() : root.ClearChildren();
                }
                break;
        }
    }

private:
    int Pick(int count) {
        return count <= 0 ? 0 : std::uniform_int_distribution<int>(0, count - 1)(random_);
    }
    // -1, a valid position or one past the end (which inserts nothing).
    int Position(int count) { return Pick(count + 2) - 1; }
    std::string Text() {
        static constexpr const char* kTexts[] = {"", "4", "A", "Group", "<&\"'>", "\xC3\xA9", "0"};
        return kTexts[Pick(7)];
    }
    MacroNode NewStep() {
        if (Pick(4) == 0) {  // attributes missing or out of order
            MacroNode step;
            step.SetAttribute("delay", Text());
            step.SetAttribute("code", Text());
            return step;
        }
        return MakeStepNode(Text(), Text(), Text(), Text());
    }
    MacroNode NewGroup() {
        MacroNode group = MakeGroupNode(Text());
        for (int s = Pick(5); s > 0; --s) {
            group.InsertChild(-1, NewStep());
        }
        return group;
    }

    std::mt19937 random_;
    const TempFolder& folder_;
    std::string path_;
    MacroLibrary library_;
};

class SavedPiecesTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(SavedPiecesTest, EverySaveEqualsTheWholeDocumentWrittenAtOnce) {
    TempFolder folder;
    RandomEdits edits(GetParam(), folder);
    MacroLibrary& library = edits.Library();
    for (int i = 0; i < 400; ++i) {
        edits.Apply();
        ASSERT_FALSE(HasFatalFailure());
        // The pieces first, so that a stale text cannot be refreshed by the whole pass.
        const std::string saved = library.SavedText();
        ASSERT_EQ(saved, library.WholeDocumentText()) << "after edit " << i;
        if (i % 50 == 0) {
            ASSERT_TRUE(library.SaveInBackground());
            ASSERT_TRUE(BackgroundSaver::Instance().Flush());
            ASSERT_EQ(ReadFile(library.Path()), saved) << "after edit " << i;
            ASSERT_TRUE(library.Save(folder.File("export.mcr")));
            ASSERT_EQ(ReadFile(folder.File("export.mcr")), saved) << "after edit " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, SavedPiecesTest, ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u));

// Keystrokes handed to the saver one after another without waiting: the saver's thread reads
// texts the window keeps and lets go of, and the file ends as the library.
TEST(SavedPiecesTest, KeystrokesSavedWithoutWaitingEndAsTheLibrary) {
    TempFolder folder;
    MacroLibrary library(folder.File("macro.xml"));
    for (int g = 0; g < 20; ++g) {
        MacroNode group = MakeGroupNode("Group " + std::to_string(g));
        group.InsertChild(-1, MakeStepNode("4", "A", "0", "1"));
        library.Root().InsertChild(-1, group);
    }
    for (int i = 0; i < 300; ++i) {
        MacroNode& group = *library.Root().ChildAt(i % 3);
        group.InsertChild(-1, MakeStepNode(std::to_string(i), "B", "1", "2"));
        if (i % 7 == 0) {
            library.Root().MoveChild(0, -1);
        }
        ASSERT_TRUE(library.SaveInBackground());
    }
    ASSERT_TRUE(BackgroundSaver::Instance().Flush());
    EXPECT_EQ(ReadFile(library.Path()), library.WholeDocumentText());
}

TEST(SavedPiecesTest, TheSaverWritesPiecesInOrderAndTheUnwrittenJoined) {
    TempFolder folder;
    const std::filesystem::path file = folder.Path() / "m.xml";
    const ContentPiece shared = std::make_shared<const std::string>("<b/>");
    BackgroundSaver saver;
    saver.Submit(file, FileContent{std::make_shared<const std::string>("<a>"), shared, shared,
                                   std::make_shared<const std::string>("</a>")});
    ASSERT_TRUE(saver.Flush());
    EXPECT_EQ(ReadFile(file), "<a><b/><b/></a>");

    saver.Hold(file, FileContent{shared, std::make_shared<const std::string>("!")});
    EXPECT_EQ(saver.Unwritten(file), "<b/>!");
}

}  // namespace
}  // namespace kb
