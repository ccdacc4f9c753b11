#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

namespace kb {

// Paths travel through the core as UTF-8; this turns one into the platform's native form.
std::filesystem::path PathFromUtf8(std::string_view utf8);

enum class ReadFileStatus {
    Ok,
    NotFound,
    NotRegular,  // a folder, a device node, a FIFO: never read
    TooLarge,
    Failed,
};

inline constexpr std::uintmax_t kNoSizeLimit = std::numeric_limits<std::uintmax_t>::max();

// Reads a regular file whole into `bytes`. Anything else is refused before it is read (a FIFO
// does not block, a folder's "size" is not trusted), and so is a file above `maxBytes`.
ReadFileStatus ReadRegularFile(const std::filesystem::path& file, std::string& bytes,
                               std::uintmax_t maxBytes = kNoSizeLimit);

}  // namespace kb
