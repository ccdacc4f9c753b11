#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <filesystem>
#include <set>
#include <vector>

#include "util/save_failures.h"

class QWidget;

namespace kb {

// Texts of the notices about the program's own files, translated in the message box's context.
inline constexpr const char* kTextKeptAside =
    "These files could not be read. Each was kept as a copy, and the program started without "
    "what they held:\n%1";
inline constexpr const char* kTextKeptAsideLine = "%1 (kept as %2)";
inline constexpr const char* kTextSaveFailedDiskFull =
    "%1 could not be saved: the disk is full. Your changes stay in the program and are saved "
    "with your next change once there is room.";
inline constexpr const char* kTextSaveFailedNotPermitted =
    "%1 could not be saved: writing there is not permitted. Your changes stay in the program "
    "and are saved with your next change once that is possible.";
inline constexpr const char* kTextSaveFailed =
    "%1 could not be saved. Your changes stay in the program and are saved with your next "
    "change once that is possible.";

// A file found unreadable at start and the copy its bytes were kept in.
struct KeptAsideFile {
    std::filesystem::path file;
    std::filesystem::path copy;
};

// Keeps each of the files aside that has not been kept before (see KeepUnreadable); the ones
// copied now, in the given order. A copy that cannot be made is told as a failed save.
std::vector<KeptAsideFile> KeepFilesAside(const std::vector<std::filesystem::path>& unreadable);

// The one notice naming every file kept aside at start, in the language in use.
QString KeptAsideText(const std::vector<KeptAsideFile>& kept);

// What a failed save of file says, in the language in use.
QString SaveFailedText(const std::filesystem::path& file, SaveProblem problem);

// Says in a box over the window (or over the dialog in front of it) when a save of one of the
// program's own files fails: once when its saves start failing, again after one succeeded in
// between, so a full disk is told without a box for every keystroke. Reports from any thread
// are handled on the window's. Only one watcher listens at a time; it stops when destroyed.
class SaveFailureNotices : public QObject {
public:
    SaveFailureNotices(QWidget* window, std::vector<std::filesystem::path> files);
    ~SaveFailureNotices() override;
    SaveFailureNotices(const SaveFailureNotices&) = delete;
    SaveFailureNotices& operator=(const SaveFailureNotices&) = delete;

    // The files whose saves fail at the moment.
    const std::set<std::filesystem::path>& Failing() const { return failing_; }

private:
    void Saved(const std::filesystem::path& target, SaveProblem problem);

    QPointer<QWidget> window_;
    std::vector<std::filesystem::path> files_;
    std::set<std::filesystem::path> failing_;
};

}  // namespace kb
