#include "sysfs_tree.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace kb::emu {
namespace fs = std::filesystem;

namespace {

// The path from folder `from` (below root) to `to` (below root), as sysfs links are written.
fs::path RelativeLink(const std::string& from, const std::string& to) {
    return fs::path(to).lexically_relative(fs::path(from));
}

bool WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(file);
}

std::string SubsystemFolder(const std::string& subsystem) {
    return subsystem == "hidraw" ? "/class/hidraw" : "/bus/" + subsystem;
}

}  // namespace

bool SysfsTree::Prepare(std::string& error) const {
    for (const char* folder :
         {"/bus/usb/devices", "/bus/hid/devices", "/class/hidraw", "/dev/char", "/devices"}) {
        std::error_code code;
        fs::create_directories(root_ + folder, code);
        if (code) {
            error = "cannot create " + root_ + folder + ": " + code.message();
            return false;
        }
    }
    return true;
}

bool SysfsTree::Add(const std::vector<SysDevice>& devices, std::string& error) const {
    for (const SysDevice& device : devices) {
        const fs::path folder = root_ + device.devpath;
        std::error_code code;
        fs::create_directories(folder, code);
        if (code) {
            error = "cannot create " + folder.string() + ": " + code.message();
            return false;
        }
        std::string uevent;
        for (const auto& [key, value] : device.uevent) {
            uevent += key + "=" + value + "\n";
        }
        bool written = WriteFile(folder / "uevent", uevent);
        for (const auto& [name, content] : device.attributes) {
            written = written && WriteFile(folder / name, content);
        }
        if (!written) {
            error = "cannot write the attributes of " + folder.string();
            return false;
        }
        const std::string subsystem = SubsystemFolder(device.subsystem);
        fs::create_directory_symlink(RelativeLink(device.devpath, subsystem), folder / "subsystem",
                                     code);
        if (!code && !device.deviceLink.empty()) {
            fs::create_directory_symlink(device.deviceLink, folder / "device", code);
        }
        const std::string link = "/" + device.classLink;
        if (!code) {
            fs::create_directory_symlink(
                RelativeLink(fs::path(link).parent_path().string(), device.devpath), root_ + link,
                code);
        }
        if (!code && !device.devNumber.empty()) {
            fs::create_directory_symlink(RelativeLink("/dev/char", device.devpath),
                                         root_ + "/dev/char/" + device.devNumber, code);
        }
        if (code) {
            error = "cannot link " + folder.string() + ": " + code.message();
            return false;
        }
    }
    return true;
}

void SysfsTree::Remove(const std::vector<SysDevice>& devices) const {
    for (auto it = devices.rbegin(); it != devices.rend(); ++it) {
        std::error_code code;
        fs::remove(root_ + "/" + it->classLink, code);
        if (!it->devNumber.empty()) {
            fs::remove(root_ + "/dev/char/" + it->devNumber, code);
        }
        fs::remove_all(root_ + it->devpath, code);
    }
}

}  // namespace kb::emu
