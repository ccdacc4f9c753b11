#include <cstdio>
#include <random>
#include <string>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "macro/xml_file.h"
#include "macro/macro_library.h"
#include "temp_folder.h"

namespace kb {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

constexpr const char* kExample =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<group>\n"
    "\t<items name=\"Group 0\">\n"
    "\t\t<item code=\"4\" name=\"A\" state=\"0\" delay=\"120\" />\n"
    "\t\t<item code=\"4\" name=\"A\" state=\"1\" delay=\"0\" />\n"
    "\t</items>\n"
    "</group>\n";

constexpr const char* kEmptyLibrary = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<group />\n";

MacroNode ExampleGroup() {
    MacroNode group = MakeGroupNode("Group 0");
    group.InsertChild(-1, MakeStepNode("4", "A", "0", "120"));
    group.InsertChild(-1, MakeStepNode("4", "A", "1", "0"));
    return group;
}

// One line per node: the group's name, then each step as code/name/state/delay.
std::string Dump(const MacroLibrary& library) {
    std::string out;
    for (int g = 0; g < library.Root().ChildCount(); ++g) {
        const MacroNode& group = *library.Root().ChildAt(g);
        out += "[" + std::string(group.GetAttribute("name")) + "]";
        for (int s = 0; s < group.ChildCount(); ++s) {
            const MacroNode& step = *group.ChildAt(s);
            for (const char* key : {"code", "name", "state", "delay"}) {
                out += (key[0] == 'c' ? " " : "/") + std::string(step.GetAttribute(key));
            }
        }
        out += "\n";
    }
    return out;
}

TEST(MacroFileTest, SavesTheExactBytes) {
    TempFolder folder;
    MacroLibrary library;
    EXPECT_TRUE(library.Save(folder.File("empty.xml")));
    EXPECT_EQ(ReadFile(folder.File("empty.xml")), kEmptyLibrary);

    library.Root().InsertChild(-1, ExampleGroup());
    EXPECT_TRUE(library.Save(folder.File("example.xml")));
    EXPECT_EQ(ReadFile(folder.File("example.xml")), kExample);
}

TEST(MacroFileTest, EmptyNameAndEmptyValuesAreWrittenAsTheyAre) {
    TempFolder folder;
    MacroLibrary library;
    MacroNode group = MakeGroupNode("");
    group.InsertChild(-1, MakeStepNode("", "", "1", "abc"));
    library.Root().InsertChild(-1, group);
    ASSERT_TRUE(library.Save(folder.File("m.xml")));
    EXPECT_EQ(ReadFile(folder.File("m.xml")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<group>\n\t<items>\n"
              "\t\t<item code=\"\" name=\"\" state=\"1\" delay=\"abc\" />\n\t</items>\n"
              "</group>\n");
    // A group without a name is dropped by the next load.
    MacroLibrary reloaded(folder.File("m.xml"));
    EXPECT_EQ(reloaded.Root().ChildCount(), 0);
}

TEST(MacroFileTest, OnlyTheWrittenAttributesReachTheFile) {
    TempFolder folder;
    MacroLibrary library;
    library.Root().SetAttribute("version", "2");
    MacroNode step;  // attributes set out of order, one missing, one the file does not hold
    step.SetAttribute("delay", "0");
    step.SetAttribute("extra", "x");
    step.SetAttribute("code", "4");
    step.SetAttribute("state", "1");
    MacroNode group = MakeGroupNode("Group 0");
    group.SetAttribute("colour", "red");
    group.InsertChild(-1, MakeStepNode("4", "A", "0", "120"));
    group.InsertChild(-1, step);
    library.Root().InsertChild(-1, group);
    MacroNode* saved = library.Root().ChildAt(0)->ChildAt(1);
    saved->SetAttribute("name", "A");
    saved->SetAttribute("delay", "0");

    ASSERT_TRUE(library.Save(folder.File("m.xml")));
    EXPECT_EQ(ReadFile(folder.File("m.xml")), kExample);
    EXPECT_EQ(library.Root().GetAttribute("version"), "2");
    EXPECT_EQ(library.Root().ChildAt(0)->GetAttribute("colour"), "red");
    EXPECT_EQ(saved->GetAttribute("extra"), "x");

    // Renaming a group to nothing keeps it in memory, writes no name, and saves the same twice.
    library.Root().ChildAt(0)->SetAttribute("name", "");
    ASSERT_TRUE(library.Save(folder.File("m.xml")));
    const std::string unnamed = ReadFile(folder.File("m.xml"));
    EXPECT_NE(unnamed.find("\t<items>\n"), std::string::npos) << unnamed;
    EXPECT_TRUE(library.Root().ChildAt(0)->HasAttribute("name"));
    ASSERT_TRUE(library.Save(folder.File("m.xml")));
    EXPECT_EQ(ReadFile(folder.File("m.xml")), unnamed);
}

TEST(MacroFileTest, LoadTakesEveryNodeBelowGroupWhateverItsTagOrKind) {
    TempFolder folder;
    // Declared Latin-1 but read as UTF-8: "\xC3\xA9" stays one character.
    WriteFile(folder.File("m.xml"),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
              "<group>\n"
              "  <foo name=\"x\"><bar code=\"4\"/>some text<item code=\"5\" name=\"B\" "
              "state=\"1\" delay=\"abc\" extra=\"lost\"/><![CDATA[raw]]></foo>\n"
              "  <items>no name, skipped</items>\n"
              "  loose text\n"
              "  <items name=\"\"/>\n"
              "  <items name=\"caf\xC3\xA9\" other=\"1\"><item code=\"4\"/></items>\n"
              "</group>\n"
              "<group><items name=\"second group element\"/></group>\n");
    MacroLibrary library(folder.File("m.xml"));
    EXPECT_EQ(Dump(library),
              "[x] 4//0/0 0//0/0 5/B/1/abc 0//0/0\n"
              "[]\n"
              "[caf\xC3\xA9] 4//0/0\n");
    for (int g = 0; g < library.Root().ChildCount(); ++g) {
        const MacroNode* group = library.Root().ChildAt(g);
        EXPECT_EQ(group->Parent(), &library.Root());
        EXPECT_EQ(group->Library(), &library);
        for (int s = 0; s < group->ChildCount(); ++s) {
            EXPECT_EQ(group->ChildAt(s)->Parent(), group);
            EXPECT_EQ(group->ChildAt(s)->Library(), &library);
        }
    }
}

TEST(MacroFileTest, LoadResultsAndWhatTheLibraryKeeps) {
    TempFolder folder;
    WriteFile(folder.File("good.xml"), kExample);
    WriteFile(folder.File("other-root.xml"), "<macros><items name=\"a\"/></macros>");
    WriteFile(folder.File("malformed.xml"), "<group><items name=\"a\"></group>");

    MacroLibrary library(folder.File("good.xml"));
    const std::string example = Dump(library);
    ASSERT_EQ(example, "[Group 0] 4/A/0/120 4/A/1/0\n");

    EXPECT_FALSE(library.Load(folder.File("malformed.xml")));
    EXPECT_EQ(Dump(library), example);
    EXPECT_FALSE(library.Load(folder.File("missing.xml")));
    EXPECT_EQ(Dump(library), example);
    EXPECT_FALSE(library.Load(folder.Path().string()));  // a folder
    EXPECT_EQ(Dump(library), example);

    EXPECT_TRUE(library.Load(folder.File("other-root.xml")));
    EXPECT_EQ(Dump(library), "");
    EXPECT_EQ(library.Path(), folder.File("good.xml"));
}

// A NUL byte is not XML: the file is malformed wherever the byte sits, also where the parser would
// otherwise stop early or take it for the end of the text.
TEST(MacroFileTest, FilesWithANulByteAreMalformed) {
    using namespace std::string_literals;
    const std::string cases[] = {
        "<group><items name=\"x\"/></group\0>"s,      "<group><items name=\"x\"/></group>\0"s,
        "<group><items name=\"x\"/></group>\0<junk"s, "<group><items name=\"x\"/>\0</group>"s,
        "<group><items name=\"x\0\"/></group>"s,
    };
    TempFolder folder;
    WriteFile(folder.File("good.xml"), kExample);
    MacroLibrary library(folder.File("good.xml"));
    const std::string example = Dump(library);
    for (const std::string& bytes : cases) {
        WriteFile(folder.File("nul.mcr"), bytes);
        EXPECT_FALSE(library.Load(folder.File("nul.mcr"))) << testing::PrintToString(bytes);
        EXPECT_EQ(Dump(library), example);
    }
    // The library's own file: rejected, so kept aside before the first save.
    WriteFile(folder.File("macro.xml"), cases[0]);
    MacroLibrary own(folder.File("macro.xml"));
    EXPECT_EQ(own.Root().ChildCount(), 0);
    ASSERT_TRUE(own.Save());
    EXPECT_EQ(ReadFile(folder.File("macro.xml.unreadable")), cases[0]);
}

TEST(MacroFileTest, RoundTripKeepsEveryValueAndEveryByte) {
    TempFolder folder;
    MacroLibrary library;
    MacroNode group = MakeGroupNode("<&\"'> \xE2\x80\x98 tab\there");
    group.InsertChild(-1, MakeStepNode("52", "\xE2\x80\x98", "0", "-7"));
    group.InsertChild(-1, MakeStepNode("49", "\\", "2", " 12x"));
    library.Root().InsertChild(-1, group);
    library.Root().InsertChild(-1, ExampleGroup());
    ASSERT_TRUE(library.Save(folder.File("a.mcr")));

    MacroLibrary reloaded(folder.File("a.mcr"));
    EXPECT_EQ(Dump(reloaded), Dump(library));
    ASSERT_TRUE(reloaded.Save(folder.File("b.mcr")));
    EXPECT_EQ(ReadFile(folder.File("b.mcr")), ReadFile(folder.File("a.mcr")));
}

TEST(MacroFileTest, HostileFilesNeverCrash) {
    TempFolder folder;
    std::mt19937 random(7);
    std::string garbage(4 << 20, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random() & 0xFF);
    }
    WriteFile(folder.File("garbage.xml"), garbage);

    std::string deep = "<group><items name=\"deep\">";
    for (int i = 0; i < 200000; ++i) {
        deep += "<a>";
    }
    for (int i = 0; i < 200000; ++i) {
        deep += "</a>";
    }
    deep += "</items></group>";
    WriteFile(folder.File("deep.xml"), deep);

    const std::string invalidUtf8 = "\xFF\xFE\xC3(\xED\xA0\x80\x80";
    WriteFile(folder.File("invalid.xml"), "<group><items name=\"" + invalidUtf8 +
                                              "\"><item name=\"" + invalidUtf8 +
                                              "\"/></items></group>");

    MacroLibrary library;
    EXPECT_FALSE(library.Load(folder.File("garbage.xml")));
    ASSERT_TRUE(library.Load(folder.File("deep.xml")));
    EXPECT_EQ(Dump(library), "[deep] 0//0/0\n");
    EXPECT_TRUE(library.Save(folder.File("deep-out.xml")));

    ASSERT_TRUE(library.Load(folder.File("invalid.xml")));
    EXPECT_EQ(Dump(library), "[" + invalidUtf8 + "] 0/" + invalidUtf8 + "/0/0\n");
    ASSERT_TRUE(library.Save(folder.File("invalid-out.xml")));
    MacroLibrary reloaded(folder.File("invalid-out.xml"));
    EXPECT_EQ(Dump(reloaded), Dump(library));
}

TEST(MacroFileTest, UnreadableOwnFileIsKeptAsideBeforeTheFirstSave) {
    TempFolder folder;
    const std::string path = folder.File("macro.xml");
    WriteFile(path, "not xml <<<");
    {
        MacroLibrary library(path);
        EXPECT_EQ(library.Root().ChildCount(), 0);
        // An export and a failed import leave the user's file alone.
        EXPECT_TRUE(library.Save(folder.File("export.mcr")));
        EXPECT_FALSE(library.Load(folder.File("missing.mcr")));
        EXPECT_EQ(folder.Listing(), "export.mcr macro.xml");

        library.Root().InsertChild(-1, ExampleGroup());
        ASSERT_TRUE(library.Save());
        EXPECT_EQ(ReadFile(path), kExample);
        EXPECT_EQ(ReadFile(path + ".unreadable"), "not xml <<<");
        ASSERT_TRUE(library.Save());  // only once
    }
    EXPECT_EQ(folder.Listing(), "export.mcr macro.xml macro.xml.unreadable");

    // A later unreadable file does not replace the earlier copy.
    WriteFile(path, "second <<<");
    MacroLibrary library(path);
    ASSERT_TRUE(library.Save());
    EXPECT_EQ(ReadFile(path + ".unreadable"), "not xml <<<");
    EXPECT_EQ(ReadFile(path + ".unreadable.1"), "second <<<");
    EXPECT_EQ(ReadFile(path), kEmptyLibrary);

    // A readable or missing file is simply replaced.
    MacroLibrary fresh(folder.File("new.xml"));
    ASSERT_TRUE(fresh.Save());
    EXPECT_EQ(folder.Listing(),
              "export.mcr macro.xml macro.xml.unreadable macro.xml.unreadable.1 new.xml");
}

TEST(MacroFileTest, WritesReplaceTheTargetOnlyWhenComplete) {
    TempFolder folder;
    const std::string path = folder.File("macro.xml");
    WriteFile(path, kExample);

    // A writer that fails halfway leaves the old file and no temporary file behind.
    EXPECT_FALSE(WriteFileAtomically(PathFromUtf8(path), [](std::FILE* file) {
        std::fputs("<group", file);
        return false;
    }));
    EXPECT_EQ(ReadFile(path), kExample);
    EXPECT_EQ(folder.Listing(), "macro.xml");

    // A folder that does not exist, or a target that is a folder: false, nothing left over.
    MacroLibrary library;
    EXPECT_FALSE(library.Save(folder.File("missing/macro.xml")));
    std::filesystem::create_directory(folder.File("dir"));
    EXPECT_FALSE(library.Save(folder.File("dir")));
    EXPECT_EQ(folder.Listing(), "dir macro.xml");

    EXPECT_TRUE(library.Save(path));
    EXPECT_EQ(ReadFile(path), kEmptyLibrary);
    EXPECT_EQ(folder.Listing(), "dir macro.xml");
}

#ifndef _WIN32
TEST(MacroFileTest, SpecialFilesAreRefusedWithoutBlocking) {
    TempFolder folder;
    const std::string fifo = folder.File("fifo.xml");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WriteFile(folder.File("empty.xml"), "");
    MacroLibrary library;
    EXPECT_FALSE(library.Load(fifo));  // no writer: opening it must not wait for one
    EXPECT_FALSE(library.Load(folder.File("empty.xml")));
    EXPECT_FALSE(library.Load("/dev/null"));
}
#endif

TEST(MacroFileTest, ExtensionTest) {
    struct Case {
        const char* path;
        bool accepted;
    };
    const Case cases[] = {
        {"backup.mcr", true},      {"C:\\my.macros\\backup.mcr", true},
        {"/home/u/.mcr", true},    {"backup.MCR", false},
        {"backup.mcr.txt", false}, {"C:\\my.macros\\backup", false},
        {"backup", false},         {"backup.", false},
        {"backup.mcrx", false},    {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HasMcrExtension(c.path), c.accepted) << c.path;
    }
}

}  // namespace
}  // namespace kb
