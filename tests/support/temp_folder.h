#pragma once

#include <filesystem>
#include <string>

namespace kb::test {

// A folder of its own for the running test, made fresh under the temporary folder with a name
// no other run takes (so two checkouts tested at once never meet), and removed afterwards.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path of the named file in UTF-8, as the program takes paths.
    std::string File(const std::string& name) const {
        const std::u8string text = (path_ / name).u8string();
        return std::string(text.begin(), text.end());
    }
    // Writes text into the named file of the folder.
    void Write(const std::string& name, const std::string& text) const;
    // Names of the entries in the folder, sorted, joined by spaces.
    std::string Listing() const;

private:
    std::filesystem::path path_;
};

// The whole file as bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
// Replaces the file with the bytes.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace kb::test
