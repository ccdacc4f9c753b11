#include "protocol/keyboard_protocol.h"

#include <algorithm>

namespace kb {

namespace {

constexpr int kReportsPerRecord = 28;
constexpr int kAttemptsPerReport = 4;
constexpr std::size_t kReplyBytes = 7;

std::optional<int> FindSlot(const SlotTable& table, std::uint8_t key) {
    const auto found = std::find(table.begin(), table.end(), key);
    if (found == table.end()) {
        return std::nullopt;
    }
    return static_cast<int>(found - table.begin());
}

}  // namespace

std::optional<int> ChooseSlot(const SlotTable& table, std::uint8_t key) {
    if (auto slot = FindSlot(table, key)) {
        return slot;
    }
    return FindSlot(table, 0);
}

KeyboardProtocol::KeyboardProtocol(DeviceChannel& channel, Pacer& pacer, KeyboardView& view)
    : channel_(channel), pacer_(pacer), view_(view) {}

KeyboardProtocol::Block KeyboardProtocol::ReadBlock() {
    Block block{};
    for (std::size_t half = 0; half < 2; ++half) {
        Report buffer = ReadBuffer();
        pacer_.Wait(kWaitBeforeReadMs);
        // A failed read leaves its part of the block zero, so its slots read as free.
        if (channel_.ReadFeature(buffer) != 0) {
            std::copy_n(buffer.begin() + 1, kReplyBytes, block.begin() + half * kReplyBytes);
        }
    }
    return block;
}

void KeyboardProtocol::MarkKeys(const SlotTable& table) {
    for (std::uint8_t key : table) {
        if (key != 0) {
            view_.MarkKey(key);
        }
    }
}

bool KeyboardProtocol::ReadSlotTables() {
    const std::uint64_t failedBefore = channel_.FailedExchanges();
    pacer_.Wait(kWaitBeforeCommandMs);
    macroSlots_.fill(0);
    remapSlots_.fill(0);
    view_.ClearKeyMarks();
    channel_.SendFeature(QuerySlotsReport());
    pacer_.Wait(kWaitBeforeReadMs);

    // The first block carries the macro slots from byte 1, the second the remap slots from 0.
    const Block macroBlock = ReadBlock();
    std::copy_n(macroBlock.begin() + 1, kSlotCount, macroSlots_.begin());
    MarkKeys(macroSlots_);

    const Block remapBlock = ReadBlock();
    std::copy_n(remapBlock.begin(), kSlotCount, remapSlots_.begin());
    MarkKeys(remapSlots_);
    const bool complete = channel_.FailedExchanges() == failedBefore;
    lastReadComplete_ = complete;
    if (complete && listener_) {
        listener_->SlotTablesRead(currentProfile_, macroSlots_, remapSlots_);
    }
    return complete;
}

int KeyboardProtocol::SelectProfile() {
    channel_.SendFeature(SelectProfileReport(currentProfile_));
    pacer_.Wait(kWaitBeforeCommandMs);
    return 1;
}

bool KeyboardProtocol::ChangeProfile(int index) {
    currentProfile_ = index;
    // Negative indices pass too: no choice goes out as profile 0, as the keyboard has always seen.
    if (index >= kProfileCount) {
        return true;
    }
    const std::uint64_t failedBefore = channel_.FailedExchanges();
    if (SelectProfile() == 0) {
        return false;
    }
    const bool selected = channel_.FailedExchanges() == failedBefore;
    // The read-back still runs: it is what shows the keyboard's state (or its absence).
    return ReadSlotTables() && selected;
}

bool KeyboardProtocol::SendLighting(int effect) {
    if (effect < 0 || effect >= kEffectCount) {
        return true;
    }
    pacer_.Wait(kWaitBeforeCommandMs);
    return channel_.SendFeature(
               LightingReport(effect, lighting_[static_cast<std::size_t>(effect)])) != 0;
}

bool KeyboardProtocol::RestoreFactorySettings(const std::function<void()>& resetApplied) {
    pacer_.Wait(kWaitBeforeCommandMs);
    if (channel_.SendFeature(FactoryResetReport()) == 0) {
        return false;
    }
    currentProfile_ = 0;
    ResetLightingTable();
    if (resetApplied) {
        resetApplied();
    }
    pacer_.Wait(kWaitFactoryResetMs);
    ReadSlotTables();
    return true;
}

bool KeyboardProtocol::SendWithRetries(const Report& report) {
    for (int attempt = 0; attempt < kAttemptsPerReport; ++attempt) {
        if (channel_.SendFeature(report) != 0) {
            return true;
        }
    }
    return false;
}

bool KeyboardProtocol::SendAssignmentRecord(const AssignmentRecord& record, bool assignment) {
    Report report = MakeReport(kCommandWriteMacro);
    for (int k = 0; k < kReportsPerRecord; ++k) {
        const auto start = record.begin() + 6 * k;
        std::copy(start, start + 6, report.begin() + 2);
        // The rest of a record with a gap would be stored as a different macro.
        if (!SendWithRetries(report)) {
            return false;
        }
        report[1] = kCommandContinuation;
        pacer_.Wait(kWaitMacroReportMs);
    }
    if (assignment) {
        pacer_.Wait(kWaitAfterAssignMs);
    }
    return true;
}

bool KeyboardProtocol::ReportNotTaken(const char* warning) {
    ReadSlotTables();
    view_.ShowWarning(warning);
    return false;
}

bool KeyboardProtocol::ApplyAssignment(AssignmentRecord record, const KeySelection& keys,
                                       int profileListIndex) {
    for (const auto& [key, name] : keys) {
        // A macro slot is needed for every kind of assignment.
        const std::optional<int> macroSlot = ChooseSlot(macroSlots_, key);
        if (!macroSlot) {
            view_.ShowWarning(kNoSpaceWarning);
            return false;
        }
        if (record[3] != 0) {
            record[2] = key;
            record[1] = static_cast<std::uint8_t>(*macroSlot + 1);
            record[0] = ProfileNumber(currentProfile_);
            if (!SendAssignmentRecord(record, true)) {
                return ReportNotTaken(kNotTakenWarning);
            }
            ReadSlotTables();
            continue;
        }
        const std::optional<int> remapSlot = ChooseSlot(remapSlots_, key);
        if (!remapSlot) {
            view_.ShowWarning(kNoSpaceWarning);
            return false;
        }
        if (profileListIndex < 0) {
            continue;
        }
        if (channel_.SendFeature(RemapReport(profileListIndex, *remapSlot, key, record[2])) == 0) {
            return ReportNotTaken(kNotTakenWarning);
        }
        pacer_.Wait(kWaitAfterAssignMs);
        ReadSlotTables();
    }
    return true;
}

bool KeyboardProtocol::ClearAssignment(const KeySelection& keys, int profileListIndex) {
    AssignmentRecord record{};
    for (const auto& [key, name] : keys) {
        if (const auto macroSlot = FindSlot(macroSlots_, key)) {
            record[0] = ProfileNumber(currentProfile_);
            record[1] = static_cast<std::uint8_t>(*macroSlot + 1);
            record[2] = 0;
            record[3] = 0;
            if (!SendAssignmentRecord(record, false)) {
                return ReportNotTaken(kNotClearedWarning);
            }
        } else if (const auto remapSlot = FindSlot(remapSlots_, key)) {
            if (profileListIndex >= 0) {
                if (channel_.SendFeature(RemapReport(profileListIndex, *remapSlot, 0, 0)) == 0) {
                    return ReportNotTaken(kNotClearedWarning);
                }
                pacer_.Wait(kWaitAfterClearMs);
            }
        }
    }
    ReadSlotTables();
    return true;
}

}  // namespace kb
