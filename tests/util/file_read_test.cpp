#include "util/file_read.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <string>
#include <vector>

#include "temp_folder.h"

namespace kb {
namespace {

TEST(ReadRegularFile, ReadsRegularFilesWholeAndRefusesEverythingElse) {
    const test::TempFolder folder;
    const std::string bytes("<a>\0b</a>\xE4\xB8\xAD", 12);
    folder.Write("file.xml", bytes);
    folder.Write("empty.xml", "");
    std::filesystem::create_directory(folder.Path() / "folder");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(folder.File("fifo").c_str(), 0600), 0);
#endif

    struct Case {
        const char* name;
        std::uintmax_t limit;
        ReadFileStatus status;
        std::string bytes;
    };
    const std::vector<Case> cases{
        {"file.xml", kNoSizeLimit, ReadFileStatus::Ok, bytes},
        {"file.xml", 12, ReadFileStatus::Ok, bytes},
        {"file.xml", 11, ReadFileStatus::TooLarge, ""},
        {"empty.xml", 0, ReadFileStatus::Ok, ""},
        {"missing.xml", kNoSizeLimit, ReadFileStatus::NotFound, ""},
        {"folder", kNoSizeLimit, ReadFileStatus::NotRegular, ""},
#ifndef _WIN32
        {"fifo", kNoSizeLimit, ReadFileStatus::NotRegular, ""},  // and the open does not block
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string read = "left over";
        EXPECT_EQ(ReadRegularFile(folder.Path() / c.name, read, c.limit), c.status);
        if (c.status == ReadFileStatus::Ok) {
            EXPECT_EQ(read, c.bytes);
        }
    }
}

TEST(PathFromUtf8, KeepsEveryCharacter) {
    const std::string name = "\xE5\xAE\x8F macro.xml";  // "macro" in Chinese, then ASCII
    EXPECT_TRUE(PathFromUtf8(name).u8string() == std::u8string(name.begin(), name.end()));
}

}  // namespace
}  // namespace kb
