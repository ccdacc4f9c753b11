#pragma once

#include <optional>
#include <string>
#include <vector>

#include "keymap/key_memory.h"

namespace kb {

inline constexpr const char* kKeymapFileName = "keymap.xml";

// keymap.xml holds one <keyboard> element per keyboard identity:
//   <keymap>
//     <keyboard vid="258a" pid="0049" interface="1" subdevice="2">
//       <lighting effect="3"><record effect="0" bytes="01 01 02 03 00"/>...</lighting>
//       <profile number="1">
//         <key code="4" kind="macro" slot="1" name="Hello" repeat="3" sent="01 01 04 03 ...">
//           <step code="4" name="A" state="0" delay="100"/>...
//         </key>
//         <key code="5" kind="key" slot="1" target="41" sent="07 fa 01 01 05 01 29 01"/>
//         <key code="6" kind="media" slot="2" name="Mute" codes="226" sent="..."/>
//         <key code="7" kind="function" slot="2" name="Copy" codes="224,6" sent="..."/>
//         <key code="8" kind="elsewhere" slot="3"/>
// A backup file has the root <kbbackup format="1">, the same <keyboard> element (known keys
// only) and the macro groups those keys use under <macros>, in the macro file's form.

// The memory of identity in a keymap file. A missing file, one that cannot be read, or one
// without that keyboard gives an empty memory; entries that make no sense are skipped.
// `damaged` (when given) is set for a file that is there but cannot be read, and for skipped
// entries: saving over it would lose something.
KeyboardMemory LoadKeymap(const std::string& path, const KeyboardIdentity& identity,
                          bool* damaged = nullptr);

// Replaces identity's memory in the keymap file, keeping every other keyboard's. A file that
// exists but cannot be read is copied aside first ("keymap.xml.unreadable"); when that copy
// cannot be made, nothing is written. Written atomically.
bool SaveKeymap(const std::string& path, const KeyboardIdentity& identity,
                const KeyboardMemory& memory);

// Writes a backup of the keys whose assignment is known, the lighting and the macro groups.
bool WriteBackup(const std::string& path, const KeyboardIdentity& identity,
                 const KeyboardMemory& memory);
// The same backup as text, for writing elsewhere (standard output).
std::string BackupText(const KeyboardIdentity& identity, const KeyboardMemory& memory);

enum class BackupProblem { None, Unreadable, NotABackup, NewerFormat, OtherKeyboard, Damaged };

struct BackupReadResult {
    std::optional<KeyboardMemory> memory;  // none: refused, error and problem say why
    std::string error;
    BackupProblem problem = BackupProblem::None;
};

// Reads a backup for the keyboard of identity. Refused: an unreadable file, one that is not a
// backup, a backup of another keyboard, or one with an entry that cannot be assigned again.
BackupReadResult ReadBackup(const std::string& path, const KeyboardIdentity& identity);

// Where the memory of a simulated keyboard lives: beside its state file ("state.xml" gives
// "state-keymap.xml"), so it goes wherever the keyboard's state goes.
std::string SimulatedKeymapPath(const std::string& stateFile);

// One keyboard's memory kept in step with the protocol and saved after every change. Install
// it as the protocol's slot-tables listener.
class KeyMemory : public SlotTablesListener {
public:
    // An empty path keeps the memory only while the program runs.
    KeyMemory(std::string path, KeyboardIdentity identity);

    const KeyboardMemory& Memory() const { return memory_; }
    const KeyboardIdentity& Identity() const { return identity_; }
    const std::string& Path() const { return path_; }
    // True while the file as loaded could not be read whole (see LoadKeymap) and has not been
    // kept aside yet.
    bool LoadedDamaged() const { return loadedDamaged_; }
    // Null when nothing is remembered for that key of that profile (index 0-2).
    const RememberedKey* Find(int profileIndex, std::uint8_t key) const;

    void SlotTablesRead(int profileIndex, const SlotTable& macro, const SlotTable& remap) override;
    // A completed read-back after a transfer the keyboard acknowledged: the profile follows the
    // tables and the key is remembered with what went out, saved once.
    void ReadBackAfterAssignment(int profileIndex, const SlotTable& macro, const SlotTable& remap,
                                 std::uint8_t key, const KeyChoice& choice,
                                 const AssignmentRecord& record);
    // After ApplyAssignment for key with the dialog's record and the user's choice.
    void AssignmentApplied(int profileIndex, std::uint8_t key, const KeyChoice& choice,
                           const AssignmentRecord& record, const SlotTable& macro,
                           const SlotTable& remap);
    void LightingSent(int effect, const LightingTable& table);
    // The keyboard went back to its factory settings: everything about it is forgotten.
    void FactoryRestored();

    // False when the last save did not reach the disk.
    bool Saved() const { return saved_; }

private:
    void Save();

    std::string path_;
    KeyboardIdentity identity_;
    KeyboardMemory memory_;
    bool saved_ = true;
    bool loadedDamaged_ = false;  // entries were skipped on load; the file is kept before a save
};

}  // namespace kb
