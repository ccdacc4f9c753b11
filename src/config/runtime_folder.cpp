#include "config/runtime_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace kb {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

// A folder of this user that nobody else may enter. `exact` asks for mode 0700 precisely;
// otherwise only the group and other bits must be clear.
bool IsPrivateFolder(const std::string& path, bool followLink, bool exact, std::string& problem) {
    struct stat info {};
    const int result = followLink ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
    if (result != 0) {
        problem = path + ": " + ErrorText(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        problem = path + " is not a folder";
        return false;
    }
    if (info.st_uid != ::getuid()) {
        problem = path + " belongs to another user";
        return false;
    }
    const mode_t mode = info.st_mode & 07777;
    if (exact ? mode != 0700 : (mode & 077) != 0) {
        problem = path + " is open to other users";
        return false;
    }
    return true;
}

}  // namespace

RuntimeFolderSources ProcessRuntimeFolderSources() {
    RuntimeFolderSources sources;
    sources.xdgRuntimeDir = Variable("XDG_RUNTIME_DIR");
    sources.runUserDir = "/run/user/" + std::to_string(::getuid());
    const std::string tmp = Variable("TMPDIR");
    sources.fallbackParent = !tmp.empty() && tmp.front() == '/' ? tmp : "/tmp";
    return sources;
}

std::string PrivateRuntimeFolder(const RuntimeFolderSources& sources, std::string& problem) {
    std::string ignored;
    if (!sources.xdgRuntimeDir.empty() && sources.xdgRuntimeDir.front() == '/' &&
        IsPrivateFolder(sources.xdgRuntimeDir, true, false, ignored)) {
        return sources.xdgRuntimeDir;
    }
    if (!sources.runUserDir.empty() && IsPrivateFolder(sources.runUserDir, false, true, ignored)) {
        return sources.runUserDir;
    }
    // Another user may have made the name first, as a folder, a link or a file: it is checked
    // after the mkdir, never trusted because it exists.
    std::string own = sources.fallbackParent;
    while (own.size() > 1 && own.back() == '/') {
        own.pop_back();
    }
    own += "/kbconfig-" + std::to_string(::getuid());
    if (::mkdir(own.c_str(), 0700) == 0) {
        ::chmod(own.c_str(), 0700);  // a umask may have taken bits away
    } else if (errno != EEXIST) {
        problem = own + ": " + ErrorText(errno);
        return {};
    }
    if (!IsPrivateFolder(own, false, true, problem)) {
        return {};
    }
    return own;
}

std::string PrivateRuntimeFolder(std::string& problem) {
    return PrivateRuntimeFolder(ProcessRuntimeFolderSources(), problem);
}

int OpenLockFile(const std::string& path, std::string& problem) {
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        problem = path + ": " + ErrorText(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        problem = path + " is not a regular file";
        return -1;
    }
    return fd;
}

void ReportUnsafeLockOnce(const std::string& what, const std::string& problem,
                          const std::string& consequence) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!reported.insert(what + "\n" + problem).second) {
        return;
    }
    std::fprintf(stderr, "no safe lock for the %s (%s): %s\n", what.c_str(), problem.c_str(),
                 consequence.c_str());
}

}  // namespace kb
