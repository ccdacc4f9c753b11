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
inline const InputFolder& ProcessFolder() {
    static const InputFolder folder;
    return folder;
}

inline std::string WriteInputFile(const std::uint8_t* data, std::size_t size, const char* name) {
    const std::string path = ProcessFolder().Path() + "/" + name;
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

// Removes what a save put beside the file `name` (copies of unreadable files), so they do not
// pile up over the run.
inline void RemoveSideFiles(const char* name) {
    const std::string prefix = std::string(name) + ".";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ProcessFolder().Path(), ec)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            std::filesystem::remove(entry.path(), ec);
        }
    }
}

}  // namespace kb::fuzz
