// The atomic writer on Windows: exclusive temporary file, replacement that waits briefly for a
// program holding the target open, read-only targets, wide paths, leftovers of ended processes.
#include "config/atomic_file.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace kb {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

bool WriteText(const fs::path& target, const std::string& text) {
    return WriteFileAtomically(target, [&](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    });
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Opens the file as a scanner does: reading, without letting it be replaced meanwhile.
HANDLE HoldOpen(const fs::path& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

class AtomicFileWindowsTest : public ::testing::Test {
protected:
    AtomicFileWindowsTest() {
        folder_ = fs::temp_directory_path() /
                  (u8"kb_atomic_数据_" + std::u8string(reinterpret_cast<const char8_t*>(
                                             std::to_string(GetCurrentProcessId()).c_str())));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    ~AtomicFileWindowsTest() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    fs::path folder_;
};

TEST_F(AtomicFileWindowsTest, ReplacesTheTargetInANonAsciiFolderAndLeavesNothingElse) {
    const fs::path target = folder_ / u8"宏.xml";
    ASSERT_TRUE(WriteText(target, "first"));
    ASSERT_TRUE(WriteText(target, "second"));
    EXPECT_EQ(ReadAll(target), "second");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"宏.xml"});

    // A writer that gives up leaves the old content and no temporary file.
    EXPECT_FALSE(WriteFileAtomically(target, [](std::FILE*) { return false; }));
    EXPECT_EQ(ReadAll(target), "second");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"宏.xml"});

    // A missing folder fails cleanly.
    EXPECT_FALSE(WriteText(folder_ / "missing" / "macro.xml", "x"));
}

TEST_F(AtomicFileWindowsTest, WaitsBrieflyForAProgramHoldingTheTargetOpen) {
    const fs::path target = folder_ / "macro.xml";
    ASSERT_TRUE(WriteText(target, "old"));
    const HANDLE held = HoldOpen(target);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread scanner([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        CloseHandle(held);
    });
    const bool written = WriteText(target, "new");
    scanner.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(ReadAll(target), "new");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"macro.xml"});
}

TEST_F(AtomicFileWindowsTest, GivesUpWhenTheTargetStaysHeldAndKeepsIt) {
    const fs::path target = folder_ / "macro.xml";
    ASSERT_TRUE(WriteText(target, "old"));
    const HANDLE held = HoldOpen(target);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteText(target, "new"));
    CloseHandle(held);
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"macro.xml"});
}

TEST_F(AtomicFileWindowsTest, AReadOnlyTargetIsNotWritten) {
    const fs::path target = folder_ / "store.xml";
    ASSERT_TRUE(WriteText(target, "kept"));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(WriteText(target, "new"));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadAll(target), "kept");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"store.xml"});
}

TEST_F(AtomicFileWindowsTest, RemovesTemporaryFilesOfEndedProcessesOnly) {
    // A process that has ended: this test program listing its tests.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_list_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    WaitForSingleObject(process.hProcess, INFINITE);
    const std::string dead = std::to_string(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const std::string alive = std::to_string(GetCurrentProcessId());

    std::ofstream(folder_ / ("macro.xml.tmp-" + dead + "-5-0")) << "left";
    std::ofstream(folder_ / ("macro.xml.tmp-" + alive + "-5-0")) << "mine";
    std::ofstream(folder_ / ("store.xml.tmp-" + dead + "-5-0")) << "another file's";
    ASSERT_TRUE(WriteText(folder_ / "macro.xml", "content"));
    EXPECT_EQ(Names(folder_),
              (std::vector<std::string>{"macro.xml", "macro.xml.tmp-" + alive + "-5-0",
                                        "store.xml.tmp-" + dead + "-5-0"}));
}

}  // namespace
}  // namespace kb
