#include "device/device_channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fake_backend.h"

namespace kb {
namespace {

using Lines = std::vector<std::string>;

const std::string kKeyboard =
    R"(\\?\hid#vid_1234&pid_abcd&mi_01&col02#x#{4d1e55b2-f16f-11cf-88cb-001111000030})";

// Logs each pass into the back end's log, so tests see the gate's place among the calls.
class LoggingGate : public DeviceGate {
public:
    explicit LoggingGate(std::vector<std::string>& log) : log_(log) {}
    void Pass() override { log_.push_back("gate"); }

private:
    std::vector<std::string>& log_;
};

class DeviceChannelTest : public ::testing::Test {
protected:
    DeviceChannelTest() { backend.Add(kKeyboard, "kbd"); }

    int Open() { return channel.OpenChannel(0x1234, 0xabcd, 1, 2); }
    Lines& Log() { return backend.shared->log; }

    test::FakeBackend backend;
    LoggingGate gate{backend.shared->log};
    Trace diagnostics;
    Trace trace;
    DeviceChannel channel{backend, gate, &diagnostics, &trace};
    const Report select{0x07, 0xfc, 0x02, 0, 0, 0, 0, 0};
};

TEST_F(DeviceChannelTest, NewChannelSkipsExchanges) {
    EXPECT_EQ(channel.State(), DeviceChannel::HandleState::None);
    EXPECT_EQ(channel.SendFeature(select), 0);
    Report read{0x07, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(channel.ReadFeature(read), 0);
    EXPECT_EQ(read, (Report{0x07, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(trace.Lines(), (Lines{"send 07 fc 02 00 00 00 00 00 failed",
                                    "read 07 00 00 00 00 00 00 00 failed"}));
    EXPECT_TRUE(Log().empty());
}

TEST_F(DeviceChannelTest, OpenExchangeAndTrace) {
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(channel.State(), DeviceChannel::HandleState::Open);
    backend.shared->reply = {0x07, 0x0a, 0xff, 0x10, 0x01, 0x02, 0x03, 0xab};
    Report read{0x07, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(channel.SendFeature(select), 1);
    EXPECT_EQ(channel.ReadFeature(read), 1);
    EXPECT_EQ(read, backend.shared->reply);
    EXPECT_EQ(trace.Lines(),
              (Lines{"send 07 fc 02 00 00 00 00 00", "read 07 0a ff 10 01 02 03 ab"}));
    EXPECT_EQ(backend.shared->sent, std::vector<Report>{select});
    // The gate comes before discovery and before every exchange.
    EXPECT_EQ(Log(), (Lines{"gate", "enumerate", "open kbd", "close kbd", "open kbd", "gate",
                            "set kbd", "gate", "get kbd"}));
    EXPECT_EQ(diagnostics.Lines(),
              (Lines{"got classs: guid={4d1e55b2-f16f-11cf-88cb001111000030}",
                     "enum interface: guid={4d1e55b2-f16f-11cf-88cb001111000030} index=0",
                     "open dev: 00000101", "open dev: 00000102"}));
}

TEST_F(DeviceChannelTest, ReopenClosesTheOldHandleFirst) {
    ASSERT_EQ(Open(), 1);
    Log().clear();
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(Log(),
              (Lines{"gate", "enumerate", "open kbd", "close kbd", "close kbd", "open kbd"}));
    EXPECT_EQ(backend.shared->liveHandles, 1);
}

TEST_F(DeviceChannelTest, FailedSearchKeepsTheOldHandle) {
    ASSERT_EQ(Open(), 1);
    backend.interfaces.clear();
    backend.shared->unplugged = true;
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(channel.State(), DeviceChannel::HandleState::Open);
    EXPECT_EQ(backend.shared->liveHandles, 1);
    // Exchanges still go to the old handle and fail there; a failed read keeps the buffer.
    Log().clear();
    Report read{0x07, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(channel.SendFeature(select), 0);
    EXPECT_EQ(channel.ReadFeature(read), 0);
    EXPECT_EQ(read, (Report{0x07, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Log(), (Lines{"gate", "set kbd", "gate", "get kbd"}));
    EXPECT_EQ(trace.Lines(), (Lines{"send 07 fc 02 00 00 00 00 00 failed",
                                    "read 07 01 02 03 04 05 06 07 failed"}));
}

TEST_F(DeviceChannelTest, FailedOpenReplacesTheHandleAndExchangesFail) {
    ASSERT_EQ(Open(), 1);
    backend.unopenable.insert("kbd");
    diagnostics.Clear();
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(channel.State(), DeviceChannel::HandleState::FailedOpen);
    EXPECT_EQ(backend.shared->liveHandles, 0);
    EXPECT_EQ(
        std::count(diagnostics.Lines().begin(), diagnostics.Lines().end(), "open dev: ffffffff"),
        2);
    Log().clear();
    EXPECT_EQ(channel.SendFeature(select), 0);
    EXPECT_EQ(Log(), Lines{"gate"});  // the exchange is attempted, not skipped
    EXPECT_EQ(trace.Lines(), Lines{"send 07 fc 02 00 00 00 00 00 failed"});
}

TEST_F(DeviceChannelTest, OpenFailuresCarryTheirReason) {
    EXPECT_EQ(channel.LastOpenFailure(), OpenFailure::None);
    backend.unopenable.insert("kbd");
    for (const OpenFailure reason : {OpenFailure::NoPermission, OpenFailure::Other}) {
        backend.unopenableReason = reason;
        EXPECT_EQ(Open(), 0);
        EXPECT_EQ(channel.LastOpenFailure(), reason);
    }
    backend.unopenable.clear();
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(channel.LastOpenFailure(), OpenFailure::None);
    backend.interfaces.clear();
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(channel.LastOpenFailure(), OpenFailure::NotFound);
}

TEST_F(DeviceChannelTest, FailedExchangesAreCounted) {
    Report reply{0x07};
    EXPECT_EQ(channel.SendFeature(select), 0);  // no handle yet
    EXPECT_EQ(channel.FailedExchanges(), 1u);
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(channel.SendFeature(select), 1);
    EXPECT_EQ(channel.ReadFeature(reply), 1);
    EXPECT_EQ(channel.FailedExchanges(), 1u);
    backend.shared->unplugged = true;
    EXPECT_EQ(channel.SendFeature(select), 0);
    EXPECT_EQ(channel.ReadFeature(reply), 0);
    EXPECT_EQ(channel.FailedExchanges(), 3u);
}

TEST_F(DeviceChannelTest, CloseReleasesTheHandle) {
    ASSERT_EQ(Open(), 1);
    Log().clear();
    channel.CloseChannel();
    EXPECT_EQ(Log(), (Lines{"gate", "close kbd"}));
    EXPECT_EQ(channel.State(), DeviceChannel::HandleState::None);
    EXPECT_EQ(channel.SendFeature(select), 0);
    channel.CloseChannel();  // closing twice is harmless
    EXPECT_EQ(backend.shared->liveHandles, 0);
}

TEST(DeviceChannel, WorksWithoutDiagnosticsOrTrace) {
    test::FakeBackend backend;
    backend.Add(kKeyboard, "kbd");
    OpenGate gate;
    DeviceChannel channel(backend, gate);
    EXPECT_EQ(channel.OpenChannel(0, 0, -1, -1), 1);
    EXPECT_EQ(channel.SendFeature(Report{}), 1);
}

}  // namespace
}  // namespace kb
