#pragma once

#include <string>
#include <vector>

namespace kb {

// What the data-folder rule looks at besides the program folder.
struct DataFolderEnvironment {
    std::string xdgDataHome;  // $XDG_DATA_HOME
    std::string home;         // $HOME, else the account's home folder
    std::string appData;      // %APPDATA% (Windows)
    // Folders of installed programs (Windows: Program Files). A program there keeps its files in
    // the user's folder even when the process may write beside it (an elevated process, Wine):
    // the uninstaller removes the program folder, and the user's macros must not go with it.
    std::vector<std::string> installFolders;
};

// The user's own folder for the program's files: $XDG_DATA_HOME/kbconfig when that variable
// holds an absolute path, else ~/.local/share/kbconfig (Windows: %APPDATA%\kbconfig). Empty
// when the environment names no home at all.
std::string UserDataFolder(const DataFolderEnvironment& env);

// Where "macro.xml" and "store.xml" live: the program folder when it is writable (a build tree
// or a portable install) and not inside one of env.installFolders, else the user's data folder, so
// that saving never fails for lack of permission. The folder is not created here; writers create it
// before the first save.
std::string DataFolderFor(const std::string& programFolder, bool programFolderWritable,
                          const DataFolderEnvironment& env);

// The process's environment for the rule (Windows: the shell's roaming application data folder).
DataFolderEnvironment ProcessDataFolderEnvironment();

// The rule above for the running program and the process's environment.
std::string DataFolder();

// True when folder is parent or lies inside it. Windows compares without case and takes either
// slash as the separator.
bool IsInsideFolder(const std::string& folder, const std::string& parent);

// True when files can be created in folder.
bool IsWritableFolder(const std::string& folder);

}  // namespace kb
