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

RestoreResult RestoreBackup(KeyboardProtocol& protocol, const KeyboardMemory& backup,
                            const ProfileSelector& selectProfile, KeyMemory* memory) {
    RestoreResult result;
    for (int p = 0; p < kProfileCount; ++p) {
        const ProfileMemory& wanted = backup.profiles[static_cast<std::size_t>(p)];
        selectProfile(p);
        // A key held in both tables needs a second clear: one clear frees its macro slot only.
        for (int pass = 0; pass < 2; ++pass) {
            const KeySelection clear =
                KeysToClear(wanted, protocol.MacroSlots(), protocol.RemapSlots());
            if (clear.empty()) {
                break;
            }
            if (!protocol.ClearAssignment(clear)) {
                result.error = "profile " + std::to_string(p + 1) + ": keys could not be cleared";
                result.failedProfile = p;
                return result;
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
            if (!protocol.ApplyAssignment(*record, {{key->key, KeyCodeName(key->key)}})) {
                result.error = "profile " + std::to_string(p + 1) + ": " + KeyCodeName(key->key) +
                               " could not be assigned";
                return result;
            }
            if (memory) {
                memory->AssignmentApplied(p, key->key, key->choice, *record, protocol.MacroSlots(),
                                          protocol.RemapSlots());
            }
            ++result.keys;
        }
    }
    if (backup.lighting) {
        protocol.Lighting() = backup.lighting->table;
        protocol.SendLighting(backup.lighting->effect);
        if (memory) {
            memory->LightingSent(backup.lighting->effect, backup.lighting->table);
        }
    }
    result.done = true;
    return result;
}

}  // namespace kb
