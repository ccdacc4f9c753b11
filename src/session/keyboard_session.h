#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "device/device_channel.h"
#include "keymap/key_memory.h"
#include "keymap/keymap_file.h"
#include "protocol/keyboard_protocol.h"

namespace kb {

// What a request to the keyboard came to.
struct SessionResult {
    bool done = true;
    std::string failure;         // what did not happen, when not done
    int applied = 0;             // keys the keyboard took (assignments, restore)
    int failedProfile = -1;      // the profile index it stopped at
    std::uint8_t failedKey = 0;  // the key it stopped at; 0 when none
    bool warned = false;         // the view was shown the reason already

    static SessionResult Failed(std::string why, int profile = -1, std::uint8_t key = 0) {
        return {false, std::move(why), 0, profile, key, false};
    }
};

// The keyboard as this program knows it: the one device channel, the protocol over it and the
// memory of what each key was given. The memory follows only read-backs that went through and
// transfers the keyboard acknowledged, so a keyboard that goes away part-way leaves it as it was.
class KeyboardSession {
public:
    KeyboardSession(HidBackend& backend, DeviceGate& gate, Pacer& pacer, KeyboardView& view,
                    std::string keymapPath, KeyboardIdentity identity,
                    std::ostream* diagnostics = nullptr, TraceSink* trace = nullptr);
    KeyboardSession(const KeyboardSession&) = delete;
    KeyboardSession& operator=(const KeyboardSession&) = delete;

    // Opens the keyboard of the identity; true when it is open.
    bool Connect();
    bool Connected() const { return channel_.State() == DeviceChannel::HandleState::Open; }

    DeviceChannel& Channel() { return channel_; }
    KeyboardProtocol& Protocol() { return protocol_; }
    const KeyboardProtocol& Protocol() const { return protocol_; }
    const KeyMemory& Memory() const { return memory_; }

    // Makes index the current profile, selects it and reads it back.
    SessionResult SelectProfile(int index);
    // Reads the current profile's tables back.
    SessionResult ReadBack();
    // Selects and reads back every profile, ending on `finalIndex`'s tables when it is 0-2.
    SessionResult ReadAllProfiles();

    // Gives each key of the current profile the record; the memory remembers `choice` for the
    // keys the keyboard took.
    SessionResult Assign(const AssignmentRecord& record, const KeyChoice& choice,
                         const KeySelection& keys);
    SessionResult Clear(const KeySelection& keys);

    // Sends the effect of `table`; the memory and the protocol's table keep it only when the
    // keyboard took it.
    SessionResult SendLighting(int effect, const LightingTable& table);

    // The factory restore; `resetApplied` runs once the keyboard took the reset.
    SessionResult RestoreFactorySettings(const std::function<void()>& resetApplied = {});

    // Reads every profile back and writes the backup; nothing is written unless every read went
    // through.
    SessionResult Backup(const std::string& path);

    // Makes the keyboard hold the backup (see RestoreBackup). `profileChosen` runs before each
    // profile is selected, so a window can show it.
    SessionResult Restore(const KeyboardMemory& backup,
                          const std::function<void(int)>& profileChosen = {});

private:
    SessionResult ReadFailed(int profile) const;

    DeviceChannel channel_;
    KeyboardProtocol protocol_;
    KeyMemory memory_;
    KeyboardIdentity identity_;
};

}  // namespace kb
