#include "session/keyboard_session.h"

#include "device/discovery.h"
#include "keymap/backup_restore.h"

namespace kb {

KeyboardSession::KeyboardSession(HidBackend& backend, DeviceGate& gate, Pacer& pacer,
                                 KeyboardView& view, std::string keymapPath,
                                 KeyboardIdentity identity, TraceSink* diagnostics,
                                 TraceSink* trace)
    : KeyboardSession(backend, gate, pacer, std::move(keymapPath), identity, diagnostics, trace) {
    relay_.target = &view;
}

KeyboardSession::KeyboardSession(HidBackend& backend, DeviceGate& gate, Pacer& pacer,
                                 std::string keymapPath, KeyboardIdentity identity,
                                 TraceSink* diagnostics, TraceSink* trace)
    : backend_(backend),
      diagnostics_(diagnostics),
      channel_(backend, gate, diagnostics, trace),
      protocol_(channel_, pacer, relay_),
      memory_(std::move(keymapPath), identity),
      identity_(identity) {
    protocol_.SetSlotTablesListener(&memory_);
}

bool KeyboardSession::Connect() {
    return channel_.OpenChannel(identity_.vid, identity_.pid, identity_.interfaceNumber,
                                identity_.subdevice) != 0;
}

InterfaceListing KeyboardSession::ListInterfaces() const {
    InterfaceListing listing{backend_.Enumerate(), std::nullopt};
    if (listing.interfaces.empty()) {
        return listing;
    }
    const auto found = FindKeyboardInterface(
        backend_, {identity_.vid, identity_.pid, identity_.interfaceNumber, identity_.subdevice},
        diagnostics_);
    for (std::size_t i = 0; found && i < listing.interfaces.size(); ++i) {
        if (listing.interfaces[i].path == found->path &&
            listing.interfaces[i].interfacePath == found->interfacePath) {
            listing.keyboard = i;
        }
    }
    return listing;
}

void KeyboardSession::Close() {
    channel_.CloseChannel();
}

SessionResult KeyboardSession::ReadFailed(int profile) const {
    return SessionResult::Failed(
        "reading profile " + std::to_string(profile + 1) + " back from the keyboard failed",
        profile);
}

SessionResult KeyboardSession::SelectProfile(int index) {
    if (!protocol_.ChangeProfile(index)) {
        return ReadFailed(index);
    }
    return {};
}

SessionResult KeyboardSession::ReadBack() {
    if (!protocol_.ReadSlotTables()) {
        return ReadFailed(protocol_.CurrentProfileIndex());
    }
    return {};
}

SessionResult KeyboardSession::ReadAllProfiles() {
    for (int profile = 0; profile < kProfileCount; ++profile) {
        if (SessionResult result = SelectProfile(profile); !result.done) {
            return result;
        }
    }
    return {};
}

SessionResult KeyboardSession::Assign(const KeyChoice& choice, const KeySelection& keys) {
    SessionResult result;
    const int profile = protocol_.CurrentProfileIndex();
    for (const auto& [key, name] : keys) {
        const AssignmentRecord record = RecordForChoice(choice, key);
        if (!AssignAndRemember(protocol_, &memory_, key, record, choice, profile)) {
            SessionResult failed = SessionResult::Failed(
                "the keyboard did not take the assignment of " + name, profile, key);
            failed.applied = result.applied;
            failed.warned = true;
            return failed;
        }
        if (!protocol_.LastReadComplete()) {
            SessionResult failed = SessionResult::Failed(
                "the keyboard took the assignment of " + name + " but could not be read back",
                profile, key);
            failed.applied = result.applied + 1;
            return failed;
        }
        ++result.applied;
    }
    return result;
}

SessionResult KeyboardSession::Clear(const KeySelection& keys) {
    const int profile = protocol_.CurrentProfileIndex();
    if (!protocol_.ClearAssignment(keys, profile)) {
        SessionResult failed =
            SessionResult::Failed("the keyboard did not clear the assignment", profile);
        failed.warned = true;
        return failed;
    }
    if (!protocol_.LastReadComplete()) {
        return ReadFailed(profile);
    }
    return {};
}

SessionResult KeyboardSession::SendLighting(int effect, const LightingTable& table) {
    const LightingTable before = protocol_.Lighting();
    protocol_.Lighting() = table;
    if (!protocol_.SendLighting(effect)) {
        protocol_.Lighting() = before;
        return SessionResult::Failed("the keyboard did not take the lighting");
    }
    memory_.LightingSent(effect, table);
    return {};
}

SessionResult KeyboardSession::SendLighting(int effect) {
    const LightingTable table = protocol_.Lighting();
    return SendLighting(effect, table);
}

SessionResult KeyboardSession::RestoreFactorySettings(const std::function<void()>& resetApplied) {
    const bool reset = protocol_.RestoreFactorySettings([this, &resetApplied] {
        memory_.FactoryRestored();
        if (resetApplied) {
            resetApplied();
        }
    });
    if (!reset) {
        return SessionResult::Failed("the keyboard did not take the factory reset");
    }
    if (!protocol_.LastReadComplete()) {
        return SessionResult::Failed("the keyboard was reset but could not be read back", 0);
    }
    return {};
}

SessionResult KeyboardSession::Backup(const std::string& path,
                                      const std::function<void(int)>& profileChosen) {
    SessionResult read;
    for (int profile = 0; profile < kProfileCount && read.done; ++profile) {
        if (profileChosen) {
            profileChosen(profile);
        }
        read = SelectProfile(profile);
    }
    if (!read.done) {
        return read;
    }
    if (!WriteBackup(path, identity_, memory_.Memory())) {
        return SessionResult::Failed("cannot write " + path);
    }
    return {};
}

SessionResult KeyboardSession::Restore(const KeyboardMemory& backup,
                                       const std::function<void(int)>& profileChosen) {
    const RestoreResult restored = RestoreBackup(
        protocol_, backup,
        [this, &profileChosen](int index) {
            if (profileChosen) {
                profileChosen(index);
            }
            return protocol_.ChangeProfile(index);
        },
        &memory_);
    SessionResult result;
    result.done = restored.done;
    result.failure = restored.error;
    result.applied = restored.keys;
    result.failedProfile = restored.failedProfile;
    result.failedKey = restored.failedKey;
    return result;
}

}  // namespace kb
