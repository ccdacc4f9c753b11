#pragma once

// What the atomic writer needs of the operating system, one implementation per platform
// (atomic_file_posix.cpp). Internal to the writer.

#include <cstdio>
#include <filesystem>

namespace kb::atomic_file {

long CurrentProcessId();

// False only when `pid` surely names no running process.
bool ProcessIsRunning(long pid);

// False when `path` exists and may not be written: a read-only file, or one this user cannot
// write. A missing file is writable here (its folder decides).
bool ExistingFileIsWritable(const std::filesystem::path& path);

// What is at `path` (links not followed).
enum class EntryKind { Missing, Regular, Link, Other };
EntryKind KindOf(const std::filesystem::path& path);

// Whether the link at `link` may be followed by a write on this user's behalf: as the kernel's
// protected-symlink rule has it, a link in a folder everyone may write to and that has the
// sticky bit (such as /tmp) is followed only when it belongs to this user or to the folder's
// owner, so another user cannot send our writes into our own files.
bool LinkMayBeFollowed(const std::filesystem::path& link);

// Creates `path`, which must not exist yet, for writing. When `like` exists the new file gets its
// permissions, so replacing a file keeps who may read it. Null on failure.
std::FILE* CreateNewFile(const std::filesystem::path& path, const std::filesystem::path& like);

// Forces the written content of `file` (already flushed from the C buffer) to the disk.
bool SyncToDisk(std::FILE* file);

// Replaces `target` with `source` in one step.
bool ReplaceFile(const std::filesystem::path& source, const std::filesystem::path& target);

}  // namespace kb::atomic_file
