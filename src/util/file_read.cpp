#include "util/file_read.h"

#include <cstdio>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kb {

namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view utf8) {
    std::u8string text(utf8.size(), u8'\0');
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        text[i] = static_cast<char8_t>(utf8[i]);
    }
    return fs::path(text);
}

#ifndef _WIN32

ReadFileStatus ReadRegularFile(const fs::path& file, std::string& bytes, std::uintmax_t maxBytes) {
    // One open and a look at what it opened: a separate stat of the path costs as much as the open
    // and is a good part of loading a small file. O_NONBLOCK keeps a FIFO from blocking the open.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT ? ReadFileStatus::NotFound : ReadFileStatus::Failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadFileStatus::NotRegular;
    }
    const auto size = static_cast<std::uintmax_t>(info.st_size);
    if (size > maxBytes) {
        ::close(fd);
        return ReadFileStatus::TooLarge;
    }
    bytes.assign(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != bytes.size()) {
        bytes.clear();
        return ReadFileStatus::Failed;
    }
    return ReadFileStatus::Ok;
}

#else

ReadFileStatus ReadRegularFile(const fs::path& file, std::string& bytes, std::uintmax_t maxBytes) {
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) {
        return ReadFileStatus::NotFound;
    }
    if (status.type() != fs::file_type::regular) {
        return ReadFileStatus::NotRegular;
    }
    std::FILE* stream = _wfopen(file.c_str(), L"rb");
    if (stream == nullptr) {
        return ReadFileStatus::Failed;
    }
    bytes.clear();
    char chunk[16384];
    bool tooLarge = false;
    for (std::size_t n = 0; (n = std::fread(chunk, 1, sizeof chunk, stream)) > 0;) {
        bytes.append(chunk, n);
        if (bytes.size() > maxBytes) {
            tooLarge = true;
            break;
        }
    }
    const bool failed = std::ferror(stream) != 0;
    std::fclose(stream);
    if (tooLarge || failed) {
        bytes.clear();
        return tooLarge ? ReadFileStatus::TooLarge : ReadFileStatus::Failed;
    }
    return ReadFileStatus::Ok;
}

#endif

}  // namespace kb
