#include "config/data_folder.h"
#include "util/file_read.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "config/program_folder.h"

#ifdef _WIN32
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <fstream>
#include <string_view>

#include "config/wide_text.h"
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace kb {

namespace {

constexpr const char* kFolderName = "kbconfig";

std::string Variable(const char* name) {
#ifdef _WIN32
    // The narrow environment is in the ANSI code page; UTF-8 comes from the wide one.
    const wchar_t* value = _wgetenv(WideFromUtf8(name).c_str());
    return value != nullptr ? Utf8FromWide(value) : "";
#else
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
#endif
}

#ifdef _WIN32
// A folder the shell knows, empty when it cannot tell.
std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR folder = nullptr;
    std::string utf8;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &folder)) &&
        folder != nullptr) {
        utf8 = Utf8FromWide(folder);
    }
    CoTaskMemFree(folder);
    return utf8;
}

// The user's roaming application data folder, as the shell knows it; %APPDATA% when the shell
// cannot tell.
std::string RoamingAppData() {
    std::string folder = KnownFolder(FOLDERID_RoamingAppData);
    return folder.empty() ? Variable("APPDATA") : folder;
}
#endif

// The folder's path with one kind of separator and no trailing one (Windows: in lower case).
std::string ComparablePath(std::string path) {
#ifdef _WIN32
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
#endif
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    const char last = folder.back();
#ifdef _WIN32
    return (last == '/' || last == '\\') ? folder + name : folder + "\\" + name;
#else
    return (last == '/' || last == '\\') ? folder + name : folder + "/" + name;
#endif
}

}  // namespace

std::string UserDataFolder(const DataFolderEnvironment& env) {
#ifdef _WIN32
    if (!env.appData.empty()) {
        return JoinPath(env.appData, kFolderName);
    }
    return {};
#else
    // A relative XDG_DATA_HOME is to be ignored, as the base-directory rules say.
    if (!env.xdgDataHome.empty() && env.xdgDataHome.front() == '/') {
        return JoinPath(env.xdgDataHome, kFolderName);
    }
    if (!env.home.empty()) {
        return JoinPath(JoinPath(env.home, ".local/share"), kFolderName);
    }
    return {};
#endif
}

std::string DataFolderFor(const std::string& programFolder, bool programFolderWritable,
                          const DataFolderEnvironment& env) {
    const bool installed = std::any_of(
        env.installFolders.begin(), env.installFolders.end(),
        [&](const std::string& folder) { return IsInsideFolder(programFolder, folder); });
    if (!programFolder.empty() && programFolderWritable && !installed) {
        return programFolder;
    }
    return UserDataFolder(env);
}

DataFolderEnvironment ProcessDataFolderEnvironment() {
    DataFolderEnvironment env;
#ifdef _WIN32
    env.appData = RoamingAppData();
    for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86}) {
        if (std::string folder = KnownFolder(*id); !folder.empty()) {
            env.installFolders.push_back(std::move(folder));
        }
    }
#else
    env.xdgDataHome = Variable("XDG_DATA_HOME");
    env.home = Variable("HOME");
    if (env.home.empty()) {
        if (const passwd* account = getpwuid(getuid()); account != nullptr && account->pw_dir) {
            env.home = account->pw_dir;
        }
    }
#endif
    return env;
}

std::string DataFolder() {
    const std::string programFolder = ProgramFolder();
    return DataFolderFor(programFolder, IsWritableFolder(programFolder),
                         ProcessDataFolderEnvironment());
}

bool IsInsideFolder(const std::string& folder, const std::string& parent) {
    if (folder.empty() || parent.empty()) {
        return false;
    }
    const std::string child = ComparablePath(folder);
    const std::string base = ComparablePath(parent);
    if (child.size() == base.size()) {
        return child == base;
    }
    return child.size() > base.size() && child.compare(0, base.size(), base) == 0 &&
           (base.back() == '/' || child[base.size()] == '/');
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
