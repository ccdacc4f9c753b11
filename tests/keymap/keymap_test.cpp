#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/device_channel.h"
#include "device/device_gate.h"
#include "keymap/backup_restore.h"
#include "keymap/key_memory.h"
#include "keymap/keymap_file.h"
#include "protocol/keyboard_protocol.h"
#include "protocol/pacers.h"
#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "temp_folder.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kA = 0x04, kB = 0x05, kC = 0x06, kD = 0x07, kEsc = 0x29;
constexpr KeyboardIdentity kIdentity{0x258a, 0x0049, 1, 2};

using test::ReadFile;
using test::TempFolder;

class View : public KeyboardView {
public:
    void ClearKeyMarks() override {}
    void MarkKey(int) override {}
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    int profile = 0;
    std::vector<std::string> warnings;
};

KeyChoice MacroChoice(const std::string& name, int repeat) {
    KeyChoice choice;
    choice.kind = KeyKind::Macro;
    choice.name = name;
    choice.repeat = repeat;
    choice.steps = {{"4", "A", "0", "100"}, {"4", "A", "1", "20"}};
    return choice;
}

KeyChoice KeyTarget(std::uint8_t target) {
    KeyChoice choice;
    choice.kind = KeyKind::Key;
    choice.target = target;
    return choice;
}

KeyChoice Entry(KeyKind kind, const std::string& name, std::vector<std::int32_t> codes) {
    KeyChoice choice;
    choice.kind = kind;
    choice.name = name;
    choice.codes = std::move(codes);
    return choice;
}

// What the dialog hands over for a choice: a macro or chord record, or a single code.
AssignmentRecord RecordFor(std::uint8_t key, const KeyChoice& choice) {
    return RecordForChoice(choice, key);
}

// The protocol over the simulated keyboard, with a memory kept in a file.
class KeymapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(channel.OpenChannel(keyboard.VendorId(), keyboard.ProductId(),
                                      keyboard.InterfaceNumber(), keyboard.Collection()),
                  1);
        protocol.SetSlotTablesListener(&memory);
    }

    bool SelectProfile(int index) {
        view.profile = index;
        return protocol.ChangeProfile(index);
    }

    bool Assign(std::uint8_t key, const KeyChoice& choice) {
        const AssignmentRecord record = RecordFor(key, choice);
        if (!protocol.ApplyAssignment(record, {{key, KeyCodeName(key)}}, view.profile)) {
            return false;
        }
        memory.AssignmentApplied(protocol.CurrentProfileIndex(), key, choice, record,
                                 protocol.MacroSlots(), protocol.RemapSlots());
        return true;
    }

    // The kinds of a profile's remembered keys.
    std::map<std::uint8_t, KeyKind> Kinds(int profile) const {
        std::map<std::uint8_t, KeyKind> kinds;
        for (const auto& [code, key] :
             memory.Memory().profiles[static_cast<std::size_t>(profile)]) {
            kinds[code] = key.choice.kind;
        }
        return kinds;
    }

    TempFolder folder;
    SimulatedKeyboard keyboard{0x258a, 0x0049, 1, 2};
    SimulatedHidBackend backend{keyboard};
    OpenGate gate;
    DeviceChannel channel{backend, gate, nullptr, nullptr};
    RecordingPacer pacer{nullptr};
    View view;
    KeyboardProtocol protocol{channel, pacer, view};
    KeyMemory memory{folder.File("keymap.xml"), kIdentity};
};

TEST_F(KeymapTest, FollowsAssignClearProfileChangeReadBackAndFactoryRestore) {
    SelectProfile(0);
    ASSERT_TRUE(Assign(kA, MacroChoice("Hello", 3)));
    ASSERT_TRUE(Assign(kB, KeyTarget(kEsc)));
    const RememberedKey* a = memory.Find(0, kA);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->choice, MacroChoice("Hello", 3));
    EXPECT_EQ(a->slot, 1);
    EXPECT_EQ(std::vector<std::uint8_t>(a->sent.begin(), a->sent.begin() + 9),
              (std::vector<std::uint8_t>{1, 1, kA, 3, 0x04, 0x0A, 0x04, 0x82, 0}));
    EXPECT_EQ(a->sent.size(), 168u);
    EXPECT_EQ(memory.Find(0, kB)->sent,
              (std::vector<std::uint8_t>{0x07, 0xFA, 1, 1, kB, 1, kEsc, 1}));

    // Another profile has its own keys; the first keeps its own.
    SelectProfile(1);
    ASSERT_TRUE(Assign(kC, Entry(KeyKind::Media, "Mute", {226})));
    ASSERT_TRUE(Assign(kD, Entry(KeyKind::Function, "Copy", {224, 6})));
    EXPECT_EQ(memory.Find(1, kC)->sent,
              (std::vector<std::uint8_t>{0x07, 0xFA, 2, 1, kC, 1, 226, 1}));
    EXPECT_EQ(memory.Find(1, kD)->sent[0], 2);
    EXPECT_EQ(memory.Find(1, kD)->sent[3], 1);
    SelectProfile(0);
    EXPECT_EQ(Kinds(0),
              (std::map<std::uint8_t, KeyKind>{{kA, KeyKind::Macro}, {kB, KeyKind::Key}}));

    // A new choice for a key replaces the old; a macro repeated 0 times went out as a single
    // code to the key itself.
    ASSERT_TRUE(Assign(kB, Entry(KeyKind::Media, "Volume up", {233})));
    EXPECT_EQ(memory.Find(0, kB)->choice.name, "Volume up");
    SelectProfile(2);
    ASSERT_TRUE(Assign(kA, MacroChoice("Hello", 0)));
    EXPECT_EQ(memory.Find(2, kA)->choice, KeyTarget(kA));
    // 300 repeats go out as their low byte, 44, and are remembered as the keyboard got them.
    ASSERT_TRUE(Assign(kB, MacroChoice("Hello", 300)));
    EXPECT_EQ(memory.Find(2, kB)->sent[3], 44);
    EXPECT_EQ(memory.Find(2, kB)->choice, MacroChoice("Hello", 44));

    // Clearing frees the key and the read-back forgets it.
    SelectProfile(1);
    protocol.ClearAssignment({{kC, "C"}}, view.profile);
    EXPECT_EQ(Kinds(1), (std::map<std::uint8_t, KeyKind>{{kD, KeyKind::Function}}));

    // Someone else changed profile 1: A lost its macro but holds a remap, D is new, B is free.
    SimKeyboardState state = keyboard.State();
    state.profiles[0].macros[0] = SimMacroRecord{};
    state.profiles[0].remaps = {};
    state.profiles[0].remaps[0] = {kA, kEsc};
    state.profiles[0].remaps[3] = {kD, kEsc};
    keyboard.SetState(state);
    SelectProfile(0);
    EXPECT_EQ(Kinds(0), (std::map<std::uint8_t, KeyKind>{{kA, KeyKind::Elsewhere},
                                                         {kD, KeyKind::Elsewhere}}));
    EXPECT_EQ(memory.Find(0, kD)->slot, 4);
    EXPECT_EQ(DescribeKey(*memory.Find(0, kA)), "assigned elsewhere");

    // Everything was saved as it happened.
    EXPECT_TRUE(memory.Saved());
    EXPECT_EQ(LoadKeymap(folder.File("keymap.xml"), kIdentity), memory.Memory());

    memory.LightingSent(3, InitialLightingTable());
    protocol.RestoreFactorySettings([&] { memory.FactoryRestored(); });
    EXPECT_EQ(memory.Memory(), KeyboardMemory{});
    EXPECT_EQ(LoadKeymap(folder.File("keymap.xml"), kIdentity), KeyboardMemory{});
}

TEST_F(KeymapTest, RestoreMakesTheTablesOfABackupAgainOnAKeyboardInAnyState) {
    for (int profile = 0; profile < kProfileCount; ++profile) {
        SelectProfile(profile);
        ASSERT_TRUE(Assign(kA, MacroChoice("Hello", profile + 1)));
        ASSERT_TRUE(Assign(kB, KeyTarget(kEsc)));
        ASSERT_TRUE(Assign(kC, Entry(KeyKind::Function, "Copy", {224, 6})));
        ASSERT_TRUE(Assign(kD, Entry(KeyKind::Media, "Mute", {226})));
    }
    LightingTable lighting = InitialLightingTable();
    lighting[5] = {2, 1, 0, 1, 0};
    protocol.Lighting() = lighting;
    protocol.SendLighting(5);
    memory.LightingSent(5, lighting);
    const SimKeyboardState before = keyboard.State();
    const KeyboardMemory backup = memory.Memory();

    // Profile 1 gets an extra key, B moves to another kind; profile 2 loses C; 3 starts empty.
    SelectProfile(0);
    ASSERT_TRUE(Assign(0x09, KeyTarget(kEsc)));
    protocol.ClearAssignment({{kB, "B"}}, view.profile);
    ASSERT_TRUE(Assign(kB, MacroChoice("Other", 1)));
    SelectProfile(1);
    protocol.ClearAssignment({{kC, "C"}}, view.profile);
    SelectProfile(2);
    protocol.ClearAssignment({{kA, "A"}, {kB, "B"}, {kC, "C"}, {kD, "D"}}, view.profile);

    const RestoreResult result = RestoreBackup(
        protocol, backup, [this](int index) { return SelectProfile(index); }, &memory);
    ASSERT_TRUE(result.done) << result.error;
    EXPECT_EQ(result.keys, 12);
    SimKeyboardState after = keyboard.State();
    after.activeProfile = before.activeProfile;
    EXPECT_EQ(after, before);
    EXPECT_EQ(memory.Memory(), backup);
    EXPECT_TRUE(view.warnings.empty());
}

TEST(KeyMemoryTest, DescribesEveryKind) {
    const std::vector<std::pair<KeyChoice, std::string>> cases{
        {MacroChoice("Hello", 3), "Macro \"Hello\" \u00d73"},
        {MacroChoice("Once", 1), "Macro \"Once\""},
        // What the keyboard keeps: the repeat count's low byte; 0 made it a single code for
        // the key itself.
        {MacroChoice("Many", 300), "Macro \"Many\" \u00d744"},
        {MacroChoice("None", 256), "\u2192 A"},
        {KeyTarget(kEsc), "\u2192 Esc"},
        {KeyTarget(0xE0), "\u2192 Left Ctrl"},
        {KeyTarget(0x39), "\u2192 Caps Lock"},
        {Entry(KeyKind::Media, "Mute", {226}), "Mute"},
        {Entry(KeyKind::Function, "Copy", {224, 6}), "Copy (Ctrl+C)"},
        {Entry(KeyKind::Function, "Task manager", {224, 225, 41}), "Task manager (Ctrl+Shift+Esc)"},
        {Entry(KeyKind::Function, "Next tab", {224, 0x4E}), "Next tab (Ctrl+Page Down)"},
        {KeyChoice{}, "assigned elsewhere"},
    };
    for (const auto& [choice, text] : cases) {
        EXPECT_EQ(DescribeKey(RememberedKey{kA, choice, {}, 1}), text);
    }
}

TEST(KeymapFileTest, MissingOrUnreadableFilesGiveAnEmptyMemoryAndAreKeptAside) {
    TempFolder folder;
    const std::string path = folder.File("keymap.xml");
    EXPECT_EQ(LoadKeymap(path, kIdentity), KeyboardMemory{});

    const std::string broken = "<keymap><keyboard vid=";
    folder.Write("keymap.xml", broken);
    KeyMemory memory(path, kIdentity);
    EXPECT_EQ(memory.Memory(), KeyboardMemory{});
    memory.LightingSent(2, InitialLightingTable());
    EXPECT_TRUE(memory.Saved());
    EXPECT_EQ(ReadFile(path + ".unreadable"), broken);
    EXPECT_EQ(LoadKeymap(path, kIdentity).lighting->effect, 2);

    // A folder in the file's place cannot be read or replaced: nothing crashes.
    fs::remove(path);
    fs::create_directory(path);
    KeyMemory blocked(path, kIdentity);
    blocked.LightingSent(1, InitialLightingTable());
    EXPECT_FALSE(blocked.Saved());
}

TEST(KeymapFileTest, WhatIsReadIsWhatASaveWritesBack) {
    // A stray name on a key remapped to another key was read but never written: the memory
    // changed by a save and a reload (found by fuzzing the round trip).
    TempFolder folder;
    const std::string path = folder.File("keymap.xml");
    folder.Write("keymap.xml",
                 R"(<keymap><keyboard vid="258a" pid="0049" interface="1" subdevice="2">
<profile number="1"><key code="5" kind="key" name="stray" slot="1" target="41" sent="07 fa 01 01 05 01 29 01"/></profile>
</keyboard></keymap>)");
    const KeyboardMemory loaded = LoadKeymap(path, kIdentity);
    ASSERT_EQ(loaded.profiles[0].size(), 1u);
    ASSERT_TRUE(SaveKeymap(folder.File("again.xml"), kIdentity, loaded));
    EXPECT_EQ(LoadKeymap(folder.File("again.xml"), kIdentity), loaded);
}

TEST(KeymapFileTest, DeepNestingIsUnreadableAndIsNeitherWalkedNorWrittenBack) {
    TempFolder folder;
    const std::string path = folder.File("keymap.xml");
    // Deep enough to overflow the stack of a recursive walk or removal.
    std::string deep = R"(<keymap><keyboard vid="258a" pid="0049" interface="1" subdevice="2">)";
    deep.reserve(deep.size() + 200000 * 7);
    for (int i = 0; i < 200000; ++i) {
        deep += "<a>";
    }
    folder.Write("keymap.xml", deep);
    KeyMemory memory(path, kIdentity);
    EXPECT_EQ(memory.Memory(), KeyboardMemory{});
    memory.LightingSent(3, InitialLightingTable());
    EXPECT_TRUE(memory.Saved());
    EXPECT_EQ(ReadFile(path + ".unreadable"), deep);
    EXPECT_LT(fs::file_size(path), 4096u);
    EXPECT_EQ(LoadKeymap(path, kIdentity).lighting->effect, 3);
}

TEST(KeymapFileTest, KeepsOtherKeyboardsAndSkipsEntriesThatMakeNoSense) {
    TempFolder folder;
    const std::string path = folder.File("keymap.xml");
    folder.Write("keymap.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<keymap>
	<keyboard vid="1234" pid="0001" interface="0" subdevice="-1">
		<profile number="1"><key code="4" kind="elsewhere" slot="2"/></profile>
	</keyboard>
	<keyboard vid="258a" pid="0049" interface="1" subdevice="2">
		<lighting effect="12"/>
		<profile number="1">
			<key code="4" kind="key" slot="1" target="41" sent="07 fa 01 01 04 01 29 01"/>
			<key code="5" kind="key" slot="2" target="41" sent="07 fa"/>
			<key code="0" kind="key" slot="3" target="41" sent="07 fa 01 03 00 01 29 01"/>
			<key code="6" kind="laser" slot="4"/>
		</profile>
		<profile number="7"><key code="7" kind="elsewhere" slot="1"/></profile>
	</keyboard>
</keymap>
)");
    KeyboardMemory memory = LoadKeymap(path, kIdentity);
    EXPECT_FALSE(memory.lighting);
    ASSERT_EQ(memory.profiles[0].size(), 1u);
    EXPECT_EQ(memory.profiles[0].at(kA).choice, KeyTarget(kEsc));

    // The file as it was is kept before the memory's first save drops the damaged entries.
    const std::string original = ReadFile(path);
    {
        KeyMemory kept(path, kIdentity);
        kept.LightingSent(1, InitialLightingTable());
        EXPECT_TRUE(kept.Saved());
        EXPECT_EQ(ReadFile(path + ".unreadable"), original);
        kept.LightingSent(2, InitialLightingTable());
        EXPECT_FALSE(fs::exists(path + ".unreadable.1"));
    }

    memory.profiles[2][kB] = RememberedKey{kB, {}, {}, 5};
    ASSERT_TRUE(SaveKeymap(path, kIdentity, memory));
    EXPECT_EQ(LoadKeymap(path, kIdentity), memory);
    const KeyboardIdentity other{0x1234, 0x0001, 0, -1};
    EXPECT_EQ(LoadKeymap(path, other).profiles[0].at(kA).slot, 2);
}

TEST(KeymapFileTest, BackupsHoldKnownKeysOnlyAndComeBackForTheSameKeyboard) {
    TempFolder folder;
    KeyboardMemory memory;
    const AssignmentRecord hello = RecordFor(kA, MacroChoice("Hello", 2));
    RememberAssignment(memory.profiles[1], 1, kA, MacroChoice("Hello", 2), hello, SlotTable{kA},
                       SlotTable{});
    memory.profiles[1][kB] = RememberedKey{kB, {}, {}, 1};  // assigned elsewhere
    memory.lighting = RememberedLighting{8, InitialLightingTable()};
    const std::string path = folder.File("b.kbbackup");
    ASSERT_TRUE(WriteBackup(path, kIdentity, memory));
    EXPECT_NE(ReadFile(path).find("<items name=\"Hello\">"), std::string::npos);

    const BackupReadResult read = ReadBackup(path, kIdentity);
    ASSERT_TRUE(read.memory) << read.error;
    memory.profiles[1].erase(kB);
    EXPECT_EQ(*read.memory, memory);

    const BackupReadResult refused = ReadBackup(path, KeyboardIdentity{0x258a, 0x0049, 0, 2});
    EXPECT_FALSE(refused.memory);
    EXPECT_EQ(refused.error, path + " is a backup of another keyboard (vid 258a, pid 0049)");
}

}  // namespace
}  // namespace kb
