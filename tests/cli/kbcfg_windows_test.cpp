// kbcfg.exe on Windows: the system's HID devices (Wine's own mouse and keyboard under Wine),
// and paths, arguments and the data folder in non-ASCII text.
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "config/data_folder.h"
#include "kbcfg_runner.h"
#include "macro/macro_library.h"
#include "sim/sim_state.h"

namespace kb::test {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path FromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

// config.xml with another identity; the rest as shipped.
std::string ConfigWithIdentity(const std::string& config, const std::string& usb) {
    const std::string shipped = ReadFile(FromUtf8(config));
    const auto start = shipped.find("<usb ");
    const auto end = shipped.find("/>", start);
    return shipped.substr(0, start) + usb + shipped.substr(end + 2);
}

constexpr const char* kChineseGroupLibrary = R"(<?xml version="1.0" encoding="UTF-8"?>
<group>
	<items name="宏1">
		<item code="4" name="A" state="0" delay="100" />
		<item code="4" name="A" state="1" delay="20" />
	</items>
</group>
)";

TEST(KbcfgWindows, ListsTheSystemsHidDevicesAndMarksTheConfiguredOne) {
    KbcfgFolder folder;
    // Wine's keyboard; any interface and collection.
    folder.Write("wine.xml", ConfigWithIdentity(folder.File("config.xml"),
                                                R"(<usb vid="845e" pid="0002" interface="-1" )"
                                                R"(subdevice="-1"/>)"));
    const RunResult list = folder.Run({"--config", folder.File("wine.xml"), "list"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("  845e 0001  -          -           0001:0002  Wine HID mouse"),
              std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("* 845e 0002  -          -           0001:0006  Wine HID keyboard"),
              std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("* the keyboard of "), std::string::npos) << list.out;

    const RunResult status = folder.Run({"--config", folder.File("wine.xml"), "status"});
    EXPECT_EQ(status.exitCode, 0) << status.err;

    // The shipped identity is not there.
    const RunResult absent = folder.Run({"status"});
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_EQ(absent.err, "Failed to open USB\n");
}

TEST(KbcfgWindows, NonAsciiProgramFolderConfigPathAndGroupName) {
    KbcfgFolder folder;
    const fs::path program = folder.Path() / u8"程序";
    const fs::path data = folder.Path() / u8"数据";
    fs::create_directories(program);
    fs::create_directories(data);
    fs::copy_file(KbcfgExecutable(), program / "kbcfg.exe");
    fs::copy_file(folder.Path() / "config.xml", program / "config.xml");
    fs::copy_file(folder.Path() / "config.xml", data / "config.xml");
    // The default library is the one in the (writable) program folder.
    std::ofstream(program / "macro.xml", std::ios::binary) << kChineseGroupLibrary;

    const std::wstring exe = (program / "kbcfg.exe").wstring();
    const std::string state = Utf8(data / u8"状态.xml");
    const RunResult assigned =
        folder.RunExecutable(exe, {"--config", Utf8(data / "config.xml"), "--simulate=" + state,
                                   "assign", "A", "--macro", "宏1"});
    ASSERT_EQ(assigned.exitCode, 0) << assigned.err;
    EXPECT_NE(assigned.out.find("   1  A "), std::string::npos) << assigned.out;
    SimKeyboardState saved;
    ASSERT_TRUE(LoadSimState(state, saved));
    EXPECT_NE(saved.profiles[0].macros[0], SimMacroRecord{});

    // Without --config: config.xml of the program folder.
    const RunResult slots = folder.RunExecutable(exe, {"--simulate=" + state, "slots"});
    EXPECT_EQ(slots.exitCode, 0) << slots.err;
    EXPECT_EQ(slots.out, assigned.out);

    // A group name the library does not have is reported in UTF-8.
    const RunResult missing =
        folder.RunExecutable(exe, {"--simulate=" + state, "assign", "B", "--macro", "宏2"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("宏2"), std::string::npos) << missing.err;
}

// The shell's folders as the current user's registry names them; the roaming application data
// folder is the value "AppData".
class UserShellFolder {
public:
    explicit UserShellFolder(const wchar_t* value) : value_(value) {
        RegOpenKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
        wchar_t text[1024] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        if (key_ != nullptr && RegQueryValueExW(key_, value_, nullptr, &type_,
                                                reinterpret_cast<BYTE*>(text), &size) == 0) {
            previous_ = text;
            had_ = true;
        }
    }
    ~UserShellFolder() {
        if (key_ == nullptr) {
            return;
        }
        if (had_) {
            Set(previous_, type_);
        } else {
            RegDeleteValueW(key_, value_);
        }
        RegCloseKey(key_);
    }
    UserShellFolder(const UserShellFolder&) = delete;
    UserShellFolder& operator=(const UserShellFolder&) = delete;

    bool Set(const std::wstring& folder, DWORD type = REG_SZ) {
        return key_ != nullptr &&
               RegSetValueExW(key_, value_, 0, type, reinterpret_cast<const BYTE*>(folder.c_str()),
                              static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) == 0;
    }

private:
    const wchar_t* value_;
    HKEY key_ = nullptr;
    std::wstring previous_;
    DWORD type_ = REG_SZ;
    bool had_ = false;
};

// The user's data folder follows the shell's roaming application data folder, wherever it is.
TEST(KbcfgWindows, DataFolderFromTheShellsRoamingFolder) {
    KbcfgFolder folder;
    const fs::path roaming = folder.Path() / u8"用户" / "Roaming";
    fs::create_directories(roaming);
    std::string userFolder;
    {
        UserShellFolder appData(L"AppData");
        ASSERT_TRUE(appData.Set(roaming.wstring()));
        userFolder = UserDataFolder(ProcessDataFolderEnvironment());
    }
    EXPECT_EQ(FromUtf8(userFolder), roaming / "kbconfig");

    // The program's files can be written and read there.
    fs::create_directories(FromUtf8(userFolder));
    folder.Write("lib.xml", kChineseGroupLibrary);
    MacroLibrary library;
    ASSERT_TRUE(library.Load(folder.File("lib.xml")));
    ASSERT_TRUE(library.Save(Utf8(FromUtf8(userFolder) / "macro.xml")));
    MacroLibrary reloaded;
    ASSERT_TRUE(reloaded.Load(Utf8(FromUtf8(userFolder) / "macro.xml")));
    ASSERT_EQ(reloaded.Root().ChildCount(), 1);
    EXPECT_EQ(reloaded.Root().ChildAt(0)->GetAttribute("name"), "宏1");
}

}  // namespace
}  // namespace kb::test
