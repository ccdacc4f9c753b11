#pragma once

#include <filesystem>
#include <functional>

namespace kb {

// Saves of the program's own files happen in many places and on more than one thread (the
// background saver); a window that must say every failed save hears of them here instead of
// at each caller. The file writer and the unreadable-copy helper report every save they end.

// Why a save failed, as far as the system said.
enum class SaveProblem { None, DiskFull, NotPermitted, Other };

// The problem for a system error number (errno on POSIX).
SaveProblem SaveProblemOfError(int error);

// Told of each save of `target` as it ends: None when it was written. Called on the thread
// that saved, so a window hands it on to its own thread. Must not save files itself.
using SaveListener = std::function<void(const std::filesystem::path& target, SaveProblem)>;

// Replaces the process's listener; an empty one stops the reports.
void SetSaveListener(SaveListener listener);

void ReportSave(const std::filesystem::path& target, SaveProblem problem);

}  // namespace kb
