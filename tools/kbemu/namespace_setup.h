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

// Covers /sys with an empty tmpfs for the emulated devices; the machine's CPU, file system and
// kernel entries are bound back for programs that read them.
std::string MountPrivateSys();

}  // namespace kb::emu
