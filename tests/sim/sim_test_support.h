#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"

namespace kb::test {

inline Report Frame(std::initializer_list<int> bytes) {
    Report report{};
    std::size_t i = 0;
    for (int byte : bytes) {
        report[i++] = static_cast<std::uint8_t>(byte);
    }
    return report;
}

inline SimMacroRecord MacroRecordOf(std::initializer_list<int> head) {
    SimMacroRecord record{};
    std::size_t i = 0;
    for (int byte : head) {
        record[i++] = static_cast<std::uint8_t>(byte);
    }
    return record;
}

// A keyboard configured like data/config.xml, with a handle on its protocol interface.
class SimKeyboardTest : public ::testing::Test {
protected:
    explicit SimKeyboardTest(std::string stateFile = {})
        : keyboard_(0x258a, 0x0049, 1, 2, std::move(stateFile)),
          backend_(keyboard_),
          handle_(backend_.Open(keyboard_.ProtocolPath())) {}

    bool Send(std::initializer_list<int> bytes) { return handle_->SetFeature(Frame(bytes)); }

    // The 28 reports the program sends for one assignment record.
    void SendRecord(const SimMacroRecord& record, std::size_t reports = 28) {
        for (std::size_t k = 0; k < reports; ++k) {
            Report report{0x07, static_cast<std::uint8_t>(k == 0 ? 0xF1 : 0x00)};
            std::copy_n(record.begin() + static_cast<std::ptrdiff_t>(6 * k), 6, report.begin() + 2);
            ASSERT_TRUE(handle_->SetFeature(report));
        }
    }

    Report Read() {
        Report report{0x07};
        EXPECT_TRUE(handle_->GetFeature(report));
        return report;
    }

    // Query and the four reads of a slot-table read-back.
    std::vector<Report> ReadSlots() {
        EXPECT_TRUE(Send({0x07, 0xFB, 0x01}));
        return {Read(), Read(), Read(), Read()};
    }

    SimulatedKeyboard keyboard_;
    SimulatedHidBackend backend_;
    std::unique_ptr<HidHandle> handle_;
};

}  // namespace kb::test
