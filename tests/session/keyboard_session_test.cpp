#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/device_gate.h"
#include "keymap/backup_restore.h"
#include "keymap/keymap_file.h"
#include "protocol/pacers.h"
#include "session/keyboard_session.h"
#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "temp_folder.h"

namespace kb {
namespace {

constexpr KeyboardIdentity kIdentity{0x258a, 0x0049, 1, 2};
constexpr std::uint8_t kA = 0x04, kEsc = 0x29, kM = 0x10, kN = 0x11, kZ = 0x1d;

class View : public KeyboardView {
public:
    void ClearKeyMarks() override {}
    void MarkKey(int) override {}
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    std::vector<std::string> warnings;
};

KeyChoice MacroChoice(const std::string& name) {
    KeyChoice choice;
    choice.kind = KeyKind::Macro;
    choice.name = name;
    choice.repeat = 2;
    choice.steps = {{"4", "A", "0", "100"}, {"4", "A", "1", "20"}};
    return choice;
}

KeyChoice KeyTarget(std::uint8_t target) {
    KeyChoice choice;
    choice.kind = KeyKind::Key;
    choice.target = target;
    return choice;
}

KeyChoice Function() {
    KeyChoice choice;
    choice.kind = KeyKind::Function;
    choice.name = "Copy";
    choice.codes = {0xE0, 0x06};
    return choice;
}

// The slot tables as the keyboard holds them.
void TablesOf(const SimKeyboardState& state, int profile, SlotTable& macro, SlotTable& remap) {
    const SimProfileState& held = state.profiles[static_cast<std::size_t>(profile)];
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        macro[slot] = held.macros[slot][2];
        remap[slot] = held.remaps[slot].key;
    }
}

// The memory says what the keyboard holds: following the keyboard's tables changes nothing.
bool FollowsKeyboard(const KeyboardMemory& memory, const SimKeyboardState& state) {
    for (int p = 0; p < kProfileCount; ++p) {
        SlotTable macro{}, remap{};
        TablesOf(state, p, macro, remap);
        ProfileMemory copy = memory.profiles[static_cast<std::size_t>(p)];
        if (Reconcile(copy, macro, remap)) {
            return false;
        }
    }
    return true;
}

// A session over the simulated keyboard; a fresh one per run, since an unplugged keyboard
// fails every handle opened before.
struct Rig {
    explicit Rig(SimulatedKeyboard& keyboard, const std::string& keymapPath)
        : backend(keyboard), session(backend, gate, pacer, view, keymapPath, kIdentity) {}
    SimulatedHidBackend backend;
    OpenGate gate;
    RecordingPacer pacer;
    View view;
    KeyboardSession session;
};

class KeyboardSessionTest : public ::testing::Test {
protected:
    // Profile 1 holds a macro in every macro slot (A to L) and two remapped keys (M, N);
    // profile 2 a function key on Z; the lighting is effect 3.
    void SetUp() override {
        Rig rig(keyboard, folder.File("keymap.xml"));
        ASSERT_TRUE(rig.session.Connect());
        ASSERT_TRUE(rig.session.SelectProfile(0).done);
        for (std::uint8_t key = kA; key < kA + kSlotCount; ++key) {
            Assign(rig, key, MacroChoice("Hello"));
        }
        // Remaps need a macro slot to choose from: give them theirs before the last macro.
        ASSERT_TRUE(rig.session.Clear({{kA + kSlotCount - 1, "L"}}).done);
        Assign(rig, kM, KeyTarget(kEsc));
        Assign(rig, kN, KeyTarget(kA));
        Assign(rig, kA + kSlotCount - 1, MacroChoice("Hello"));
        ASSERT_TRUE(rig.session.SelectProfile(1).done);
        Assign(rig, kZ, Function());
        LightingTable table = InitialLightingTable();
        table[3][3] = 1;
        ASSERT_TRUE(rig.session.SendLighting(3, table).done);
        ASSERT_TRUE(rig.session.ReadAllProfiles().done);
        held = keyboard.State();
        remembered = rig.session.Memory().Memory();
        ASSERT_EQ(CountKnownKeys(remembered), 15);
        ASSERT_TRUE(FollowsKeyboard(remembered, held));
    }

    void Assign(Rig& rig, std::uint8_t key, const KeyChoice& choice) {
        const SessionResult result = rig.session.Assign(choice, {{key, KeyCodeName(key)}});
        ASSERT_TRUE(result.done) << result.failure;
    }

    test::TempFolder folder;
    SimulatedKeyboard keyboard{kIdentity.vid, kIdentity.pid, kIdentity.interfaceNumber,
                               kIdentity.subdevice};
    SimKeyboardState held;
    KeyboardMemory remembered;
};

struct Request {
    const char* name;
    SimKeyboardState start;  // what the keyboard holds before
    KeyboardMemory memory;   // what the program remembers before
    std::function<SessionResult(KeyboardSession&)> run;
};

// Every request, with the keyboard unplugged after each of its exchanges: it is done exactly
// when every exchange went through, and the memory is either as it was or says what the
// keyboard holds.
TEST_F(KeyboardSessionTest, AKeyboardUnpluggedAfterAnyExchangeNeverReachesTheMemory) {
    KeyboardMemory empty;
    LightingTable table = InitialLightingTable();
    table[5][4] = 2;
    const std::string backupPath = folder.File("out.kbbackup");
    const std::vector<Request> requests{
        {"select profile 2", held, remembered,
         [](KeyboardSession& s) { return s.SelectProfile(1); }},
        {"read every profile", held, remembered,
         [](KeyboardSession& s) { return s.ReadAllProfiles(); }},
        {"assign over a macro", held, remembered,
         [](KeyboardSession& s) {
             if (SessionResult r = s.SelectProfile(0); !r.done) {
                 return r;
             }
             const KeyChoice choice = KeyTarget(kEsc);
             return s.Assign(choice, {{kA + 1, "B"}});
         }},
        {"assign a macro in profile 2", held, remembered,
         [](KeyboardSession& s) {
             if (SessionResult r = s.SelectProfile(1); !r.done) {
                 return r;
             }
             const KeyChoice choice = MacroChoice("Hello");
             return s.Assign(choice, {{kA, "A"}});
         }},
        {"clear", held, remembered,
         [](KeyboardSession& s) {
             if (SessionResult r = s.SelectProfile(0); !r.done) {
                 return r;
             }
             return s.Clear({{kM, "M"}, {kA, "A"}});
         }},
        {"lighting", held, remembered,
         [&table](KeyboardSession& s) { return s.SendLighting(5, table); }},
        {"factory reset", held, remembered,
         [](KeyboardSession& s) { return s.RestoreFactorySettings(); }},
        {"backup", held, remembered,
         [&backupPath](KeyboardSession& s) { return s.Backup(backupPath); }},
        {"restore onto an empty keyboard", SimKeyboardState{}, empty,
         [this](KeyboardSession& s) { return s.Restore(remembered); }},
        {"restore onto a keyboard that holds it", held, remembered,
         [this](KeyboardSession& s) { return s.Restore(remembered); }},
    };
    for (const Request& request : requests) {
        SCOPED_TRACE(request.name);
        const auto start = [&](Rig& rig) {
            keyboard.ClearFaults();
            keyboard.Plug();
            ASSERT_TRUE(keyboard.SetState(request.start));
            ASSERT_TRUE(rig.session.Connect());
            keyboard.ClearExchanges();
        };
        // Without a fault: the exchanges it takes and what the keyboard then holds.
        std::size_t exchanges = 0;
        SimKeyboardState finished;
        {
            // The memory starts where the request expects it.
            SaveKeymap(folder.File("run.xml"), kIdentity, request.memory);
            Rig rig(keyboard, folder.File("run.xml"));
            start(rig);
            const SessionResult result = request.run(rig.session);
            ASSERT_TRUE(result.done) << result.failure;
            exchanges = keyboard.Exchanges().size();
            finished = keyboard.State();
            EXPECT_TRUE(FollowsKeyboard(rig.session.Memory().Memory(), finished));
        }
        ASSERT_GT(exchanges, 0u);
        for (std::size_t n = 0; n < exchanges; ++n) {
            SCOPED_TRACE("unplugged after " + std::to_string(n) + " exchanges");
            std::filesystem::remove(backupPath);
            SaveKeymap(folder.File("run.xml"), kIdentity, request.memory);
            Rig rig(keyboard, folder.File("run.xml"));
            start(rig);
            keyboard.UnplugAfterExchanges(static_cast<int>(n));
            const SessionResult result = request.run(rig.session);
            EXPECT_FALSE(result.done);
            EXPECT_FALSE(result.failure.empty());
            const KeyboardMemory& after = rig.session.Memory().Memory();
            const SimKeyboardState now = keyboard.State();
            EXPECT_TRUE(after == request.memory || FollowsKeyboard(after, now)) << keyboard.Dump();
            // What was saved is what is remembered.
            EXPECT_EQ(LoadKeymap(folder.File("run.xml"), kIdentity), after);
            EXPECT_FALSE(std::filesystem::exists(backupPath));
        }
        // An interrupted restore, run again, finishes.
        if (std::string(request.name).starts_with("restore")) {
            Rig rig(keyboard, folder.File("run.xml"));
            keyboard.ClearFaults();
            keyboard.Plug();
            ASSERT_TRUE(rig.session.Connect());
            const SessionResult again = request.run(rig.session);
            ASSERT_TRUE(again.done) << again.failure;
            SimKeyboardState now = keyboard.State();
            now.activeProfile = finished.activeProfile;
            EXPECT_EQ(now, finished);
        }
    }
}

// A restore that stops names the profile and key it stopped at.
TEST_F(KeyboardSessionTest, AStoppedRestoreNamesTheProfileAndKey) {
    keyboard.SetState(SimKeyboardState{});
    Rig rig(keyboard, {});
    ASSERT_TRUE(rig.session.Connect());
    // Profile 1's select and read-back (6), then M's remap report finds the keyboard gone.
    keyboard.UnplugAfterExchanges(6);
    const SessionResult result = rig.session.Restore(remembered);
    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.failedProfile, 0);
    EXPECT_EQ(result.failedKey, kM);
    EXPECT_EQ(result.failure, "profile 1: " + KeyCodeName(kM) + " could not be assigned");
}

}  // namespace
}  // namespace kb
