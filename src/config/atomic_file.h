#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace kb {

// Writes a file so that a crash or a full disk never leaves it truncated: the content goes to a
// fresh temporary file "<name>.tmp-<pid>-…" in the target's folder, is flushed to disk, and
// replaces the target only when every byte was written and the file closed cleanly. A target
// that is a symbolic link is written through: the file it leads to is replaced, the link stays.
// A read-only target is not writable: the write fails and the file stays as it was. The writer
// returns false to abandon the write.
//
// Only a regular file or a new name is written: a folder, a FIFO or a device node is refused,
// never replaced. Links are followed only where the kernel would follow them in a shared sticky
// folder such as /tmp (see CheckWritableTarget).
bool WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<bool(std::FILE*)>& writer);

// Whether WriteFileAtomically may write `target`, asked before any work whose result is to be
// saved there. False with the reason in `problem` (for example "it is not a regular file").
bool CheckWritableTarget(const std::filesystem::path& target, std::string& problem);

// Removes the temporary files of `target` left by processes that no longer run (killed during a
// write). Those of running processes, this one included, are left alone. Every write does this;
// the program also calls it at start for the files it keeps.
void RemoveStaleTemporaries(const std::filesystem::path& target);

}  // namespace kb
