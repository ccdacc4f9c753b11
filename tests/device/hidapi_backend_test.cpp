#include "device/linux/hidapi_backend.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <utility>

#include "device/discovery.h"

namespace kb {
namespace {

TEST(HidapiBackend, OpenFailuresTellARefusalFromTheRest) {
    const std::pair<int, OpenFailure> cases[] = {
        {EACCES, OpenFailure::NoPermission}, {EPERM, OpenFailure::NoPermission},
        {ENOENT, OpenFailure::NotFound},     {ENODEV, OpenFailure::NotFound},
        {EBUSY, OpenFailure::Other},         {EIO, OpenFailure::Other},
    };
    for (const auto& [error, reason] : cases) {
        EXPECT_EQ(OpenFailureOfErrno(error), reason) << error;
    }
    HidapiBackend backend;
    EXPECT_EQ(backend.WhyOpenFailed("/dev/no-such-hidraw"), OpenFailure::NotFound);
}

TEST(ExpandCollections, OneEntryPerTopLevelCollection) {
    HidInterfaceInfo device;
    device.path = "/dev/hidraw3";
    device.vendorId = 0x258a;
    device.productId = 0x0049;
    device.interfaceNumber = 1;
    device.product = "Keyboard";

    const auto several =
        ExpandCollections(device, {{0x0C, 0x01}, {0x01, 0x80}, {0xFF00, 0x01}}, "hidraw3");
    ASSERT_EQ(several.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(several[static_cast<std::size_t>(i)].collection, i + 1);
        EXPECT_EQ(several[static_cast<std::size_t>(i)].path, "/dev/hidraw3");
        EXPECT_EQ(several[static_cast<std::size_t>(i)].product, "Keyboard");
    }
    EXPECT_EQ(several[2].usagePage, 0xFF00);
    EXPECT_EQ(
        several[1].interfacePath,
        R"(\\?\hid#vid_258a&pid_0049&mi_01&col02#hidraw3#{4d1e55b2-f16f-11cf-88cb-001111000030})");

    const auto single = ExpandCollections(device, {{0x01, 0x06}}, "hidraw3");
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].collection, -1);
    EXPECT_EQ(single[0].usage, 0x06);
    const auto fields = ParseInterfacePath(single[0].interfacePath);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->mi, 1);
    EXPECT_EQ(fields->col, -1);

    // An unreadable descriptor still lists the device once.
    device.interfaceNumber = -1;
    const auto unknown = ExpandCollections(device, {}, "hidraw3");
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0].interfacePath,
              R"(\\?\hid#vid_258a&pid_0049#hidraw3#{4d1e55b2-f16f-11cf-88cb-001111000030})");
}

// Whatever the machine has plugged in: every entry must be a candidate for the matcher.
TEST(HidapiBackend, EnumeratesMatchablePaths) {
    HidapiBackend backend;
    for (const HidInterfaceInfo& info : backend.Enumerate()) {
        EXPECT_TRUE(ParseInterfacePath(info.interfacePath)) << info.interfacePath;
    }
    EXPECT_EQ(backend.Open("/nonexistent/hidraw"), nullptr);
    HidInterfaceInfo missing;
    missing.path = "/nonexistent/hidraw";
    EXPECT_EQ(backend.Probe(missing), -1);
}

}  // namespace
}  // namespace kb
