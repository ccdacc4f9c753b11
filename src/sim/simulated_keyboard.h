#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_backend.h"
#include "sim/sim_state.h"

namespace kb {

// One feature-report exchange as the keyboard saw it, for tests.
struct SimExchange {
    enum class Kind { Set, Get };
    Kind kind = Kind::Set;
    Report report{};  // what was sent, or what the caller got back
    bool ok = false;
    bool operator==(const SimExchange&) const = default;
};

// A firmware model of the keyboard: three profiles of twelve macro and twelve remap slots, the
// active profile and the lighting state, reachable through HID-like interfaces. Only the
// interface that matches the configured criteria answers the protocol.
//
// Handles returned by Open stay safe to use after the keyboard is gone; they just fail.
class SimulatedKeyboard {
public:
    // Reads that keep failing or misbehaving until the fault is cleared.
    static constexpr int kEveryRead = -1;

    // The configured match criteria (as config.xml gives them). Wildcards get a concrete value:
    // vid <= 0 gives 0x258a, pid <= 0 gives 0x0049, interface < 0 gives 1 and collection < 0
    // makes the protocol interface a single-collection one. With a state file the state is
    // loaded from it when readable and saved to it after every change.
    SimulatedKeyboard(int vid, int pid, int interfaceNumber, int collection,
                      std::string stateFile = {});
    ~SimulatedKeyboard();
    SimulatedKeyboard(const SimulatedKeyboard&) = delete;
    SimulatedKeyboard& operator=(const SimulatedKeyboard&) = delete;

    // Identity.
    std::uint16_t VendorId() const;
    std::uint16_t ProductId() const;
    int InterfaceNumber() const;
    int Collection() const;  // -1 for a single-collection protocol interface
    // Every interface and collection, plugged or not; the protocol one is enumerated last.
    std::vector<HidInterfaceInfo> Interfaces() const;
    std::string ProtocolPath() const;

    // Null for an unknown path, while unplugged, or with the open failure set. A handle on any
    // interface other than the protocol one fails every feature call.
    std::unique_ptr<HidHandle> Open(const std::string& path);

    // Firmware state; profile and slot numbers are 1-based as on the wire.
    SimKeyboardState State() const;
    // Saved like any other change; false (nothing changed) for an active profile or effect
    // out of range.
    bool SetState(const SimKeyboardState& state);
    SimMacroRecord MacroRecord(int profile, int slot) const;  // zeros when out of range
    SimRemapEntry Remap(int profile, int slot) const;
    int ActiveProfile() const;
    int LightingEffect() const;
    SimLightingRecord LightingRecord(int effect) const;
    std::string Dump() const;
    const std::string& StateFile() const;
    // True when the state file was there but could not be read (the keyboard started fresh).
    bool StateFileUnreadable() const;

    // Exchanges that reached the protocol interface while its handle's session was current,
    // oldest first, including those an injected fault failed. Only the latest 100000 are kept.
    std::vector<SimExchange> Exchanges() const;
    void ClearExchanges();

    // Faults. Counts apply to the protocol interface; a failed exchange never reaches the
    // firmware and a failed read consumes no reply.
    void FailAllExchanges(bool fail);
    void FailNextExchanges(int count);
    // Reads whose reply has the wrong length: the read fails and leaves the buffer as prepared,
    // but the firmware has sent (and so used up) its reply.
    void ReplyWithWrongLength(int count);
    // Reads answered as success with non-protocol bytes 1-7: the given ones, or random ones.
    void ReplyWithGarbage(int count, std::optional<std::array<std::uint8_t, 7>> bytes = {});
    void SetOpenFailure(bool fail);
    // The next `count` exchanges with the protocol interface go through; the one after finds
    // the keyboard unplugged, as if its cable came out there. A negative count never unplugs.
    void UnplugAfterExchanges(int count);
    // Opens of the protocol interface are refused as for lack of permission.
    void DenyOpen(bool deny);
    // Why opening the protocol interface fails now: None when it does not.
    OpenFailure OpenFailureReason() const;
    void ClearFaults();

    // Unplugging ends the current session: enumeration is empty and every open handle fails
    // from then on, also after plugging in again. Pending replies and a partial macro transfer
    // are lost; the stored state is kept.
    void Unplug();
    void Plug();
    bool IsPlugged() const;

private:
    struct Shared;
    class Handle;
    std::shared_ptr<Shared> shared_;
};

}  // namespace kb
