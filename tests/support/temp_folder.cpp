#include "temp_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace kb::test {

TempFolder::TempFolder() {
    std::string name = "kb_";
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        name += std::string(info->test_suite_name()) + "_" + info->name() + "_";
    }
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
#ifdef _WIN32
    // No mkdtemp: a folder that create_directory makes new is ours alone.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const auto candidate =
            std::filesystem::temp_directory_path() / (name + std::to_string(random() % 1000000000));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate;
        }
    }
    if (path_.empty()) {
        ADD_FAILURE() << "no temporary folder for " << name;
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "no temporary folder " << pattern;
    }
    path_ = pattern;
#endif
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void TempFolder::Write(const std::string& name, const std::string& text) const {
    WriteFile(path_ / name, text);
}

std::string TempFolder::Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& n : names) {
        joined += (joined.empty() ? "" : " ") + n;
    }
    return joined;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kb::test
