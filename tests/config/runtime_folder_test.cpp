#include "config/runtime_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace kb {
namespace {

class RuntimeFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kb_runtime_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    // A folder below the test's root with the given mode.
    std::string Folder(const std::string& name, mode_t mode) const {
        const std::string path = (root_ / name).string();
        fs::create_directories(path);
        ::chmod(path.c_str(), mode);
        return path;
    }
    std::string Own(const std::string& parent) const {
        return parent + "/kbconfig-" + std::to_string(::getuid());
    }

    fs::path root_;
};

TEST_F(RuntimeFolderTest, TakesTheFirstPrivateFolderOfTheUser) {
    const std::string xdg = Folder("xdg", 0700);
    const std::string runUser = Folder("run-user", 0700);
    const std::string open = Folder("open", 0755);
    const std::string parent = Folder("tmp", 01777);
    std::string problem;
    EXPECT_EQ(PrivateRuntimeFolder({xdg, runUser, parent}, problem), xdg);
    // A runtime folder open to others, a relative one or none: the next source.
    EXPECT_EQ(PrivateRuntimeFolder({open, runUser, parent}, problem), runUser);
    EXPECT_EQ(PrivateRuntimeFolder({"relative", runUser, parent}, problem), runUser);
    EXPECT_EQ(PrivateRuntimeFolder({"", open, parent}, problem), Own(parent));
    EXPECT_FALSE(fs::exists(open + "/kbconfig-" + std::to_string(::getuid())));

    // The folder of our own is made private even under a umask that takes the owner's bits.
    fs::remove(Own(parent));
    const mode_t oldMask = ::umask(0777);
    EXPECT_EQ(PrivateRuntimeFolder({"", "", parent}, problem), Own(parent));
    ::umask(oldMask);
    struct stat info {};
    ASSERT_EQ(::lstat(Own(parent).c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());
}

TEST_F(RuntimeFolderTest, RefusesAFolderOfOurOwnThatAnotherUserCouldHavePlacedOrEnter) {
    const std::string target = Folder("target", 0700);
    struct Case {
        const char* what;
        std::string parent;
        std::string problem;
    };
    std::vector<Case> cases;
    const std::string link = Folder("link", 01777);
    fs::create_directory_symlink(target, Own(link));
    cases.push_back({"a symbolic link", link, Own(link) + " is not a folder"});
    const std::string file = Folder("file", 01777);
    std::ofstream(Own(file)) << "x";
    cases.push_back({"a file", file, Own(file) + " is not a folder"});
    const std::string open = Folder("open", 01777);
    ::mkdir(Own(open).c_str(), 0777);
    ::chmod(Own(open).c_str(), 0777);
    cases.push_back({"a folder open to others", open, Own(open) + " is open to other users"});
    if (::getuid() == 0) {
        const std::string foreign = Folder("foreign", 01777);
        ::mkdir(Own(foreign).c_str(), 0700);
        ASSERT_EQ(::chown(Own(foreign).c_str(), 65534, 65534), 0);
        cases.push_back(
            {"another user's folder", foreign, Own(foreign) + " belongs to another user"});
    }
    cases.push_back({"no parent", (root_ / "none").string(), Own((root_ / "none").string())});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string problem;
        EXPECT_EQ(PrivateRuntimeFolder({"", "", c.parent}, problem), "");
        EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << problem;
    }
}

TEST_F(RuntimeFolderTest, OpensOnlyARegularLockFileAndNeverBlocks) {
    const std::string folder = Folder("run", 0700);
    std::string problem;
    const int fd = OpenLockFile(folder + "/lock", problem);
    ASSERT_GE(fd, 0) << problem;
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ::close(fd);
    const int again = OpenLockFile(folder + "/lock", problem);
    EXPECT_GE(again, 0) << problem;
    ::close(again);

    ASSERT_EQ(::mkfifo((folder + "/fifo").c_str(), 0600), 0);
    fs::create_symlink(folder + "/lock", folder + "/link");
    fs::create_symlink(folder + "/missing", folder + "/dangling");
    fs::create_directory(folder + "/dir");
    const auto start = std::chrono::steady_clock::now();
    for (const char* name : {"fifo", "link", "dangling", "dir"}) {
        SCOPED_TRACE(name);
        problem.clear();
        EXPECT_EQ(OpenLockFile(folder + "/" + name, problem), -1);
        EXPECT_EQ(problem.rfind(folder + "/" + name, 0), 0u) << problem;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(fs::exists(folder + "/missing"));
}

TEST(RuntimeFolder, SaysOnceForEachProblem) {
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) {
        ReportUnsafeLockOnce("device gate", "first problem", "not gated");
        ReportUnsafeLockOnce("device gate", "second problem", "not gated");
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "no safe lock for the device gate (first problem): not gated\n"
              "no safe lock for the device gate (second problem): not gated\n");
}

}  // namespace
}  // namespace kb
