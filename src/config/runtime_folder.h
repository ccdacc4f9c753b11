#pragma once

// The user's private runtime folder and the lock files in it (POSIX): the single-instance lock
// and socket and the "HidDevice" gate live there, never in a folder other users can write to.

#include <string>

namespace kb {

// Where a private runtime folder may be found, in this order of preference.
struct RuntimeFolderSources {
    std::string xdgRuntimeDir;   // $XDG_RUNTIME_DIR
    std::string runUserDir;      // /run/user/<uid>
    std::string fallbackParent;  // $TMPDIR, else /tmp: gets a folder "kbconfig-<uid>" of our own
};

RuntimeFolderSources ProcessRuntimeFolderSources();

// The first of the sources that is a folder of this user that nobody else may enter (mode 0700
// for the fallback, which is created when missing). Empty when there is none; `problem` then
// says why.
std::string PrivateRuntimeFolder(const RuntimeFolderSources& sources, std::string& problem);
std::string PrivateRuntimeFolder(std::string& problem);

// Opens the lock file at `path`, creating it, without following a symbolic link and without
// blocking (a FIFO put in its place). Anything but a regular file is refused. The descriptor is
// not inherited by started programs. -1 when refused; `problem` then says why.
int OpenLockFile(const std::string& path, std::string& problem);

// Tells the user on the diagnostic output that the lock for `what` could not be had safely, why,
// and what the program does instead; each problem once per process, however often it recurs.
void ReportUnsafeLockOnce(const std::string& what, const std::string& problem,
                          const std::string& consequence);

}  // namespace kb
