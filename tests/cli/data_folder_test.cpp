#include "config/data_folder.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "config/program_folder.h"

namespace kb {
namespace {

TEST(DataFolderTest, ProgramFolderWhenWritableAndNotInstalledElseTheUsersFolder) {
    struct Case {
        std::string programFolder;
        bool writable;
        DataFolderEnvironment env;
        std::string expected;
    };
#ifdef _WIN32
    const std::vector<Case> cases{
        {"C:\\kb", true, {"", "", "C:\\Users\\u\\AppData\\Roaming", {}}, "C:\\kb"},
        {"C:\\Program Files\\kb",
         false,
         {"", "", "C:\\Users\\u\\AppData\\Roaming", {}},
         "C:\\Users\\u\\AppData\\Roaming\\kbconfig"},
        {"C:\\Program Files\\kb",
         false,
         {"", "", "Z:\\tmp\\数据\\", {}},
         "Z:\\tmp\\数据\\kbconfig"},
        {"C:\\Program Files\\kb", false, {"", "", "", {}}, ""},
        // Installed: writable (elevated, or under Wine) and still not the data folder.
        {"C:\\Program Files\\kbconfig",
         true,
         {"",
          "",
          "C:\\Users\\u\\AppData\\Roaming",
          {"C:\\Program Files", "C:\\Program Files (x86)"}},
         "C:\\Users\\u\\AppData\\Roaming\\kbconfig"},
        {"c:/program files (x86)/kbconfig/",
         true,
         {"", "", "C:\\Roaming", {"C:\\Program Files", "C:\\Program Files (x86)\\"}},
         "C:\\Roaming\\kbconfig"},
        // A name that only begins like the install folder is a folder of its own.
        {"C:\\Program Files kb",
         true,
         {"", "", "C:\\Roaming", {"C:\\Program Files"}},
         "C:\\Program Files kb"},
    };
#else
    const std::vector<Case> cases{
        {"/opt/kb", true, {"/xdg", "/home/u", "", {}}, "/opt/kb"},
        {"/usr/bin", false, {"/xdg", "/home/u", "", {}}, "/xdg/kbconfig"},
        {"/usr/bin", false, {"/xdg/", "/home/u", "", {}}, "/xdg/kbconfig"},
        // A relative XDG_DATA_HOME does not count.
        {"/usr/bin", false, {"xdg", "/home/u", "", {}}, "/home/u/.local/share/kbconfig"},
        {"/usr/bin", false, {"", "/home/u", "", {}}, "/home/u/.local/share/kbconfig"},
        {"", true, {"", "/home/u", "", {}}, "/home/u/.local/share/kbconfig"},
        {"/usr/bin", false, {"", "", "", {}}, ""},
        {"/opt/kb", true, {"", "/home/u", "", {"/opt"}}, "/home/u/.local/share/kbconfig"},
        {"/opt/kb", true, {"", "/home/u", "", {"/opt/k"}}, "/opt/kb"},
        {"/opt/kb", true, {"", "/home/u", "", {"/"}}, "/home/u/.local/share/kbconfig"},
        // Case counts outside Windows.
        {"/Opt/kb", true, {"", "/home/u", "", {"/opt"}}, "/Opt/kb"},
    };
#endif
    for (const Case& c : cases) {
        EXPECT_EQ(DataFolderFor(c.programFolder, c.writable, c.env), c.expected)
            << c.programFolder << " " << c.env.xdgDataHome << " " << c.env.home;
    }
}

TEST(DataFolderTest, WritableFolderIsADirectoryWeMayWriteIn) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("kb_data_folder_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto file = folder / "file";
    std::ofstream(file) << "x";

    EXPECT_TRUE(IsWritableFolder(folder.string()));
    EXPECT_FALSE(IsWritableFolder(file.string()));
    EXPECT_FALSE(IsWritableFolder((folder / "missing").string()));
    EXPECT_FALSE(IsWritableFolder(""));
#ifndef _WIN32
    if (geteuid() != 0) {  // root may write anywhere
        std::filesystem::permissions(folder, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        EXPECT_FALSE(IsWritableFolder(folder.string()));
        std::filesystem::permissions(folder, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    }
#endif
    std::filesystem::remove_all(folder);

    // The test runs from the build tree, which is writable and not an installed program's folder.
    EXPECT_EQ(DataFolder(), ProgramFolder());
#ifdef _WIN32
    // The shell names the folders of installed programs.
    const auto installFolders = ProcessDataFolderEnvironment().installFolders;
    ASSERT_FALSE(installFolders.empty());
    EXPECT_TRUE(IsInsideFolder(installFolders.front() + "\\kbconfig", installFolders.front()));
#endif
}

}  // namespace
}  // namespace kb
