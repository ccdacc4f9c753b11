#include "platform/windows/single_instance.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

namespace kb::platform::win {
namespace {

std::wstring UniqueName(const wchar_t* what) {
    return std::wstring(L"kbconfig-test-instance-") + what + L"-" +
           std::to_wstring(GetCurrentProcessId());
}

std::wstring NextToThisProgram(const wchar_t* file) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + file;
}

TEST(SingleInstance, TheFirstClaimWinsAndASecondClaimDoesNot) {
    const std::wstring name = UniqueName(L"same");
    SingleInstance first;
    EXPECT_TRUE(first.Claim(name, [] {}));
    SingleInstance second;
    EXPECT_FALSE(second.Claim(name, [] {}));
}

TEST(SingleInstance, ASecondStartHandsOverToTheRunningProcess) {
    const std::wstring name = UniqueName(L"handover");
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (name + L"-ready").c_str());
    HANDLE activated = CreateEventW(nullptr, TRUE, FALSE, (name + L"-activated").c_str());
    const std::wstring exe = NextToThisProgram(L"instance_holder.exe");
    std::wstring line = L"\"" + exe + L"\" " + name;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    CloseHandle(process.hThread);
    ASSERT_EQ(WaitForSingleObject(ready, 30000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(activated, 0), WAIT_TIMEOUT);

    SingleInstance second;
    EXPECT_FALSE(second.Claim(name, [] { ADD_FAILURE() << "the second start was activated"; }));
    EXPECT_EQ(WaitForSingleObject(activated, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hProcess);

    // The first instance has ended: the name is free again.
    SingleInstance third;
    EXPECT_TRUE(third.Claim(name, [] {}));
    CloseHandle(ready);
    CloseHandle(activated);
}

}  // namespace
}  // namespace kb::platform::win
