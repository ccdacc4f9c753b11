#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// The system's HID interfaces and which of them, if any, is the keyboard.
struct InterfaceListing {
    std::vector<HidInterfaceInfo> interfaces;
    std::optional<std::size_t> keyboard;  // index into interfaces
};

// The keyboard as this program knows it: the one device channel, the protocol over it and the
// memory of what each key was given. The memory follows only read-backs that went through and
// transfers the keyboard acknowledged, so a keyboard that goes away part-way leaves it as it was.
class KeyboardSession {
public:
    KeyboardSession(HidBackend& backend, DeviceGate& gate, Pacer& pacer, KeyboardView& view,
                    std::string keymapPath, KeyboardIdentity identity,
                    TraceSink* diagnostics = nullptr, TraceSink* trace = nullptr);
    // A session whose view comes later (SetView): the window is made after it.
    KeyboardSession(HidBackend& backend, DeviceGate& gate, Pacer& pacer, std::string keymapPath,
                    KeyboardIdentity identity, TraceSink* diagnostics = nullptr,
                    TraceSink* trace = nullptr);
    KeyboardSession(const KeyboardSession&) = delete;
    KeyboardSession& operator=(const KeyboardSession&) = delete;

    // Where key marks and warnings go; null: nowhere.
    void SetView(KeyboardView* view) { relay_.target = view; }

    // Finds and opens the keyboard of the identity (one discovery); true when it is open.
    bool Connect();
    // Why the last Connect failed (NotFound: the keyboard is not there).
    OpenFailure LastOpenFailure() const { return channel_.LastOpenFailure(); }
    // Lets go of the keyboard (for the upgrade tool).
    void Close();
    bool Connected() const { return channel_.State() == DeviceChannel::HandleState::Open; }
    // Exchanges that failed so far; two readings tell whether an action reached the keyboard.
    std::uint64_t FailedExchanges() const { return channel_.FailedExchanges(); }

    int CurrentProfileIndex() const { return protocol_.CurrentProfileIndex(); }
    void SetCurrentProfileIndex(int index) { protocol_.SetCurrentProfileIndex(index); }
    // The slot tables of the last complete read-back.
    const SlotTable& MacroSlots() const { return protocol_.MacroSlots(); }
    const SlotTable& RemapSlots() const { return protocol_.RemapSlots(); }
    // The lighting table the panel edits; SendLighting sends an effect of it.
    LightingTable& Lighting() { return protocol_.Lighting(); }
    const KeyboardIdentity& Identity() const { return identity_; }

    const KeyMemory& Memory() const { return memory_; }

    // Every HID interface of the system, with the keyboard of the identity marked (one discovery).
    InterfaceListing ListInterfaces() const;

    // Makes index the current profile, selects it and reads it back.
    SessionResult SelectProfile(int index);
    // Reads the current profile's tables back.
    SessionResult ReadBack();
    // Selects and reads back every profile, ending on `finalIndex`'s tables when it is 0-2.
    SessionResult ReadAllProfiles();

    // Gives each key of the current profile the choice (see RecordForChoice); the memory
    // remembers it for the keys the keyboard took.
    SessionResult Assign(const KeyChoice& choice, const KeySelection& keys);
    SessionResult Clear(const KeySelection& keys);

    // Sends the effect of `table`; the memory and the protocol's table keep it only when the
    // keyboard took it.
    SessionResult SendLighting(int effect, const LightingTable& table);
    // Sends the effect of the session's own table (Lighting()); the memory keeps it when the
    // keyboard took it.
    SessionResult SendLighting(int effect);

    // The factory restore; `resetApplied` runs once the keyboard took the reset.
    SessionResult RestoreFactorySettings(const std::function<void()>& resetApplied = {});

    // Reads every profile back and writes the backup; nothing is written unless every read went
    // through. `profileChosen` runs before each profile is selected; the last one read stays
    // selected.
    SessionResult Backup(const std::string& path,
                         const std::function<void(int)>& profileChosen = {});

    // Makes the keyboard hold the backup (see RestoreBackup). `profileChosen` runs before each
    // profile is selected, so a window can show it.
    SessionResult Restore(const KeyboardMemory& backup,
                          const std::function<void(int)>& profileChosen = {});

private:
    SessionResult ReadFailed(int profile) const;

    // Forwards to the view set last, so the window can come after the session.
    struct ViewRelay : KeyboardView {
        KeyboardView* target = nullptr;
        void ClearKeyMarks() override {
            if (target) {
                target->ClearKeyMarks();
            }
        }
        void MarkKey(int keyId) override {
            if (target) {
                target->MarkKey(keyId);
            }
        }
        void ShowWarning(const std::string& text) override {
            if (target) {
                target->ShowWarning(text);
            }
        }
    };

    HidBackend& backend_;
    TraceSink* diagnostics_;
    ViewRelay relay_;
    DeviceChannel channel_;
    KeyboardProtocol protocol_;
    KeyMemory memory_;
    KeyboardIdentity identity_;
};

}  // namespace kb
