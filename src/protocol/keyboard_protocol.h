#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "device/device_channel.h"
#include "protocol/assignment_record.h"
#include "protocol/keyboard_view.h"
#include "protocol/lighting.h"
#include "protocol/pacer.h"
#include "protocol/reports.h"

namespace kb {

// Key code of a physical key to its name, ascending by code.
using KeySelection = std::map<std::uint8_t, std::string>;

// Key codes of the keys holding the macro (or single code) in slots 1-12; 0 = free.
using SlotTable = std::array<std::uint8_t, kSlotCount>;

// Told of every read-back, with the profile index the tables describe.
class SlotTablesListener {
public:
    virtual ~SlotTablesListener() = default;
    virtual void SlotTablesRead(int profileIndex, const SlotTable& macro,
                                const SlotTable& remap) = 0;
};

inline constexpr const char* kNoSpaceWarning =
    "Insufficient space, please delete the record button first.";
inline constexpr const char* kNotTakenWarning =
    "The keyboard did not take the assignment. Check that it is connected and try again.";
inline constexpr const char* kNotClearedWarning =
    "The keyboard did not clear the assignment. Check that it is connected and try again.";

// The keyboard's command set over one device channel, with the state the commands rely on:
// the slot tables last read back, the current profile index and the lighting table.
class KeyboardProtocol {
public:
    KeyboardProtocol(DeviceChannel& channel, Pacer& pacer, KeyboardView& view);

    // Reads both slot tables of the active profile and marks the keys found in them. True when
    // every exchange of the read went through; only then is the listener told, so a read that
    // failed part-way never passes its empty slots off as what the keyboard holds.
    bool ReadSlotTables();

    // Tells the keyboard the current profile index; always 1.
    int SelectProfile();

    // Makes `index` (as chosen in the profile list) the current profile; the first three are
    // selected on the keyboard and read back, any other leaves the tables as they were. Start-up
    // and reconnection pass the current index again. True when the select and the read-back
    // went through (or nothing was to be sent).
    bool ChangeProfile(int index);

    // Sends the effect's lighting record; an effect outside 0-9 sends nothing. False when the
    // keyboard did not take the report.
    bool SendLighting(int effect);

    // Carries the record in 28 reports, each tried up to four times. An assignment waits a
    // little longer at the end than a clear. False when a report failed every attempt: the
    // transfer stops there, and nothing further of the record is sent.
    bool SendAssignmentRecord(const AssignmentRecord& record, bool assignment);

    // Writes the dialog's record for each selected key, then reads the tables back. False when
    // a key found no free slot (kNoSpaceWarning) or the keyboard did not take a report (the
    // tables are read back, then kNotTakenWarning): the warning was shown once and the rest
    // was dropped.
    bool ApplyAssignment(AssignmentRecord record, const KeySelection& keys, int profileListIndex);

    // Frees whatever slot each selected key holds, then reads the tables back once. False when
    // the keyboard did not take a report: the rest was dropped, and kNotClearedWarning shown
    // after the read-back.
    bool ClearAssignment(const KeySelection& keys, int profileListIndex);

    // The factory restore: the reset report, then the profile index and the lighting table
    // back to their first values; `resetApplied` runs next (the caller brings its own copies
    // and controls in line, and may send reports of its own), and after kWaitFactoryResetMs the
    // tables are read back. False when the reset report did not go through; `resetApplied` does
    // not run then, and nothing further is sent.
    bool RestoreFactorySettings(const std::function<void()>& resetApplied = {});

    // Null stops the notifications.
    void SetSlotTablesListener(SlotTablesListener* listener) { listener_ = listener; }
    SlotTablesListener* Listener() const { return listener_; }

    // Whether the last read-back went through; a failed one left its slots zero.
    bool LastReadComplete() const { return lastReadComplete_; }

    const SlotTable& MacroSlots() const { return macroSlots_; }
    const SlotTable& RemapSlots() const { return remapSlots_; }

    int CurrentProfileIndex() const { return currentProfile_; }
    void SetCurrentProfileIndex(int index) { currentProfile_ = index; }

    LightingTable& Lighting() { return lighting_; }
    const LightingTable& Lighting() const { return lighting_; }
    void ResetLightingTable() { lighting_ = InitialLightingTable(); }

private:
    using Block = std::array<std::uint8_t, 14>;
    Block ReadBlock();
    void MarkKeys(const SlotTable& table);
    bool SendWithRetries(const Report& report);
    // Reads the tables back to show what the keyboard holds, then warns; false.
    bool ReportNotTaken(const char* warning);

    DeviceChannel& channel_;
    Pacer& pacer_;
    KeyboardView& view_;
    SlotTable macroSlots_{};
    SlotTable remapSlots_{};
    int currentProfile_ = 0;
    LightingTable lighting_ = InitialLightingTable();
    SlotTablesListener* listener_ = nullptr;
    bool lastReadComplete_ = false;
};

// The slot holding `key`, else the first free one; none when the table is full of other keys.
std::optional<int> ChooseSlot(const SlotTable& table, std::uint8_t key);

}  // namespace kb
