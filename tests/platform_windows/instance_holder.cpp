// The first instance for the single-instance tests: instance_holder NAME. Claims NAME, signals
// the event NAME-ready, and when a later start asks it to come forward signals NAME-activated
// and ends.
#include <windows.h>

#include <string>

#include "platform/windows/single_instance.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::wstring name = argv[1];
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-ready").c_str());
    HANDLE activated = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-activated").c_str());
    if (ready == nullptr || activated == nullptr) {
        return 4;
    }
    kb::platform::win::SingleInstance instance;
    if (!instance.Claim(name, [activated] {
            SetEvent(activated);
            PostQuitMessage(0);
        })) {
        return 3;
    }
    SetEvent(ready);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}
