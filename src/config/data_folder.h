#pragma once

#include <string>

namespace kb {

// What the data-folder rule looks at besides the program folder.
struct DataFolderEnvironment {
    std::string xdgDataHome;  // $XDG_DATA_HOME
    std::string home;         // $HOME, else the account's home folder
    std::string appData;      // %APPDATA% (Windows)
};

// The user's own folder for the program's files: $XDG_DATA_HOME/kbconfig when that variable
// holds an absolute path, else ~/.local/share/kbconfig (Windows: %APPDATA%\kbconfig). Empty
// when the environment names no home at all.
std::string UserDataFolder(const DataFolderEnvironment& env);

// Where "macro.xml" and "store.xml" live: the program folder when it is writable (a build tree
// or a portable install), else the user's data folder, so that saving never fails for lack of
// permission. The folder is not created here; writers create it before the first save.
std::string DataFolderFor(const std::string& programFolder, bool programFolderWritable,
                          const DataFolderEnvironment& env);

// The process's environment for the rule (Windows: the shell's roaming application data folder).
DataFolderEnvironment ProcessDataFolderEnvironment();

// The rule above for the running program and the process's environment.
std::string DataFolder();

// True when files can be created in folder.
bool IsWritableFolder(const std::string& folder);

}  // namespace kb
