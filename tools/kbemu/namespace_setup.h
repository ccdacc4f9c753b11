#pragma once

#include <string>

namespace kb::emu {

// Each returns an empty string on success, else what went wrong.

// Moves this process into new mount and network namespaces and stops mounts made from now on
// from reaching the machine.
std::string EnterPrivateNamespaces();

// Covers /dev with a tmpfs holding the machine's device entries again (bound back), except its
// hidraw nodes, so the emulator can add its own.
std::string MountPrivateDev();

// Covers /run with a tmpfs holding the machine's entries again, except udev's folder, which
// becomes the emulator's: it tells libudev that udev events are to be had.
std::string MountPrivateRun();

// Covers /sys with an empty tmpfs for the emulated devices; the machine's CPU, file system and
// kernel entries are bound back for programs that read them.
std::string MountPrivateSys();

}  // namespace kb::emu
