#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>

namespace kb {

// Writes a file so that a crash or a full disk never leaves it truncated: the content goes to a
// fresh temporary file in the same folder, which replaces the target only when every byte was
// written and the file closed cleanly. The writer returns false to abandon the write.
bool WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<bool(std::FILE*)>& writer);

}  // namespace kb
