#include <optional>
#include <regex>

#include "sim_test_support.h"

namespace kb::test {
namespace {

// Fields of an interface path the way the program's discovery reads them: only the last of
// the two characters after "&mi_" and "&col" counts.
struct PathFields {
    int vid = -1, pid = -1, mi = -1, col = -1;
};

std::optional<PathFields> ParsePath(const std::string& path) {
    static const std::regex pattern(
        "hid#vid_([\\da-zA-Z]{4})&pid_([\\da-zA-Z]{4})(&mi_([\\da-zA-Z]){2})?(&col([\\da-zA-Z]){2})"
        "?");
    std::smatch match;
    if (!std::regex_search(path, match, pattern)) {
        return std::nullopt;
    }
    auto hex = [&](std::size_t group) {
        return match[group].matched ? std::stoi(match[group].str(), nullptr, 16) : -1;
    };
    return PathFields{hex(1), hex(2), hex(4), hex(6)};
}

// Discovery's rule: the last enumerated interface that passes every criterion.
std::optional<HidInterfaceInfo> Discover(HidBackend& backend, int vid, int pid, int mi, int col) {
    std::optional<HidInterfaceInfo> found;
    for (const HidInterfaceInfo& info : backend.Enumerate()) {
        auto fields = ParsePath(info.interfacePath);
        if (!fields || (vid > 0 && vid != fields->vid) || (pid > 0 && pid != fields->pid) ||
            (mi >= 0 && mi != fields->mi) || (col >= 0 && col != fields->col)) {
            continue;
        }
        found = info;
    }
    return found;
}

TEST(SimInterfacesTest, LooksLikeACompositeKeyboard) {
    SimulatedKeyboard keyboard(0x258a, 0x0049, 1, 2);
    const auto interfaces = keyboard.Interfaces();
    ASSERT_EQ(interfaces.size(), 5u);
    EXPECT_EQ(interfaces[0].interfacePath,
              "\\\\?\\hid#vid_258a&pid_0049&mi_00#7&2a1f0c2&0&0000#"
              "{4d1e55b2-f16f-11cf-88cb-001111000030}");
    EXPECT_EQ(interfaces[0].usagePage, 0x01);
    EXPECT_EQ(interfaces[0].usage, 0x06);
    EXPECT_EQ(interfaces[3].interfacePath,
              "\\\\?\\hid#vid_258a&pid_0049&mi_01&col02#7&2a200c2&0&0001#"
              "{4d1e55b2-f16f-11cf-88cb-001111000030}");
    EXPECT_EQ(interfaces[3].path, "sim:mi_01&col02");
    EXPECT_EQ(keyboard.ProtocolPath(), "sim:mi_01&col02");
    for (const HidInterfaceInfo& info : interfaces) {
        auto fields = ParsePath(info.interfacePath);
        ASSERT_TRUE(fields) << info.interfacePath;
        EXPECT_EQ(fields->mi, info.interfaceNumber) << info.interfacePath;
        EXPECT_EQ(fields->col, info.collection) << info.interfacePath;
        EXPECT_EQ(info.vendorId, 0x258a);
    }
}

TEST(SimInterfacesTest, DiscoveryWithTheConfiguredCriteriaFindsTheProtocolInterface) {
    struct Case {
        int vid, pid, mi, col;
        const char* expectedPath;
    };
    const Case cases[] = {
        {0x258a, 0x0049, 1, 2, "sim:mi_01&col02"},
        {0x1234, 0xABCD, 1, 2, "sim:mi_01&col02"},
        {0, 0, -1, -1, "sim:mi_01"},
        {0x258a, 0x0049, 1, -1, "sim:mi_01"},
        {0x258a, 0x0049, -1, 3, "sim:mi_01&col03"},
        {0x258a, 0x0049, 0, 0, "sim:mi_00&col00"},
        {0x258a, 0x0049, 0, 1, "sim:mi_00&col01"},
        {0x258a, 0x0049, 2, 1, "sim:mi_02&col01"},
        {0x258a, 0x0049, 10, 12, "sim:mi_0a&col0c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expectedPath);
        SimulatedKeyboard keyboard(c.vid, c.pid, c.mi, c.col);
        SimulatedHidBackend backend(keyboard);
        auto found = Discover(backend, c.vid, c.pid, c.mi, c.col);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->path, c.expectedPath);
        EXPECT_EQ(found->path, keyboard.ProtocolPath());
        EXPECT_EQ(found->usagePage, 0xFF00);
        auto handle = backend.Open(found->path);
        ASSERT_TRUE(handle);
        EXPECT_TRUE(handle->SetFeature(Frame({7, 0xFC, 2})));
        EXPECT_EQ(keyboard.ActiveProfile(), 2);
    }
}

TEST(SimInterfacesTest, OnlyTheProtocolInterfaceAnswers) {
    SimulatedKeyboard keyboard(0x258a, 0x0049, 1, 2);
    SimulatedHidBackend backend(keyboard);
    EXPECT_EQ(backend.Open("sim:mi_07"), nullptr);
    for (const HidInterfaceInfo& info : backend.Enumerate()) {
        if (info.path == keyboard.ProtocolPath()) {
            continue;
        }
        auto handle = backend.Open(info.path);
        ASSERT_TRUE(handle) << info.path;
        Report report = Frame({7});
        EXPECT_FALSE(handle->SetFeature(Frame({7, 0xFC, 2}))) << info.path;
        EXPECT_FALSE(handle->GetFeature(report)) << info.path;
    }
    EXPECT_EQ(keyboard.ActiveProfile(), 1);
    EXPECT_TRUE(keyboard.Exchanges().empty());
}

using SimFaultTest = SimKeyboardTest;

TEST_F(SimFaultTest, UnpluggedHandlesStayDeadAfterReplug) {
    ASSERT_TRUE(Send({7, 0xFB, 1}));
    keyboard_.Unplug();
    EXPECT_TRUE(backend_.Enumerate().empty());
    EXPECT_EQ(backend_.Open(keyboard_.ProtocolPath()), nullptr);
    EXPECT_FALSE(Send({7, 0xFC, 2}));

    keyboard_.Plug();
    EXPECT_EQ(backend_.Enumerate().size(), 5u);
    EXPECT_FALSE(Send({7, 0xFC, 2}));
    EXPECT_EQ(keyboard_.ActiveProfile(), 1);

    handle_ = backend_.Open(keyboard_.ProtocolPath());
    ASSERT_TRUE(handle_);
    EXPECT_EQ(Read(), Frame({7}));  // the replies prepared before were lost
    EXPECT_TRUE(Send({7, 0xFC, 2}));
    EXPECT_EQ(keyboard_.ActiveProfile(), 2);
}

TEST_F(SimFaultTest, UnplugLosesAPartialTransferButKeepsTheStoredState) {
    SendRecord(MacroRecordOf({1, 1, 0x04, 1}));
    SendRecord(MacroRecordOf({1, 2, 0x05, 1}), 20);
    keyboard_.Unplug();
    keyboard_.Plug();
    handle_ = backend_.Open(keyboard_.ProtocolPath());
    for (int k = 20; k < 28; ++k) {
        ASSERT_TRUE(Send({7, 0}));
    }
    EXPECT_EQ(keyboard_.MacroRecord(1, 1)[2], 0x04);
    EXPECT_EQ(keyboard_.MacroRecord(1, 2), SimMacroRecord{});
}

TEST_F(SimFaultTest, UnplugAfterExchangesCutsTheCableMidTransfer) {
    keyboard_.UnplugAfterExchanges(3);  // a send, a read, a send go through
    EXPECT_TRUE(Send({7, 0xFC, 2}));
    Report report = Frame({7});
    EXPECT_TRUE(handle_->GetFeature(report));
    SendRecord(MacroRecordOf({2, 1, 0x04, 1}), 1);
    EXPECT_FALSE(Send({7, 0}));
    EXPECT_FALSE(keyboard_.IsPlugged());
    EXPECT_TRUE(backend_.Enumerate().empty());
    EXPECT_EQ(keyboard_.MacroRecord(2, 1), SimMacroRecord{});
    EXPECT_EQ(keyboard_.ActiveProfile(), 2);

    // Plugged in again, the fault is used up.
    keyboard_.Plug();
    handle_ = backend_.Open(keyboard_.ProtocolPath());
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(Send({7, 0xFC, 1}));
    }
}

TEST_F(SimFaultTest, FailedExchangesNeverReachTheFirmware) {
    keyboard_.FailNextExchanges(2);
    EXPECT_FALSE(Send({7, 0xFC, 2}));
    Report report = Frame({7});
    EXPECT_FALSE(handle_->GetFeature(report));
    EXPECT_TRUE(Send({7, 0xFC, 3}));
    EXPECT_EQ(keyboard_.ActiveProfile(), 3);

    keyboard_.FailAllExchanges(true);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(Send({7, 0xFC, 1}));
    }
    EXPECT_EQ(keyboard_.ActiveProfile(), 3);

    // A failed read uses up no reply.
    keyboard_.FailAllExchanges(false);
    ASSERT_TRUE(Send({7, 0xFB, 1}));
    keyboard_.FailNextExchanges(1);
    report = Frame({7});
    EXPECT_FALSE(handle_->GetFeature(report));
    EXPECT_EQ(report, Frame({7}));
    EXPECT_EQ(Read(), Frame({7, 3}));

    const auto exchanges = keyboard_.Exchanges();
    ASSERT_FALSE(exchanges.empty());
    EXPECT_EQ(exchanges.front(), (SimExchange{SimExchange::Kind::Set, Frame({7, 0xFC, 2}), false}));
    EXPECT_EQ(exchanges.back(), (SimExchange{SimExchange::Kind::Get, Frame({7, 3}), true}));
}

TEST_F(SimFaultTest, WrongLengthRepliesFailAndLeaveTheBuffer) {
    ASSERT_TRUE(Send({7, 0xFB, 1}));
    keyboard_.ReplyWithWrongLength(1);
    Report report = Frame({7});
    EXPECT_FALSE(handle_->GetFeature(report));
    EXPECT_EQ(report, Frame({7}));
    EXPECT_EQ(Read(), Frame({7}));  // the second reply: the first was sent, though short

    keyboard_.ReplyWithWrongLength(SimulatedKeyboard::kEveryRead);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(handle_->GetFeature(report));
    }
    keyboard_.ClearFaults();
    EXPECT_TRUE(handle_->GetFeature(report));
}

TEST_F(SimFaultTest, GarbageRepliesSucceedWithForeignBytes) {
    ASSERT_TRUE(Send({7, 0xFA, 1, 1, 0x29, 1, 0x05, 1}));
    ASSERT_TRUE(Send({7, 0xFB, 1}));
    keyboard_.ReplyWithGarbage(1, std::array<std::uint8_t, 7>{9, 9, 9, 9, 9, 9, 9});
    EXPECT_EQ(Read(), Frame({7, 9, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(Read(), Frame({7}));

    keyboard_.ReplyWithGarbage(SimulatedKeyboard::kEveryRead);
    bool anyNonZero = false;
    for (int i = 0; i < 4; ++i) {
        const Report report = Read();
        EXPECT_EQ(report[0], 7);
        anyNonZero = anyNonZero || std::any_of(report.begin() + 1, report.end(),
                                               [](std::uint8_t b) { return b != 0; });
    }
    EXPECT_TRUE(anyNonZero);
}

TEST_F(SimFaultTest, OpenFailureHidesNothingButRefusesTheHandle) {
    keyboard_.SetOpenFailure(true);
    EXPECT_EQ(backend_.Enumerate().size(), 5u);
    EXPECT_EQ(backend_.Open(keyboard_.ProtocolPath()), nullptr);
    EXPECT_TRUE(Send({7, 0xFC, 2}));  // a handle opened before keeps working
    keyboard_.SetOpenFailure(false);
    EXPECT_NE(backend_.Open(keyboard_.ProtocolPath()), nullptr);
}

TEST(SimLifetimeTest, HandleOutlivingTheKeyboardFails) {
    std::unique_ptr<HidHandle> handle;
    {
        SimulatedKeyboard keyboard(0x258a, 0x0049, 1, 2);
        handle = keyboard.Open(keyboard.ProtocolPath());
        ASSERT_TRUE(handle);
    }
    Report report = Frame({7});
    EXPECT_FALSE(handle->SetFeature(Frame({7, 0xFC, 2})));
    EXPECT_FALSE(handle->GetFeature(report));
}

}  // namespace
}  // namespace kb::test
