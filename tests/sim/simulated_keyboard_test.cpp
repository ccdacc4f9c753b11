#include "sim_test_support.h"

namespace kb::test {
namespace {

using FirmwareTest = SimKeyboardTest;

TEST_F(FirmwareTest, FreshKeyboardReadsBackEmptyTablesOfProfileOne) {
    EXPECT_EQ(ReadSlots(),
              (std::vector<Report>{Frame({7, 1}), Frame({7}), Frame({7}), Frame({7})}));
    EXPECT_EQ(keyboard_.LightingEffect(), 0);
    EXPECT_EQ(keyboard_.LightingRecord(0), (SimLightingRecord{1, 1, 2, 3, 0}));
    EXPECT_EQ(keyboard_.LightingRecord(8), (SimLightingRecord{0, 0, 0, 3, 0}));
    EXPECT_EQ(keyboard_.LightingRecord(9), (SimLightingRecord{1, 1, 2, 3, 0}));
}

TEST_F(FirmwareTest, ReadBackCarriesBothTablesOfTheActiveProfile) {
    SendRecord(MacroRecordOf({1, 1, 0x04, 1, 0x04, 0x0A, 0x04, 0x82}));
    SendRecord(MacroRecordOf({1, 12, 0xE0, 3, 0x05, 0x01}));
    ASSERT_TRUE(Send({7, 0xFA, 1, 1, 0x29, 1, 0x05, 1}));
    ASSERT_TRUE(Send({7, 0xFA, 1, 12, 0x2C, 1, 0x04, 1}));

    EXPECT_EQ(ReadSlots(), (std::vector<Report>{
                               Frame({7, 1, 0x04, 0, 0, 0, 0, 0}),
                               Frame({7, 0, 0, 0, 0, 0, 0xE0, 0}),
                               Frame({7, 0x29, 0, 0, 0, 0, 0, 0}),
                               Frame({7, 0, 0, 0, 0, 0x2C, 0, 0}),
                           }));
    // The replies are used up; further reads answer zeros.
    EXPECT_EQ(Read(), Frame({7}));

    // Another profile has its own tables, and byte 0 names it.
    ASSERT_TRUE(Send({7, 0xFC, 2}));
    EXPECT_EQ(ReadSlots()[0], Frame({7, 2}));
}

TEST_F(FirmwareTest, RepliesAreASnapshotTakenByTheQuery) {
    ASSERT_TRUE(Send({7, 0xFB, 1}));
    ASSERT_TRUE(Send({7, 0xFA, 1, 1, 0x29, 1, 0x05, 1}));
    EXPECT_EQ(Read(), Frame({7, 1}));
    EXPECT_EQ(Read(), Frame({7}));
    EXPECT_EQ(Read(), Frame({7}));  // remap slot 1 was free when asked
    // A query with another parameter prepares nothing.
    ASSERT_TRUE(Send({7, 0xFB, 2}));
    EXPECT_EQ(Read(), Frame({7}));
}

TEST_F(FirmwareTest, SelectProfileAcceptsOnlyOneToThree) {
    struct Case {
        int parameter;
        int expected;
    };
    for (Case c : {Case{2, 2}, Case{3, 3}, Case{1, 1}, Case{0, 1}, Case{4, 1}, Case{0xFF, 1}}) {
        ASSERT_TRUE(Send({7, 0xFC, c.parameter}));
        EXPECT_EQ(keyboard_.ActiveProfile(), c.expected) << "parameter " << c.parameter;
    }
}

TEST_F(FirmwareTest, RemapStoresFreesAndIgnoresOutOfRangeSlots) {
    ASSERT_TRUE(Send({7, 0xFA, 2, 5, 0x3A, 1, 0x04, 1}));
    EXPECT_EQ(keyboard_.Remap(2, 5), (SimRemapEntry{0x3A, 0x04}));
    EXPECT_EQ(keyboard_.Remap(1, 5), SimRemapEntry{});

    // A target of 0 keeps the key assigned (to nothing).
    ASSERT_TRUE(Send({7, 0xFA, 2, 6, 0x3B, 1, 0, 1}));
    EXPECT_EQ(keyboard_.Remap(2, 6), (SimRemapEntry{0x3B, 0}));

    const SimKeyboardState before = keyboard_.State();
    for (auto [profile, slot] : {std::pair{0, 1}, {4, 1}, {1, 0}, {1, 13}, {0xFF, 0xFF}}) {
        ASSERT_TRUE(Send({7, 0xFA, profile, slot, 0x10, 1, 0x11, 1}));
    }
    EXPECT_EQ(keyboard_.State(), before);

    ASSERT_TRUE(Send({7, 0xFA, 2, 5, 0, 1, 0, 1}));
    EXPECT_EQ(keyboard_.Remap(2, 5), SimRemapEntry{});
}

TEST_F(FirmwareTest, TransferStoresTheWholeRecordInTheSlotItNames) {
    SimMacroRecord record{};
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<std::uint8_t>(i + 1);
    }
    record[0] = 3;
    record[1] = 7;
    SendRecord(record);  // profile 1 stays active; the record names profile 3
    EXPECT_EQ(keyboard_.MacroRecord(3, 7), record);
    EXPECT_EQ(keyboard_.ActiveProfile(), 1);
    EXPECT_EQ(keyboard_.MacroRecord(1, 7), SimMacroRecord{});
}

TEST_F(FirmwareTest, TransferWithoutKeyOrRepeatCountFreesTheSlot) {
    for (auto head : {MacroRecordOf({1, 4, 0, 3, 0x04, 0x0A}), MacroRecordOf({1, 4, 0x04, 0}),
                      MacroRecordOf({1, 4})}) {
        SendRecord(MacroRecordOf({1, 4, 0x04, 1, 0x04, 0x0A}));
        ASSERT_EQ(keyboard_.MacroRecord(1, 4)[2], 0x04);
        SendRecord(head);
        EXPECT_EQ(keyboard_.MacroRecord(1, 4), SimMacroRecord{}) << "byte 2 " << int{head[2]};
    }
}

TEST_F(FirmwareTest, TransferToAMissingProfileOrSlotIsDropped) {
    const SimKeyboardState before = keyboard_.State();
    for (auto [profile, slot] : {std::pair{0, 1}, {4, 1}, {1, 0}, {1, 13}}) {
        SendRecord(MacroRecordOf({profile, slot, 0x04, 1}));
    }
    EXPECT_EQ(keyboard_.State(), before);
}

TEST_F(FirmwareTest, InterruptedTransferStoresNothing) {
    const SimMacroRecord record = MacroRecordOf({1, 2, 0x04, 1, 0x04, 0x0A});

    // Another command in the middle aborts; the rest of the reports are then stray.
    SendRecord(record, 10);
    ASSERT_TRUE(Send({7, 0xFC, 1}));
    for (int k = 10; k < 28; ++k) {
        ASSERT_TRUE(Send({7, 0, 0, 0, 0, 0, 0, 0}));
    }
    EXPECT_EQ(keyboard_.MacroRecord(1, 2), SimMacroRecord{});

    // A new first report starts over; only the complete second transfer counts.
    SendRecord(MacroRecordOf({1, 3, 0x05, 1}), 27);
    SendRecord(record);
    EXPECT_EQ(keyboard_.MacroRecord(1, 3), SimMacroRecord{});
    EXPECT_EQ(keyboard_.MacroRecord(1, 2), record);

    // A read in the middle does not disturb the transfer.
    SendRecord(MacroRecordOf({1, 5, 0x06, 2}), 1);
    Read();
    for (int k = 1; k < 28; ++k) {
        ASSERT_TRUE(Send({7, 0}));
    }
    EXPECT_EQ(keyboard_.MacroRecord(1, 5)[2], 0x06);
}

TEST_F(FirmwareTest, LightingKeepsOneRecordPerEffect) {
    ASSERT_TRUE(Send({7, 0xF7, 3, 4, 2, 1, 0, 0}));
    ASSERT_TRUE(Send({7, 0xF7, 8, 0x2F, 0, 0, 3, 0}));
    EXPECT_EQ(keyboard_.LightingEffect(), 8);
    EXPECT_EQ(keyboard_.LightingRecord(3), (SimLightingRecord{4, 2, 1, 0, 0}));
    EXPECT_EQ(keyboard_.LightingRecord(8), (SimLightingRecord{0x2F, 0, 0, 3, 0}));

    ASSERT_TRUE(Send({7, 0xF7, 10, 9, 9, 9, 9, 9}));
    EXPECT_EQ(keyboard_.LightingEffect(), 8);
}

TEST_F(FirmwareTest, FactoryResetNeedsItsParameterAndRestoresEverything) {
    SendRecord(MacroRecordOf({2, 1, 0x04, 1}));
    ASSERT_TRUE(Send({7, 0xFA, 3, 12, 0x2C, 1, 0x04, 1}));
    ASSERT_TRUE(Send({7, 0xF7, 5, 7, 2, 1, 1, 0}));
    ASSERT_TRUE(Send({7, 0xFC, 3}));
    const SimKeyboardState changed = keyboard_.State();

    ASSERT_TRUE(Send({7, 0xF0, 0x55}));
    EXPECT_EQ(keyboard_.State(), changed);

    ASSERT_TRUE(Send({7, 0xF0, 0xAA}));
    EXPECT_EQ(keyboard_.State(), SimKeyboardState{});
}

TEST_F(FirmwareTest, OtherReportIdsAndUnknownCommandsChangeNothing) {
    ASSERT_TRUE(Send({7, 0xFB, 1}));
    const SimKeyboardState before = keyboard_.State();
    EXPECT_TRUE(Send({6, 0xFC, 2}));
    EXPECT_TRUE(Send({7, 0x42, 1, 2, 3}));
    EXPECT_TRUE(Send({7, 0}));  // continuation outside a transfer
    EXPECT_EQ(keyboard_.State(), before);
    // A read of another report id fails and leaves the buffer as prepared.
    Report other{6};
    EXPECT_FALSE(handle_->GetFeature(other));
    EXPECT_EQ(other, Frame({6}));
    EXPECT_EQ(Read(), Frame({7, 1}));  // the prepared reply is still first
}

TEST_F(FirmwareTest, DumpListsAssignmentsAndLighting) {
    SendRecord(MacroRecordOf({1, 1, 0x04, 3, 0x04, 0x0A, 0x04, 0x82}));
    ASSERT_TRUE(Send({7, 0xFA, 2, 12, 0x2C, 1, 0x05, 1}));
    const std::string dump = keyboard_.Dump();
    EXPECT_NE(dump.find("active profile 1\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("macro slot 1: key 04 repeat 3 steps [04 0a 04 82]"), std::string::npos)
        << dump;
    EXPECT_NE(dump.find("profile 2\n  remap slot 12: key 2c -> 05"), std::string::npos) << dump;
    EXPECT_NE(dump.find("effect 8: 00 00 00 03 00"), std::string::npos) << dump;
}

}  // namespace
}  // namespace kb::test
