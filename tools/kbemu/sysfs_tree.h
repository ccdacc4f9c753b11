#pragma once

#include <string>
#include <vector>

#include "emulated_devices.h"

namespace kb::emu {

// Writes sysfs entries below a root folder (the emulator's /sys) the way the kernel lays them
// out: device folders with "uevent", attribute files and a "subsystem" link, the class or bus
// link, the "device" link of class devices and the /sys/dev/char link.
class SysfsTree {
public:
    explicit SysfsTree(std::string root) : root_(std::move(root)) {}

    // The folders every tree has (bus/usb, bus/hid, class/hidraw, dev/char). False on failure.
    bool Prepare(std::string& error) const;
    // Adds the entries of one device; false (and error set) when something could not be written.
    bool Add(const std::vector<SysDevice>& devices, std::string& error) const;
    // Removes them again, children first. Missing entries are not an error.
    void Remove(const std::vector<SysDevice>& devices) const;

private:
    std::string root_;
};

}  // namespace kb::emu
