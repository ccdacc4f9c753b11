// The "HidDevice" gate between processes: a second process holds the mutex, and Pass waits.
#include "device/windows/mutex_gate.h"

#include <windows.h>

#include <process.h>

#include <string>

#include <gtest/gtest.h>

namespace kb {
namespace {

// gate_holder.exe is built next to this test.
std::wstring HolderExecutable() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + L"gate_holder.exe";
}

class GateHolder {
public:
    GateHolder(const std::wstring& name, const wchar_t* milliseconds, const wchar_t* mode)
        : held_(CreateEventW(nullptr, TRUE, FALSE, (name + L"-held").c_str())),
          released_(CreateEventW(nullptr, TRUE, FALSE, (name + L"-released").c_str())) {
        const std::wstring exe = HolderExecutable();
        std::wstring line = L"\"" + exe + L"\" " + name + L" " + milliseconds + L" " + mode;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process_)) {
            CloseHandle(process_.hThread);
        }
    }
    ~GateHolder() {
        if (process_.hProcess != nullptr) {
            WaitForSingleObject(process_.hProcess, 30000);
            CloseHandle(process_.hProcess);
        }
        CloseHandle(held_);
        CloseHandle(released_);
    }
    GateHolder(const GateHolder&) = delete;
    GateHolder& operator=(const GateHolder&) = delete;

    bool WaitUntilHeld() const {
        return process_.hProcess != nullptr && WaitForSingleObject(held_, 30000) == WAIT_OBJECT_0;
    }
    bool Released() const { return WaitForSingleObject(released_, 0) == WAIT_OBJECT_0; }
    bool Ended() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    HANDLE held_;
    HANDLE released_;
    PROCESS_INFORMATION process_{};
};

std::wstring UniqueName(const wchar_t* what) {
    return std::wstring(L"kbconfig-test-") + what + L"-" + std::to_wstring(_getpid());
}

TEST(MutexGate, PassesAtOnceWhenNobodyHoldsIt) {
    MutexGate gate(UniqueName(L"free"));
    gate.Pass();
    gate.Pass();  // released after the first pass, so it does not hold itself up
}

TEST(MutexGate, WaitsUntilTheHolderReleases) {
    const std::wstring name = UniqueName(L"release");
    GateHolder holder(name, L"700", L"release");
    ASSERT_TRUE(holder.WaitUntilHeld());
    EXPECT_FALSE(holder.Released());
    MutexGate gate(name);
    gate.Pass();
    EXPECT_TRUE(holder.Released());
}

TEST(MutexGate, PassesWhenTheHolderEndsHoldingIt) {
    const std::wstring name = UniqueName(L"abandon");
    GateHolder holder(name, L"700", L"exit");
    ASSERT_TRUE(holder.WaitUntilHeld());
    MutexGate gate(name);
    gate.Pass();
    EXPECT_TRUE(holder.Ended());
    EXPECT_EQ(holder.ExitCode(), 0u);
    EXPECT_FALSE(holder.Released());
    gate.Pass();  // an abandoned mutex was taken over and released, not kept
}

}  // namespace
}  // namespace kb
