#pragma once

namespace kb {

// Why the keyboard's interface could not be opened, carried from the back end to the windows
// and the command line as a plain value.
enum class OpenFailure {
    None,          // opened
    NotFound,      // no interface matched
    NoPermission,  // present, but the system refused access to it (EACCES)
    Other,         // present, but the open failed for another reason (busy, gone meanwhile)
};

// What the user is told after "Failed to open USB" when the reason is NoPermission: what the
// installed udev rule does and the one command that makes it take effect, on a line of its own.
inline constexpr const char* kNoPermissionText =
    "The keyboard is plugged in, but the system does not let this program use it.\n"
    "\n"
    "Installing the program adds the rule 70-kbconfig.rules to udev, which gives the person "
    "signed in at this computer access to the keyboard. To have it take effect, run this "
    "command in a terminal, then unplug the keyboard and plug it in again:\n"
    "\n"
    "sudo udevadm control --reload\n"
    "\n"
    "If access is still refused, sign out and in again at the computer itself: a remote "
    "session is not given the keyboard.";

}  // namespace kb
