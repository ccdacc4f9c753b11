// Holds a named mutex for the gate tests: gate_holder NAME MILLISECONDS release|exit.
// Creates NAME owned, signals the event NAME-held, waits, then either signals NAME-released and
// releases the mutex, or ends the process still holding it (the mutex is then abandoned).
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        return 2;
    }
    const std::wstring name = argv[1];
    const DWORD hold = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
    const bool release = std::wcscmp(argv[3], L"release") == 0;
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        return 3;
    }
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-held").c_str());
    HANDLE released = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-released").c_str());
    if (held == nullptr || released == nullptr) {
        return 4;
    }
    SetEvent(held);
    Sleep(hold);
    if (release) {
        SetEvent(released);
        ReleaseMutex(mutex);
    }
    ExitProcess(0);
}
