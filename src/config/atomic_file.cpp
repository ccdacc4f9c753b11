#include "config/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <system_error>

#include "config/atomic_file_platform.h"
#include "util/save_failures.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

// How many links deep a target may lie; deeper (or a loop) is refused, as the system does.
constexpr int kMaxLinkDepth = 40;

std::string TemporaryPrefix(const fs::path& target) {
    return target.filename().string() + ".tmp-";
}

// The file a write to `target` must replace: `target` itself, or where its links lead. Refused
// (with the reason) for a link the kernel would not follow, a loop, or anything at the end that
// is neither a regular file nor a new name in an existing folder.
bool ResolveTarget(const fs::path& target, fs::path& destination, std::string& problem) {
    destination = target;
    if (target.empty()) {
        problem = "the name is empty";
        return false;
    }
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        switch (atomic_file::KindOf(destination)) {
            case atomic_file::EntryKind::Regular:
                if (!atomic_file::ExistingFileIsWritable(destination)) {
                    problem = "it is read-only";
                    return false;
                }
                return true;
            case atomic_file::EntryKind::Missing: {
                std::error_code ec;
                const fs::path folder =
                    destination.has_parent_path() ? destination.parent_path() : fs::path(".");
                if (!fs::is_directory(folder, ec)) {
                    problem = "its folder does not exist";
                    return false;
                }
                return true;
            }
            case atomic_file::EntryKind::Other:
                problem = "it is not a regular file";
                return false;
            case atomic_file::EntryKind::Link: {
                if (!atomic_file::LinkMayBeFollowed(destination)) {
                    problem = "it is a link of another user in a shared folder";
                    return false;
                }
                std::error_code ec;
                const fs::path next = fs::read_symlink(destination, ec);
                if (ec) {
                    problem = "it is a link that cannot be read";
                    return false;
                }
                destination = next.is_absolute() ? next : destination.parent_path() / next;
                break;
            }
        }
    }
    problem = "it has too many levels of links";
    return false;
}

// The process id in a temporary file's name "<prefix><pid>-…", or 0 when it has none.
long ProcessIdOfTemporary(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        return 0;
    }
    long pid = 0;
    std::size_t i = prefix.size();
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
        if (pid > 100000000) {
            return 0;
        }
        pid = pid * 10 + (name[i] - '0');
    }
    return i < name.size() && name[i] == '-' ? pid : 0;
}

std::FILE* CreateTemporaryBeside(const fs::path& target, fs::path& temporary) {
    static std::atomic<unsigned> counter{0};
    const auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target;
        temporary += ".tmp-" + std::to_string(atomic_file::CurrentProcessId()) + "-" +
                     std::to_string(seed % 1000000) + "-" + std::to_string(counter.fetch_add(1));
        if (std::FILE* file = atomic_file::CreateNewFile(temporary, target)) {
            return file;
        }
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(temporary, ec))) {
            return nullptr;  // not a name clash: the folder is missing or not writable
        }
    }
    return nullptr;
}

}  // namespace

void RemoveStaleTemporaries(const fs::path& target) {
    const std::string prefix = TemporaryPrefix(target);
    const long self = atomic_file::CurrentProcessId();
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::directory_iterator entries(folder, ec);
    for (; !ec && entries != fs::directory_iterator(); entries.increment(ec)) {
        const fs::path& path = entries->path();
        const long pid = ProcessIdOfTemporary(path.filename().string(), prefix);
        if (pid <= 0 || pid == self || atomic_file::ProcessIsRunning(pid)) {
            continue;
        }
        std::error_code statusError;
        if (fs::is_regular_file(fs::symlink_status(path, statusError))) {
            std::error_code removeError;
            fs::remove(path, removeError);
        }
    }
}

bool CheckWritableTarget(const fs::path& target, std::string& problem) {
    fs::path destination;
    return ResolveTarget(target, destination, problem);
}

namespace {

// The write itself; the system's error number of a failure in `error` (0 when it gave none).
bool WriteThroughTemporary(const fs::path& target, const std::function<bool(std::FILE*)>& writer,
                           int& error) {
    fs::path destination;
    std::string problem;
    if (!ResolveTarget(target, destination, problem)) {
        error = atomic_file::KindOf(destination) == atomic_file::EntryKind::Regular ? EACCES : 0;
        return false;
    }
    RemoveStaleTemporaries(destination);
    fs::path temporary;
    errno = 0;
    std::FILE* file = CreateTemporaryBeside(destination, temporary);
    if (file == nullptr) {
        error = errno;
        return false;
    }
    errno = 0;
    bool written = writer(file);
    // A full disk often shows only when the buffer is flushed, so both results count. The
    // content must be on the disk before the rename is: otherwise a power cut can leave the new
    // name pointing at an empty file.
    written = std::fflush(file) == 0 && std::ferror(file) == 0 && written;
    written = written && atomic_file::SyncToDisk(file);
    error = errno;
    written = std::fclose(file) == 0 && written;
    if (written && atomic_file::ReplaceFile(temporary, destination)) {
        return true;
    }
    if (error == 0) {
        error = errno;
    }
    std::error_code ec;
    fs::remove(temporary, ec);
    return false;
}

}  // namespace

bool WriteFileAtomically(const fs::path& target, const std::function<bool(std::FILE*)>& writer) {
    int error = 0;
    const bool written = WriteThroughTemporary(target, writer, error);
    ReportSave(target, written ? SaveProblem::None : SaveProblemOfError(error));
    return written;
}

}  // namespace kb
