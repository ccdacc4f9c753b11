#include "namespace_setup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace kb::emu {
namespace {

std::string Failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// The path of an entry in a folder that a mount has covered since fd was opened.
std::string Covered(int fd, const std::string& name) {
    return "/proc/self/fd/" + std::to_string(fd) + "/" + name;
}

std::string BindBack(int fd, const std::string& name, const std::string& target, bool folder) {
    if (folder) {
        if (::mkdir(target.c_str(), 0755) != 0 && errno != EEXIST) {
            return Failure("cannot create " + target);
        }
    } else {
        const int file = ::open(target.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        if (file < 0) {
            return Failure("cannot create " + target);
        }
        ::close(file);
    }
    if (::mount(Covered(fd, name).c_str(), target.c_str(), nullptr, MS_BIND | MS_REC, nullptr) !=
        0) {
        return Failure("cannot bind " + target);
    }
    return {};
}

// Covers folder with a tmpfs and binds its entries back, except those `skip` names.
std::string CoverAndBindBack(const std::string& folder, bool (*skip)(std::string_view)) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return Failure("cannot open " + folder);
    }
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID, "mode=0755") != 0) {
        ::close(fd);
        return Failure("cannot mount a tmpfs on " + folder);
    }
    DIR* entries = ::fdopendir(::dup(fd));
    std::string error;
    if (entries == nullptr) {
        error = Failure("cannot read " + folder);
    }
    while (entries != nullptr && error.empty()) {
        const dirent* entry = ::readdir(entries);
        if (entry == nullptr) {
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || skip(name)) {
            continue;
        }
        const std::string target = folder + "/" + name;
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (S_ISLNK(info.st_mode)) {
            char link[4096];
            const ssize_t length = ::readlinkat(fd, name.c_str(), link, sizeof link - 1);
            if (length > 0) {
                link[length] = '\0';
                if (::symlink(link, target.c_str()) != 0) {
                    error = Failure("cannot link " + target);
                }
            }
        } else {
            error = BindBack(fd, name, target, S_ISDIR(info.st_mode));
        }
    }
    if (entries != nullptr) {
        ::closedir(entries);
    }
    ::close(fd);
    return error;
}

}  // namespace

std::string EnterPrivateNamespaces() {
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) {
        return Failure("cannot create private mount and network namespaces");
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return Failure("cannot make the mounts private");
    }
    return {};
}

std::string MountPrivateDev() {
    return CoverAndBindBack("/dev",
                            [](std::string_view name) { return name.starts_with("hidraw"); });
}

std::string MountPrivateRun() {
    // libudev hands out udev event monitors only where udevd looks active (its control socket
    // exists, or /dev is a devtmpfs); the emulator plays udevd.
    std::string error =
        CoverAndBindBack("/run", [](std::string_view name) { return name == "udev"; });
    if (error.empty() && ::mkdir("/run/udev", 0755) != 0) {
        error = Failure("cannot create /run/udev");
    }
    if (error.empty()) {
        const int control = ::open("/run/udev/control", O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        if (control < 0) {
            error = Failure("cannot create /run/udev/control");
        } else {
            ::close(control);
        }
    }
    return error;
}

std::string MountPrivateSys() {
    const int fd = ::open("/sys", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return Failure("cannot open /sys");
    }
    std::string error;
    if (::mount("tmpfs", "/sys", "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "mode=0755") != 0) {
        error = Failure("cannot mount a tmpfs on /sys");
    }
    if (error.empty() && ::mkdir("/sys/devices", 0755) != 0) {
        error = Failure("cannot create /sys/devices");
    }
    for (const char* name : {"devices/system", "fs", "kernel"}) {
        struct stat info {};
        if (!error.empty() || ::fstatat(fd, name, &info, 0) != 0 || !S_ISDIR(info.st_mode)) {
            continue;
        }
        error = BindBack(fd, name, std::string("/sys/") + name, true);
    }
    ::close(fd);
    return error;
}

}  // namespace kb::emu
