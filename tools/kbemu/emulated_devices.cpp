#include "emulated_devices.h"

#include <algorithm>
#include <cstdio>

namespace kb::emu {
namespace {

constexpr std::uint16_t kMouseVendorId = 0x1209;
constexpr std::uint16_t kMouseProductId = 0x7301;
constexpr std::uint16_t kRelease = 0x0105;
constexpr std::uint8_t kProtocolReportId = 7;
constexpr int kHidrawMajor = 241;
constexpr int kUsbMajor = 189;
constexpr int kBusNumber = 1;
constexpr const char* kHostController = "/devices/pci0000:00/0000:00:14.0";
// Report ids of 8 bits; a collection count beyond this would run out of them.
constexpr int kMaxCollections = 200;

std::string Format(const char* format, unsigned value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& bytes, std::initializer_list<std::uint8_t> items) {
    bytes.insert(bytes.end(), items);
}

// Non-protocol collections of the protocol interface, taken in turn.
void AppendFillerCollection(Bytes& bytes, int kind, std::uint8_t reportId) {
    switch (kind % 3) {
        case 0:  // Consumer Control: one 16-bit usage
            Append(bytes, {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, reportId, 0x19,
                           0x00, 0x2A, 0x3C, 0x02, 0x15, 0x00, 0x26, 0x3C,     0x02,
                           0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0});
            break;
        case 1:  // System Control: power, sleep, wake
            Append(bytes, {0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, reportId, 0x19,
                           0x81, 0x29, 0x83, 0x15, 0x00, 0x25, 0x01, 0x75,     0x01,
                           0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01,     0xC0});
            break;
        default:  // a vendor input report
            Append(bytes,
                   {0x06, 0x01, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, reportId, 0x09, 0x01, 0x15,
                    0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81,     0x02, 0xC0});
            break;
    }
}

EmulatedInterface Interface(int number, std::uint8_t subclass, std::uint8_t protocol, int hidraw,
                            Bytes descriptor, bool answersProtocol) {
    EmulatedInterface interface;
    interface.number = number;
    interface.subclass = subclass;
    interface.protocol = protocol;
    interface.hidraw = hidraw;
    interface.hidSequence = hidraw + 1;
    interface.descriptor = std::move(descriptor);
    interface.answersProtocol = answersProtocol;
    return interface;
}

std::string Hex4(unsigned value) {
    return Format("%04x", value);
}

std::string UsbProduct(const EmulatedUsbDevice& device) {
    return Format("%x", device.vendorId) + "/" + Format("%x", device.productId) + "/" +
           Format("%x", device.release);
}

}  // namespace

Bytes BootKeyboardDescriptor() {
    return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
            0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08,
            0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91,
            0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00,
            0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
}

Bytes MouseDescriptor() {
    return {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
            0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
            0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15,
            0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};
}

Bytes ProtocolDescriptor(int collectionCount, int protocolCollection) {
    Bytes bytes;
    std::uint8_t nextId = 1;
    int filler = 0;
    for (int number = 1; number <= collectionCount; ++number) {
        if (number == protocolCollection) {
            // Vendor page: feature report 7, seven data bytes after the id.
            Append(bytes, {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, kProtocolReportId,
                           0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
                           0x95, 0x07, 0xB1, 0x02, 0xC0});
            continue;
        }
        if (nextId == kProtocolReportId) {
            ++nextId;
        }
        AppendFillerCollection(bytes, filler++, nextId++);
    }
    return bytes;
}

std::vector<EmulatedUsbDevice> MakeEmulatedDevices(std::uint16_t vendorId, std::uint16_t productId,
                                                   int interfaceNumber, int collection) {
    std::vector<EmulatedUsbDevice> devices;

    EmulatedUsbDevice mouse;
    mouse.port = "1-1";
    mouse.devnum = 2;
    mouse.vendorId = kMouseVendorId;
    mouse.productId = kMouseProductId;
    mouse.release = kRelease;
    mouse.manufacturer = "kbemu";
    mouse.product = "Emulated Mouse";
    mouse.interfaces.push_back(Interface(0, 1, 2, 0, MouseDescriptor(), false));
    devices.push_back(std::move(mouse));

    // The keyboard sorts after the mouse, so a walk that keeps the last match ends on it.
    EmulatedUsbDevice keyboard;
    keyboard.port = "1-2";
    keyboard.devnum = 3;
    keyboard.vendorId = vendorId;
    keyboard.productId = productId;
    keyboard.release = kRelease;
    keyboard.manufacturer = "kbemu";
    keyboard.product = "Emulated Gaming Keyboard";
    keyboard.serial = "KBEMU0001";
    keyboard.isKeyboard = true;
    const int protocolNumber = std::clamp(interfaceNumber, 0, 0xFF);
    const int bootNumber = protocolNumber == 0 ? 1 : 0;
    Bytes protocolDescriptor;
    if (collection < 0) {
        protocolDescriptor = ProtocolDescriptor(1, 1);
    } else {
        const int protocolCollection = std::clamp(collection, 1, kMaxCollections);
        protocolDescriptor =
            ProtocolDescriptor(std::max(protocolCollection, 2), protocolCollection);
    }
    EmulatedInterface boot = Interface(bootNumber, 1, 1, 1, BootKeyboardDescriptor(), false);
    EmulatedInterface protocol =
        Interface(protocolNumber, 0, 0, 2, std::move(protocolDescriptor), true);
    if (bootNumber < protocolNumber) {
        keyboard.interfaces = {boot, protocol};
    } else {
        protocol.hidraw = 1;
        protocol.hidSequence = 2;
        boot.hidraw = 2;
        boot.hidSequence = 3;
        keyboard.interfaces = {protocol, boot};
    }
    devices.push_back(std::move(keyboard));
    return devices;
}

std::string HidrawName(const EmulatedInterface& interface) {
    return "hidraw" + std::to_string(interface.hidraw);
}

std::string HidDeviceName(const EmulatedUsbDevice& device, const EmulatedInterface& interface) {
    return Format("0003:%04X", device.vendorId) + Format(":%04X", device.productId) +
           Format(".%04X", static_cast<unsigned>(interface.hidSequence));
}

std::vector<SysDevice> SysDevicesOf(const EmulatedUsbDevice& device) {
    std::vector<SysDevice> list;
    const std::string busText = Format("%03u", kBusNumber);
    const std::string devText = Format("%03u", static_cast<unsigned>(device.devnum));
    const std::string usbPath = std::string(kHostController) + "/usb1/" + device.port;

    SysDevice usb;
    usb.devpath = usbPath;
    usb.subsystem = "usb";
    usb.uevent = {{"MAJOR", std::to_string(kUsbMajor)},
                  {"MINOR", std::to_string((kBusNumber - 1) * 128 + device.devnum - 1)},
                  {"DEVNAME", "bus/usb/" + busText + "/" + devText},
                  {"DEVTYPE", "usb_device"},
                  {"DRIVER", "usb"},
                  {"PRODUCT", UsbProduct(device)},
                  {"TYPE", "0/0/0"},
                  {"BUSNUM", busText},
                  {"DEVNUM", devText}};
    usb.attributes = {
        {"idVendor", Hex4(device.vendorId) + "\n"},
        {"idProduct", Hex4(device.productId) + "\n"},
        {"bcdDevice", Hex4(device.release) + "\n"},
        {"manufacturer", device.manufacturer + "\n"},
        {"product", device.product + "\n"},
        {"busnum", std::to_string(kBusNumber) + "\n"},
        {"devnum", std::to_string(device.devnum) + "\n"},
        {"bDeviceClass", "00\n"},
        {"bNumInterfaces", Format("%2u\n", static_cast<unsigned>(device.interfaces.size()))},
        {"speed", "12\n"}};
    if (!device.serial.empty()) {
        usb.attributes.emplace_back("serial", device.serial + "\n");
    }
    usb.classLink = "bus/usb/devices/" + device.port;
    list.push_back(usb);

    for (const EmulatedInterface& interface : device.interfaces) {
        const std::string name = device.port + ":1." + std::to_string(interface.number);
        const std::string interfaceText =
            "3/" + std::to_string(interface.subclass) + "/" + std::to_string(interface.protocol);
        SysDevice usbInterface;
        usbInterface.devpath = usbPath + "/" + name;
        usbInterface.subsystem = "usb";
        usbInterface.uevent = {
            {"DEVTYPE", "usb_interface"},
            {"DRIVER", "usbhid"},
            {"PRODUCT", UsbProduct(device)},
            {"TYPE", "0/0/0"},
            {"INTERFACE", interfaceText},
            {"MODALIAS", "usb:v" + Format("%04X", device.vendorId) + "p" +
                             Format("%04X", device.productId) + "d" + Hex4(device.release) +
                             "dc00dsc00dp00ic03isc" + Format("%02X", interface.subclass) + "ip" +
                             Format("%02X", interface.protocol) + "in" +
                             Format("%02X", static_cast<unsigned>(interface.number))}};
        usbInterface.attributes = {
            {"bInterfaceNumber", Format("%02x\n", static_cast<unsigned>(interface.number))},
            {"bAlternateSetting", " 0\n"},
            {"bInterfaceClass", "03\n"},
            {"bInterfaceSubClass", Format("%02x\n", interface.subclass)},
            {"bInterfaceProtocol", Format("%02x\n", interface.protocol)},
            {"bNumEndpoints", "01\n"}};
        usbInterface.classLink = "bus/usb/devices/" + name;
        list.push_back(usbInterface);

        const std::string hidName = HidDeviceName(device, interface);
        SysDevice hid;
        hid.devpath = usbInterface.devpath + "/" + hidName;
        hid.subsystem = "hid";
        hid.uevent = {
            {"DRIVER", "hid-generic"},
            {"HID_ID",
             "0003:" + Format("%08X", device.vendorId) + ":" + Format("%08X", device.productId)},
            {"HID_NAME", device.manufacturer + " " + device.product},
            {"HID_PHYS", "usb-0000:00:14.0-" + device.port.substr(device.port.find('-') + 1) +
                             "/input" + std::to_string(interface.number)},
            {"HID_UNIQ", device.serial},
            {"MODALIAS", "hid:b0003g0001v" + Format("%08X", device.vendorId) + "p" +
                             Format("%08X", device.productId)}};
        hid.attributes = {{"report_descriptor",
                           std::string(interface.descriptor.begin(), interface.descriptor.end())},
                          {"country", "00\n"}};
        hid.classLink = "bus/hid/devices/" + hidName;
        list.push_back(hid);

        const std::string node = HidrawName(interface);
        const std::string number =
            std::to_string(kHidrawMajor) + ":" + std::to_string(interface.hidraw);
        SysDevice hidraw;
        hidraw.devpath = hid.devpath + "/hidraw/" + node;
        hidraw.subsystem = "hidraw";
        hidraw.uevent = {{"MAJOR", std::to_string(kHidrawMajor)},
                         {"MINOR", std::to_string(interface.hidraw)},
                         {"DEVNAME", node}};
        hidraw.attributes = {{"dev", number + "\n"}};
        hidraw.classLink = "class/hidraw/" + node;
        hidraw.deviceLink = "../../../" + hidName;
        hidraw.devNumber = number;
        list.push_back(hidraw);
    }
    return list;
}

}  // namespace kb::emu
