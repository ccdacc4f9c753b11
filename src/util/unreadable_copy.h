#pragma once

#include <filesystem>

namespace kb {

// Copies a file the program could not read to "<name>.unreadable" before it gets overwritten;
// an earlier copy is never replaced, the next free "<name>.unreadable.N" is taken instead.
// False when no copy could be made (the caller must not overwrite the file then).
bool KeepUnreadableCopy(const std::filesystem::path& file);

}  // namespace kb
