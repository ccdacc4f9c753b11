#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kb {

// A file's content as pieces written one after another. A piece never changes once made, so one
// piece can be part of many versions of a file and be read by the saver's thread while the
// caller goes on: a caller hands over only references, never the file's bytes.
using ContentPiece = std::shared_ptr<const std::string>;
using FileContent = std::vector<ContentPiece>;

// Content of one piece.
FileContent WholeContent(std::string bytes);
// The pieces joined.
std::string JoinContent(const FileContent& content);
// Writes the pieces in order; false when a write fell short.
bool WriteContent(std::FILE* file, const FileContent& content);

// Writes files beside the thread that changes them, so a large file never holds up the window:
// the caller hands over the complete new content and goes on. Each write is atomic and flushed
// to disk (WriteFileAtomically). For each file only the newest content still waiting is written;
// writes of one file never overtake each other. Everything handed over is written before the
// process ends normally; content whose write failed (a full disk) is kept until a later write of
// its file succeeds, and tried once more at the end.
class BackgroundSaver {
public:
    BackgroundSaver() = default;
    ~BackgroundSaver();
    BackgroundSaver(const BackgroundSaver&) = delete;
    BackgroundSaver& operator=(const BackgroundSaver&) = delete;

    // The saver of the process, whose writes finish when the process exits.
    static BackgroundSaver& Instance();

    // Queues `content` as the next content of `target`, replacing content still waiting for it.
    void Submit(const std::filesystem::path& target, FileContent content);
    void Submit(const std::filesystem::path& target, std::string bytes) {
        Submit(target, WholeContent(std::move(bytes)));
    }
    // Waits until everything submitted so far is on disk. True when every write since the last
    // Flush succeeded.
    bool Flush();
    // The newest content of `target` whose write failed and that nothing written since has
    // replaced: what the file should hold, kept so that a reader does not take the older file
    // for it. None when the file holds what was handed over last.
    std::optional<std::string> Unwritten(const std::filesystem::path& target) const;
    // Keeps `content` as the unwritten content of `target` without writing it: the caller may
    // not replace the file yet (an unreadable one it could not keep aside). Never written at the
    // end either; the next Submit for the target replaces it.
    void Hold(const std::filesystem::path& target, FileContent content);
    void Hold(const std::filesystem::path& target, std::string bytes) {
        Hold(target, WholeContent(std::move(bytes)));
    }
    // How many writes have finished (for tests and measurements).
    std::uint64_t Completed() const;

private:
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::map<std::filesystem::path, FileContent> waiting_;
    std::map<std::filesystem::path, FileContent> unwritten_;
    std::set<std::filesystem::path> held_;  // unwritten content that must not be retried
    bool writing_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    std::uint64_t completed_ = 0;
    std::thread thread_;  // started with the first submission
};

}  // namespace kb
