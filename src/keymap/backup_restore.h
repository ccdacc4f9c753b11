#pragma once

#include <functional>
#include <string>

#include "keymap/keymap_file.h"
#include "protocol/keyboard_protocol.h"

namespace kb {

// Makes index (0-2) the current profile wherever the profile is chosen, selects it on the
// keyboard and reads its tables back; false when the select or the read-back did not go through.
using ProfileSelector = std::function<bool(int index)>;

struct RestoreResult {
    bool done = false;
    int keys = 0;                // keys assigned again
    std::string error;           // why it stopped, when it did not finish
    int failedProfile = -1;      // the profile index it stopped at
    std::uint8_t failedKey = 0;  // the key it could not assign; 0 when clearing failed
};

// Makes the keyboard hold a backup: for each profile, the keys that are not in the backup, or
// not in the table and slot the backup has them in, are cleared, and each key of the backup is
// assigned again through the ordinary slot choice, remap slots first, each table in slot
// order; then the lighting is sent. When the macro table is full and remap keys are to be
// assigned, the macro keys are cleared too, since every assignment needs a macro slot. memory
// (may be null) remembers every assignment the keyboard took. It stops at the first exchange
// that fails, saying where; run again, it finishes the rest.
RestoreResult RestoreBackup(KeyboardProtocol& protocol, const KeyboardMemory& backup,
                            const ProfileSelector& selectProfile, KeyMemory* memory);

// Assigns record to one key of the current profile (single codes go to profileListIndex, see
// KeyboardProtocol::ApplyAssignment) and reads the tables back; memory (may be
// null) follows the read-back only when it went through, and remembers the choice only when
// the keyboard took the transfer, with one save. False when the keyboard refused or did not
// take it (the protocol has warned).
bool AssignAndRemember(KeyboardProtocol& protocol, KeyMemory* memory, std::uint8_t key,
                       const AssignmentRecord& record, const KeyChoice& choice,
                       int profileListIndex);

// The keys of all profiles whose assignment is known (what a backup holds).
int CountKnownKeys(const KeyboardMemory& memory);

}  // namespace kb
