#include "device/windows/mutex_gate.h"

#include <windows.h>

#include <utility>

namespace kb {

MutexGate::MutexGate(std::wstring name) : name_(std::move(name)) {}

MutexGate::~MutexGate() {
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

void MutexGate::Pass() {
    if (mutex_ == nullptr) {
        // Opens the mutex when another process created it first.
        mutex_ = CreateMutexW(nullptr, FALSE, name_.c_str());
        if (mutex_ == nullptr) {
            return;
        }
    }
    const DWORD result = WaitForSingleObject(mutex_, INFINITE);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        ReleaseMutex(mutex_);
    }
}

}  // namespace kb
