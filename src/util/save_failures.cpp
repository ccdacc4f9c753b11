#include "util/save_failures.h"

#include <cerrno>
#include <mutex>
#include <utility>

namespace kb {
namespace {

// Never destroyed: the background saver's last writes at exit still report here.
std::mutex& ListenerMutex() {
    static auto* const mutex = new std::mutex;
    return *mutex;
}

SaveListener& Listener() {
    static auto* const listener = new SaveListener;
    return *listener;
}

}  // namespace

SaveProblem SaveProblemOfError(int error) {
    switch (error) {
        case 0:
            return SaveProblem::Other;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return SaveProblem::DiskFull;
        case EACCES:
        case EPERM:
#ifdef EROFS
        case EROFS:
#endif
            return SaveProblem::NotPermitted;
        default:
            return SaveProblem::Other;
    }
}

void SetSaveListener(SaveListener listener) {
    std::lock_guard lock(ListenerMutex());
    Listener() = std::move(listener);
}

void ReportSave(const std::filesystem::path& target, SaveProblem problem) {
    SaveListener listener;
    {
        std::lock_guard lock(ListenerMutex());
        listener = Listener();
    }
    if (listener) {
        listener(target, problem);
    }
}

}  // namespace kb
