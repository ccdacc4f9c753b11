#include "keymap/backup_restore.h"

#include <algorithm>
#include <vector>

namespace kb {

namespace {

// Where the backup has the key: the table its kind uses and the slot in it.
bool InPlace(const RememberedKey& wanted, const SlotTable& macro, const SlotTable& remap) {
    const SlotTable& own = UsesMacroSlot(wanted.choice.kind) ? macro : remap;
    const SlotTable& other = UsesMacroSlot(wanted.choice.kind) ? remap : macro;
    const bool inOther = std::find(other.begin(), other.end(), wanted.key) != other.end();
    return !inOther && wanted.slot >= 1 && wanted.slot <= kSlotCount &&
           own[static_cast<std::size_t>(wanted.slot - 1)] == wanted.key;
}

// The keys the tables hold that must go before the backup's keys are assigned.
KeySelection KeysToClear(const ProfileMemory& wanted, const SlotTable& macro,
                         const SlotTable& remap) {
    KeySelection keys;
    for (const SlotTable* table : {&macro, &remap}) {
        for (const std::uint8_t key : *table) {
            if (key == 0) {
                continue;
            }
            const auto found = wanted.find(key);
            if (found == wanted.end() || !InPlace(found->second, macro, remap)) {
                keys.emplace(key, KeyCodeName(key));
            }
        }
    }
    return keys;
}

}  // namespace

int CountKnownKeys(const KeyboardMemory& memory) {
    int count = 0;
    for (const ProfileMemory& profile : memory.profiles) {
        for (const auto& [code, key] : profile) {
            count += key.choice.kind != KeyKind::Elsewhere ? 1 : 0;
        }
    }
    return count;
}

bool AssignAndRemember(KeyboardProtocol& protocol, KeyMemory* memory, std::uint8_t key,
                       const AssignmentRecord& record, const KeyChoice& choice,
                       int profileListIndex) {
    // The read-back inside the assignment is taken up here, so the memory is saved once.
    // Where the keyboard will put the key, should the read-back after the transfer fail.
    SlotTable macro = protocol.MacroSlots();
    SlotTable remap = protocol.RemapSlots();
    SlotTable& own = record[3] != 0 ? macro : remap;
    const std::optional<int> slot = ChooseSlot(own, key);
    SlotTablesListener* const listener = protocol.Listener();
    protocol.SetSlotTablesListener(nullptr);
    const bool taken =
        protocol.ApplyAssignment(record, {{key, KeyCodeName(key)}}, profileListIndex);
    protocol.SetSlotTablesListener(listener);
    const int profile = protocol.CurrentProfileIndex();
    if (memory && taken && !protocol.LastReadComplete() && slot) {
        // The keyboard acknowledged the whole transfer: the key is remembered, and nothing else
        // changes until a read-back goes through.
        own[static_cast<std::size_t>(*slot)] = key;
        memory->AssignmentApplied(profile, key, choice, record, macro, remap);
    } else if (memory && protocol.LastReadComplete()) {
        if (taken) {
            memory->ReadBackAfterAssignment(profile, protocol.MacroSlots(), protocol.RemapSlots(),
                                            key, choice, record);
        } else {
            memory->SlotTablesRead(profile, protocol.MacroSlots(), protocol.RemapSlots());
        }
    }
    return taken;
}

RestoreResult RestoreBackup(KeyboardProtocol& protocol, const KeyboardMemory& backup,
                            const ProfileSelector& selectProfile, KeyMemory* memory) {
    RestoreResult result;
    const auto stop = [&result](int profile, std::uint8_t key, std::string why) {
        result.error = "profile " + std::to_string(profile + 1) + ": " + why;
        result.failedProfile = profile;
        result.failedKey = key;
        return result;
    };
    for (int p = 0; p < kProfileCount; ++p) {
        const ProfileMemory& wanted = backup.profiles[static_cast<std::size_t>(p)];
        // Tables that were not read would say every slot is free.
        if (!selectProfile(p)) {
            return stop(p, 0, "the keyboard could not be read");
        }
        const bool remapKeysWanted =
            std::any_of(wanted.begin(), wanted.end(), [](const auto& entry) {
                return !UsesMacroSlot(entry.second.choice.kind) &&
                       RecordToAssignAgain(entry.second);
            });
        // A key held in both tables needs a second clear: one clear frees its macro slot only.
        for (int pass = 0; pass < 3; ++pass) {
            KeySelection clear = KeysToClear(wanted, protocol.MacroSlots(), protocol.RemapSlots());
            const SlotTable& macro = protocol.MacroSlots();
            if (clear.empty() && remapKeysWanted &&
                std::find(macro.begin(), macro.end(), 0) == macro.end()) {
                // No macro slot to take for a remap key: the macro keys go and come back.
                for (const std::uint8_t key : macro) {
                    clear.emplace(key, KeyCodeName(key));
                }
            }
            if (clear.empty()) {
                break;
            }
            if (!protocol.ClearAssignment(clear, p) || !protocol.LastReadComplete()) {
                return stop(p, 0, "keys could not be cleared");
            }
        }
        std::vector<const RememberedKey*> order;
        for (const auto& [code, key] : wanted) {
            order.push_back(&key);
        }
        // Remap keys first: every assignment needs a macro slot it could take.
        std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
            const bool aMacro = UsesMacroSlot(a->choice.kind);
            const bool bMacro = UsesMacroSlot(b->choice.kind);
            return aMacro != bMacro ? bMacro : a->slot < b->slot;
        });
        for (const RememberedKey* key : order) {
            const auto record = RecordToAssignAgain(*key);
            if (!record) {
                continue;
            }
            if (!AssignAndRemember(protocol, memory, key->key, *record, key->choice, p) ||
                !protocol.LastReadComplete()) {
                return stop(p, key->key, KeyCodeName(key->key) + " could not be assigned");
            }
            ++result.keys;
        }
    }
    if (backup.lighting) {
        const LightingTable before = protocol.Lighting();
        protocol.Lighting() = backup.lighting->table;
        if (!protocol.SendLighting(backup.lighting->effect)) {
            protocol.Lighting() = before;
            result.error = "the lighting could not be sent";
            return result;
        }
        if (memory) {
            memory->LightingSent(backup.lighting->effect, backup.lighting->table);
        }
    }
    result.done = true;
    return result;
}

}  // namespace kb
