#include "temp_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
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
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "no temporary folder " << pattern;
    }
    path_ = pattern;
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
