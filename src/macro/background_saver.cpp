#include "macro/background_saver.h"

#include <cstdio>
#include <utility>

#include "config/atomic_file.h"

namespace kb {

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

void BackgroundSaver::Submit(const std::filesystem::path& target, std::string bytes) {
    {
        std::lock_guard lock(mutex_);
        waiting_[target] = std::move(bytes);
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
        return found->second;
    }
    return std::nullopt;
}

void BackgroundSaver::Hold(const std::filesystem::path& target, std::string bytes) {
    std::lock_guard lock(mutex_);
    unwritten_.insert_or_assign(target, std::move(bytes));
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
        const std::string& bytes = next.mapped();
        const bool written = WriteFileAtomically(next.key(), [&bytes](std::FILE* file) {
            return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        });
        lock.lock();
        writing_ = false;
        failed_ = failed_ || !written;
        if (written) {
            unwritten_.erase(next.key());
        } else {
            unwritten_.insert_or_assign(next.key(), std::move(next.mapped()));
        }
        ++completed_;
        if (waiting_.empty()) {
            idle_.notify_all();
        }
    }
}

}  // namespace kb
