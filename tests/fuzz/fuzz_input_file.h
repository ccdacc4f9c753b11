#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kb::fuzz {

// A folder of the process's own, removed when the process ends normally.
class InputFolder {
public:
    // In memory where the system offers it: a file on disk costs more than most parses.
    InputFolder() {
        const char* temp = std::getenv("TMPDIR");
        for (const char* base : {"/dev/shm", temp != nullptr && *temp != '\0' ? temp : "/tmp"}) {
            path_ = std::string(base) + "/kb_fuzz_XXXXXX";
            if (::mkdtemp(path_.data()) != nullptr) {
                return;
            }
        }
        std::abort();
    }
    ~InputFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    InputFolder(const InputFolder&) = delete;
    InputFolder& operator=(const InputFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Hands a fuzz input to a parser that reads files: the bytes become the file `name` in the
// process's folder, the same file for every input.
inline std::string WriteInputFile(const std::uint8_t* data, std::size_t size, const char* name) {
    static const InputFolder folder;
    const std::string path = folder.Path() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::abort();
    }
    std::fclose(file);
    return path;
}

}  // namespace kb::fuzz
