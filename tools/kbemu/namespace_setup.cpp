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
    const int fd = ::open("/dev", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return Failure("cannot open /dev");
    }
    if (::mount("tmpfs", "/dev", "tmpfs", MS_NOSUID, "mode=0755") != 0) {
        ::close(fd);
        return Failure("cannot mount a tmpfs on /dev");
    }
    DIR* folder = ::fdopendir(::dup(fd));
    std::string error;
    if (folder == nullptr) {
        error = Failure("cannot read /dev");
    }
    while (folder != nullptr && error.empty()) {
        const dirent* entry = ::readdir(folder);
        if (entry == nullptr) {
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || std::string_view(name).starts_with("hidraw")) {
            continue;
        }
        const std::string target = "/dev/" + name;
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
    if (folder != nullptr) {
        ::closedir(folder);
    }
    ::close(fd);
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
