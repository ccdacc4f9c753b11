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

// What the user is told after "Failed to open USB" when the reason is NoPermission.
inline constexpr const char* kNoPermissionText =
    "The keyboard is plugged in, but this program has no permission to use it. Install the "
    "program's udev rule 70-kbconfig.rules (the install puts it in /usr/lib/udev/rules.d; see "
    "the README), run \"udevadm control --reload\" as root, then unplug the keyboard and plug it "
    "in again.";

}  // namespace kb
