#pragma once

#include <string>

namespace kb {

// The folder of the running executable in UTF-8, without a trailing separator; empty when the
// system cannot tell.
std::string ProgramFolder();

}  // namespace kb
