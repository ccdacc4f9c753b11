#pragma once

#include <filesystem>

namespace kb {

// What became of a file the program could not read.
struct UnreadableCopy {
    bool kept = false;           // false: no copy could be made, the file must not be replaced
    bool made = false;           // a new copy was made now (not one from before, nor none needed)
    std::filesystem::path copy;  // where its bytes are; empty when the file is not there
};

// Copies a file the program could not read to "<name>.unreadable" before it gets overwritten;
// an earlier copy is never replaced, the next free "<name>.unreadable.N" is taken instead. A
// copy with the same bytes made earlier (by another save, or at start) counts as the copy, so
// one file is kept once. A copy that cannot be made is reported as a failed save of the file.
UnreadableCopy KeepUnreadable(const std::filesystem::path& file);

// The same; false when no copy could be made (the caller must not overwrite the file then).
bool KeepUnreadableCopy(const std::filesystem::path& file);

}  // namespace kb
