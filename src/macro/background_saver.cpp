#include "macro/background_saver.h"

#include <cstdio>
#include <utility>

#include "config/atomic_file.h"

namespace kb {

FileContent WholeContent(std::string bytes) {
    return {std::make_shared<const std::string>(std::move(bytes))};
}

std::string JoinContent(const FileContent& content) {
    std::size_t size = 0;
    for (const ContentPiece& piece : content) {
        size += piece->size();
    }
    std::string joined;
    joined.reserve(size);
    for (const ContentPiece& piece : content) {
        joined += *piece;
    }
    return joined;
}

bool WriteContent(std::FILE* file, const FileContent& content) {
    for (const ContentPiece& piece : content) {
        if (std::fwrite(piece->data(), 1, piece->size(), file) != piece->size()) {
            return false;
        }
    }
    return true;
}

BackgroundSaver::~BackgroundSaver() {
    {
        std::lock_guard lock(mutex_);
        // A last try for content a failed write left behind; newer content waiting wins.
        for (const std::filesystem::path& target : held_) {
            unwritten_.erase(target);
        }
        waiting_.merge(unwritten_);
        unwritten_.clear();
        if (!waiting_.empty() && !thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
        }
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

BackgroundSaver& BackgroundSaver::Instance() {
    // Destroyed at exit, after main returns: the destructor writes what is still waiting.
    static BackgroundSaver saver;
    return saver;
}

void BackgroundSaver::Submit(const std::filesystem::path& target, FileContent content) {
    {
        std::lock_guard lock(mutex_);
        // The replaced content is let go after the lock: dropping many pieces takes a while.
        waiting_[target].swap(content);
        held_.erase(target);
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    wake_.notify_one();
}

bool BackgroundSaver::Flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return waiting_.empty() && !writing_; });
    const bool ok = !failed_;
    failed_ = false;
    return ok;
}

std::optional<std::string> BackgroundSaver::Unwritten(const std::filesystem::path& target) const {
    std::lock_guard lock(mutex_);
    if (const auto found = unwritten_.find(target); found != unwritten_.end()) {
        return JoinContent(found->second);
    }
    return std::nullopt;
}

void BackgroundSaver::Hold(const std::filesystem::path& target, FileContent content) {
    std::lock_guard lock(mutex_);
    unwritten_[target].swap(content);
    held_.insert(target);
}

std::uint64_t BackgroundSaver::Completed() const {
    std::lock_guard lock(mutex_);
    return completed_;
}

void BackgroundSaver::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty()) {
            return;  // stopping, and nothing left to write
        }
        auto next = waiting_.extract(waiting_.begin());
        writing_ = true;
        lock.unlock();
        const FileContent& content = next.mapped();
        const bool written = WriteFileAtomically(
            next.key(), [&content](std::FILE* file) { return WriteContent(file, content); });
        lock.lock();
        writing_ = false;
        failed_ = failed_ || !written;
        FileContent replaced;  // let go of without the lock: the caller may be waiting for it
        if (written) {
            if (const auto found = unwritten_.find(next.key()); found != unwritten_.end()) {
                replaced.swap(found->second);
                unwritten_.erase(found);
            }
        } else {
            unwritten_[next.key()].swap(next.mapped());
        }
        ++completed_;
        if (waiting_.empty()) {
            idle_.notify_all();
        }
        lock.unlock();
        replaced.clear();
        next = {};
        lock.lock();
    }
}

}  // namespace kb
