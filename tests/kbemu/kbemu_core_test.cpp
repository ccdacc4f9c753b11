#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <libudev.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "device/report_descriptor.h"
#include "emulated_devices.h"
#include "namespace_setup.h"
#include "sysfs_tree.h"
#include "uevent_message.h"

namespace kb::emu {
namespace {

namespace fs = std::filesystem;

const EmulatedUsbDevice& KeyboardOf(const std::vector<EmulatedUsbDevice>& devices) {
    return devices.at(1);
}

TEST(EmulatedDevices, ProtocolInterfaceHasCollectionsUpToTheConfiguredOne) {
    struct Case {
        int interfaceNumber;
        int collection;
        std::vector<TopLevelCollection> expected;
        int bootInterface;
    };
    const TopLevelCollection vendor{0xFF00, 0x01};
    const TopLevelCollection consumer{0x0C, 0x01};
    const TopLevelCollection system{0x01, 0x80};
    const Case cases[] = {
        {1, 2, {consumer, vendor}, 0}, {2, 4, {consumer, system, {0xFF01, 0x01}, vendor}, 0},
        {1, 1, {vendor, consumer}, 0},  // one collection would carry no number at all
        {3, -1, {vendor}, 0},          {0, 2, {consumer, vendor}, 1},
    };
    for (const Case& c : cases) {
        const auto devices = MakeEmulatedDevices(0x258a, 0x0049, c.interfaceNumber, c.collection);
        const EmulatedUsbDevice& keyboard = KeyboardOf(devices);
        ASSERT_EQ(keyboard.interfaces.size(), 2u);
        for (const EmulatedInterface& interface : keyboard.interfaces) {
            const auto collections = ParseTopLevelCollections(interface.descriptor);
            if (interface.answersProtocol) {
                EXPECT_EQ(interface.number, c.interfaceNumber);
                EXPECT_EQ(collections, c.expected) << "collection " << c.collection;
            } else {
                EXPECT_EQ(interface.number, c.bootInterface);
                EXPECT_EQ(collections, (std::vector<TopLevelCollection>{{0x01, 0x06}}));
            }
        }
        EXPECT_EQ(ParseTopLevelCollections(devices.at(0).interfaces.at(0).descriptor),
                  (std::vector<TopLevelCollection>{{0x01, 0x02}}));
    }
}

TEST(EmulatedDevices, FeatureReportSevenIsEightBytesInTheVendorCollection) {
    const auto descriptor = ProtocolDescriptor(3, 2);
    // Report ID 7, size 8, count 7, Feature (Data, Variable, Absolute).
    const std::uint8_t feature[] = {0x85, 0x07, 0x09, 0x02, 0x15, 0x00, 0x26, 0xFF,
                                    0x00, 0x75, 0x08, 0x95, 0x07, 0xB1, 0x02};
    const auto found =
        std::search(descriptor.begin(), descriptor.end(), std::begin(feature), std::end(feature));
    ASSERT_NE(found, descriptor.end());
    // No other collection takes report id 7.
    EXPECT_EQ(std::count(descriptor.begin(), descriptor.end(), std::uint8_t{0x85}), 3);
    for (std::size_t i = 0; i + 1 < descriptor.size(); ++i) {
        if (descriptor[i] == 0x85 && descriptor.begin() + static_cast<long>(i) != found) {
            EXPECT_NE(descriptor[i + 1], 0x07);
        }
    }
}

class SysfsTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kbemu-sysfs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    static std::string Read(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string root_;
};

TEST_F(SysfsTreeTest, LaysOutTheKeyboardAsTheKernelDoes) {
    const auto devices = MakeEmulatedDevices(0x258a, 0x0049, 1, 2);
    const EmulatedUsbDevice& keyboard = KeyboardOf(devices);
    SysfsTree tree(root_);
    std::string error;
    ASSERT_TRUE(tree.Prepare(error)) << error;
    ASSERT_TRUE(tree.Add(SysDevicesOf(keyboard), error)) << error;

    // hidapi's way in: the class link, the hid parent's descriptor and uevent.
    const fs::path hidraw = fs::path(root_) / "class/hidraw/hidraw2";
    const auto& descriptor = keyboard.interfaces.at(1).descriptor;
    EXPECT_EQ(Read(hidraw / "device/report_descriptor"),
              std::string(descriptor.begin(), descriptor.end()));
    EXPECT_NE(Read(hidraw / "device/uevent").find("HID_ID=0003:0000258A:00000049\n"),
              std::string::npos);
    EXPECT_EQ(Read(hidraw / "uevent"), "MAJOR=241\nMINOR=2\nDEVNAME=hidraw2\n");
    EXPECT_EQ(fs::canonical(hidraw / "subsystem"), fs::canonical(root_ + "/class/hidraw"));
    EXPECT_EQ(fs::canonical(hidraw / "device/subsystem"), fs::canonical(root_ + "/bus/hid"));
    EXPECT_EQ(fs::canonical(root_ + "/dev/char/241:2"), fs::canonical(hidraw));

    // libudev and udev rules walk up the folders to the interface and the device.
    const fs::path interface = fs::canonical(hidraw).parent_path().parent_path().parent_path();
    EXPECT_EQ(interface.filename(), "1-2:1.1");
    EXPECT_EQ(Read(interface / "bInterfaceNumber"), "01\n");
    EXPECT_EQ(fs::canonical(interface / "subsystem"), fs::canonical(root_ + "/bus/usb"));
    EXPECT_EQ(Read(interface.parent_path() / "idVendor"), "258a\n");
    EXPECT_EQ(Read(interface.parent_path() / "idProduct"), "0049\n");
    EXPECT_NE(Read(interface.parent_path() / "uevent").find("DEVTYPE=usb_device\n"),
              std::string::npos);

    tree.Remove(SysDevicesOf(keyboard));
    EXPECT_FALSE(fs::exists(fs::symlink_status(hidraw)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root_ + "/dev/char/241:2")));
    EXPECT_FALSE(fs::exists(root_ + SysDevicesOf(keyboard).front().devpath));
    EXPECT_TRUE(fs::is_empty(root_ + "/bus/usb/devices"));
}

TEST(UdevMessage, HeaderAndPropertiesAsLibudevReadsThem) {
    const auto devices = MakeEmulatedDevices(0x258a, 0x0049, 1, 2);
    const SysDevice hidraw = SysDevicesOf(KeyboardOf(devices)).back();
    const auto message = UdevMessage("remove", hidraw, 42);

    ASSERT_GT(message.size(), 40u);
    EXPECT_EQ(std::memcmp(message.data(), "libudev\0", 8), 0);
    auto word = [&](std::size_t offset) {
        std::uint32_t value;
        std::memcpy(&value, message.data() + offset, sizeof value);
        return value;
    };
    EXPECT_EQ(ntohl(word(8)), 0xfeedcafeu);
    EXPECT_EQ(word(12), 40u);  // header size
    EXPECT_EQ(word(16), 40u);  // properties offset
    EXPECT_EQ(word(20), message.size() - 40);
    EXPECT_EQ(ntohl(word(24)), SubsystemHash("hidraw"));
    EXPECT_EQ(word(28), 0u);  // no devtype
    const std::string properties(message.begin() + 40, message.end());
    EXPECT_EQ(properties, std::string("ACTION=remove\0DEVPATH=", 22) + hidraw.devpath +
                              std::string("\0SUBSYSTEM=hidraw\0MAJOR=241\0MINOR=2\0"
                                          "DEVNAME=hidraw2\0SEQNUM=42\0",
                                          62));
}

// libudev itself is the reference: a monitor filtering on "hidraw" in a private network
// namespace takes the hidraw events (its socket filter compares the subsystem hash) and drops
// the others.
TEST(UdevMessage, LibudevMonitorReceivesTheEventsItFiltersFor) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root for private namespaces";
    }
    // Only in kbemu's own /run does libudev hand out a monitor whatever the machine runs.
    if (const std::string error = EnterPrivateNamespaces(); !error.empty()) {
        GTEST_SKIP() << error;
    }
    ASSERT_EQ(MountPrivateRun(), "");
    udev* context = udev_new();
    ASSERT_NE(context, nullptr);
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    ASSERT_NE(monitor, nullptr);
    ASSERT_GE(udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr), 0);
    ASSERT_GE(udev_monitor_enable_receiving(monitor), 0);

    const auto devices = MakeEmulatedDevices(0x258a, 0x0049, 1, 2);
    UdevEventSender sender;
    for (const SysDevice& device : SysDevicesOf(KeyboardOf(devices))) {
        ASSERT_TRUE(sender.Send("add", device));
    }
    std::vector<std::string> received;
    pollfd fd{udev_monitor_get_fd(monitor), POLLIN, 0};
    while (poll(&fd, 1, 500) > 0) {
        udev_device* device = udev_monitor_receive_device(monitor);
        if (device == nullptr) {
            break;
        }
        received.push_back(std::string(udev_device_get_action(device)) + " " +
                           udev_device_get_subsystem(device) + " " +
                           udev_device_get_devnode(device));
        udev_device_unref(device);
    }
    EXPECT_EQ(received,
              (std::vector<std::string>{"add hidraw /dev/hidraw1", "add hidraw /dev/hidraw2"}));
    udev_monitor_unref(monitor);
    udev_unref(context);
}

}  // namespace
}  // namespace kb::emu
