#include "cli/command_line.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>

#include "config/wide_text.h"
#endif

namespace kb::cli {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count); wide != nullptr) {
        std::vector<std::string> arguments;
        for (int i = 1; i < count; ++i) {
            arguments.push_back(Utf8FromWide(wide[i]));
        }
        LocalFree(wide);
        return arguments;
    }
#endif
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

}  // namespace kb::cli
