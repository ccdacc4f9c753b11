#include "config/data_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "config/program_folder.h"

#ifdef _WIN32
#include <fstream>
#include <string_view>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace kb {

namespace {

constexpr const char* kFolderName = "kbconfig";

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    const char last = folder.back();
    return (last == '/' || last == '\\') ? folder + name : folder + "/" + name;
}

}  // namespace

std::string UserDataFolder(const DataFolderEnvironment& env) {
#ifdef _WIN32
    if (!env.appData.empty()) {
        return JoinPath(env.appData, kFolderName);
    }
#else
    // A relative XDG_DATA_HOME is to be ignored, as the base-directory rules say.
    if (!env.xdgDataHome.empty() && env.xdgDataHome.front() == '/') {
        return JoinPath(env.xdgDataHome, kFolderName);
    }
#endif
    if (!env.home.empty()) {
        return JoinPath(JoinPath(env.home, ".local/share"), kFolderName);
    }
    return {};
}

std::string DataFolderFor(const std::string& programFolder, bool programFolderWritable,
                          const DataFolderEnvironment& env) {
    if (!programFolder.empty() && programFolderWritable) {
        return programFolder;
    }
    return UserDataFolder(env);
}

std::string DataFolder() {
    DataFolderEnvironment env;
    env.xdgDataHome = Variable("XDG_DATA_HOME");
    env.home = Variable("HOME");
    env.appData = Variable("APPDATA");
#ifndef _WIN32
    if (env.home.empty()) {
        if (const passwd* account = getpwuid(getuid()); account != nullptr && account->pw_dir) {
            env.home = account->pw_dir;
        }
    }
#endif
    const std::string programFolder = ProgramFolder();
    return DataFolderFor(programFolder, IsWritableFolder(programFolder), env);
}

bool IsWritableFolder(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(PathFromUtf8(folder), error)) {
        return false;
    }
#ifdef _WIN32
    // Access rights under Program Files are not visible in the attributes: try a file.
    const auto probe = PathFromUtf8(JoinPath(folder, ".kbconfig-write-test"));
    {
        std::ofstream file(probe, std::ios::binary);
        if (!file) {
            return false;
        }
    }
    std::filesystem::remove(probe, error);
    return true;
#else
    return access(folder.c_str(), W_OK | X_OK) == 0;
#endif
}

}  // namespace kb
