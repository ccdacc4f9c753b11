#pragma once

#include <string>
#include <vector>

namespace kb::cli {

// The program's arguments after its name, in UTF-8. On Windows they come from the wide command
// line, as argv holds them in the ANSI code page, which cannot spell every path or group name;
// there the console is also switched to UTF-8 output, the encoding of everything printed.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace kb::cli
