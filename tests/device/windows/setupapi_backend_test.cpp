// The Windows back end against the HID devices Wine provides itself: its virtual mouse
// (845e:0001) and keyboard (845e:0002), neither of which knows the keyboard's feature reports.
#include "device/windows/setupapi_backend.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "device/device_channel.h"
#include "device/discovery.h"
#include "device/trace_sink.h"
#include "device/windows/mutex_gate.h"

namespace kb {
namespace {

constexpr std::uint16_t kWineVendor = 0x845e;
constexpr std::uint16_t kWineMouse = 0x0001;
constexpr std::uint16_t kWineKeyboard = 0x0002;

std::vector<HidInterfaceInfo> WineDevices(SetupApiBackend& backend) {
    std::vector<HidInterfaceInfo> wine;
    for (const HidInterfaceInfo& info : backend.Enumerate()) {
        if (info.vendorId == kWineVendor) {
            wine.push_back(info);
        }
    }
    return wine;
}

TEST(SetupApiBackend, ListsWinesDevicesWithPathFieldsUsageAndStrings) {
    SetupApiBackend backend;
    const std::vector<HidInterfaceInfo> wine = WineDevices(backend);
    ASSERT_EQ(wine.size(), 2u);
    for (const HidInterfaceInfo& info : wine) {
        SCOPED_TRACE(info.path);
        EXPECT_EQ(info.path.rfind("\\\\?\\hid#vid_845e&pid_000", 0), 0u);
        EXPECT_EQ(info.interfacePath, info.path);
        const std::optional<PathFields> fields = ParseInterfacePath(info.interfacePath);
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->pid, info.productId);
        EXPECT_EQ(info.interfaceNumber, -1);
        EXPECT_EQ(info.collection, -1);
        EXPECT_EQ(info.usagePage, 0x01);  // generic desktop
        ASSERT_TRUE(info.product);
        EXPECT_EQ(info.product->rfind("Wine HID ", 0), 0u);
    }
    const auto usageOf = [&](std::uint16_t pid) {
        const auto it = std::find_if(wine.begin(), wine.end(),
                                     [&](const HidInterfaceInfo& i) { return i.productId == pid; });
        return it == wine.end() ? 0 : it->usage;
    };
    EXPECT_EQ(usageOf(kWineMouse), 0x02);
    EXPECT_EQ(usageOf(kWineKeyboard), 0x06);
}

TEST(SetupApiBackend, DiscoveryProbesTheMatchAndTheLastMatchWins) {
    SetupApiBackend backend;
    const std::vector<HidInterfaceInfo> wine = WineDevices(backend);
    ASSERT_FALSE(wine.empty());

    // Any product of the vendor, any interface and collection: the last one listed wins.
    Trace diagnostics;
    const auto found = FindKeyboardInterface(backend, {kWineVendor, 0, -1, -1}, &diagnostics);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path, wine.back().path);
    EXPECT_EQ(found->productId, wine.back().productId);
    EXPECT_EQ(found->usagePage, 0x01);
    EXPECT_TRUE(found->product);
    // Every match was opened once for the probe, and the handles were valid.
    std::size_t probes = 0;
    for (const std::string& line : diagnostics.Lines()) {
        if (line.rfind("open dev: ", 0) == 0) {
            ++probes;
            EXPECT_NE(line, "open dev: ffffffff");
        }
    }
    EXPECT_EQ(probes, wine.size());

    // One product only.
    const auto mouse = FindKeyboardInterface(backend, {kWineVendor, kWineMouse, -1, -1}, nullptr);
    ASSERT_TRUE(mouse);
    EXPECT_EQ(mouse->productId, kWineMouse);
    EXPECT_EQ(mouse->usage, 0x02);

    // Interface 0 asks for an "&mi_00" part, which Wine's paths do not have.
    EXPECT_FALSE(FindKeyboardInterface(backend, {kWineVendor, kWineMouse, 0, -1}, nullptr));
}

TEST(SetupApiBackend, ChannelOpensAndAFailedExchangeLeavesTheBufferAlone) {
    SetupApiBackend backend;
    MutexGate gate(L"kbconfig-test-channel-gate");
    DeviceChannel channel(backend, gate);
    ASSERT_EQ(channel.OpenChannel(kWineVendor, kWineKeyboard, -1, -1), 1);
    EXPECT_EQ(channel.State(), DeviceChannel::HandleState::Open);

    // Wine's keyboard has no feature report 7: both calls fail.
    Report buffer{7, 0xfb, 1, 2, 3, 4, 5, 6};
    const Report prepared = buffer;
    EXPECT_EQ(channel.ReadFeature(buffer), 0);
    EXPECT_EQ(buffer, prepared);
    EXPECT_EQ(channel.SendFeature(buffer), 0);

    // A vendor with no device: the search fails and the open handle stays.
    EXPECT_EQ(channel.OpenChannel(0x1234, 0xabcd, -1, -1), 0);
    EXPECT_EQ(channel.State(), DeviceChannel::HandleState::Open);
    channel.CloseChannel();
    EXPECT_EQ(channel.State(), DeviceChannel::HandleState::None);
}

TEST(SetupApiBackend, UnknownPathDoesNotOpen) {
    SetupApiBackend backend;
    EXPECT_EQ(backend.Open("\\\\?\\hid#vid_1234&pid_abcd#0&0000&0&0#{4d1e55b2-f16f-11cf-88cb-"
                           "001111000030}"),
              nullptr);
    HidInterfaceInfo info;
    info.path = "\\\\?\\hid#vid_1234&pid_abcd#missing";
    info.usagePage = 1;
    info.product = "stale";
    EXPECT_EQ(FormatHandleValue(backend.Probe(info)), "ffffffff");
    EXPECT_EQ(info.usagePage, 0);
    EXPECT_FALSE(info.product);
}

}  // namespace
}  // namespace kb
