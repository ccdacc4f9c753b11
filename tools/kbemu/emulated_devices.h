#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kb::emu {

// One USB interface of an emulated device with its HID device and hidraw node.
struct EmulatedInterface {
    int number = 0;  // bInterfaceNumber
    std::uint8_t subclass = 0;
    std::uint8_t protocol = 0;  // 1 keyboard, 2 mouse (boot protocol)
    int hidraw = 0;             // N of /dev/hidrawN
    int hidSequence = 0;        // the ".000N" of the HID device's name
    std::vector<std::uint8_t> descriptor;
    bool answersProtocol = false;  // feature report 7 of the keyboard's protocol lives here
};

// One emulated USB device.
struct EmulatedUsbDevice {
    std::string port;  // "1-2": its name below the root hub
    int devnum = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t release = 0;  // bcdDevice
    std::string manufacturer;
    std::string product;
    std::string serial;
    std::vector<EmulatedInterface> interfaces;
    bool isKeyboard = false;  // the device that unplugs and plugs back
};

// The devices the emulator presents for a keyboard identity: an unrelated mouse, then the
// keyboard with interface 0 (or 1 when the protocol takes 0) as a boot keyboard and the
// protocol interface. collection < 0 gives the protocol interface one top-level collection;
// otherwise it has collections 1..max(collection, 2) and the one numbered collection (at
// least 1) carries feature report 7.
std::vector<EmulatedUsbDevice> MakeEmulatedDevices(std::uint16_t vendorId, std::uint16_t productId,
                                                   int interfaceNumber, int collection);

// Report descriptors.
std::vector<std::uint8_t> BootKeyboardDescriptor();
std::vector<std::uint8_t> MouseDescriptor();
std::vector<std::uint8_t> ProtocolDescriptor(int collectionCount, int protocolCollection);

// A sysfs device: its path below /sys, its subsystem, the KEY=value lines of its uevent file
// and its attribute files.
struct SysDevice {
    std::string devpath;  // "/devices/..."
    std::string subsystem;
    std::vector<std::pair<std::string, std::string>> uevent;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string classLink;   // "class/hidraw/hidraw1" or "bus/usb/devices/1-2"
    std::string deviceLink;  // target of the "device" link, empty for none
    std::string devNumber;   // "major:minor" for /sys/dev/char, empty for none
};

// A device's sysfs entries, parents first.
std::vector<SysDevice> SysDevicesOf(const EmulatedUsbDevice& device);

// Where the hidraw node of an interface lives in the emulated /dev ("hidraw1").
std::string HidrawName(const EmulatedInterface& interface);
// The HID device's name, "0003:258A:0049.0002".
std::string HidDeviceName(const EmulatedUsbDevice& device, const EmulatedInterface& interface);

}  // namespace kb::emu
