#include "config/atomic_file.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// What the disk held whenever fsync was called: the file synced and the target's content.
struct SyncRecord {
    std::string syncedName;
    std::string syncedContent;
    std::string targetContent;
};
std::vector<SyncRecord> g_syncs;
fs::path g_watchedTarget;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

// Stands in for the C library's fsync in this test program, to see what the writer syncs and
// when; the real sync still happens.
extern "C" int fsync(int fd) {
    if (!g_watchedTarget.empty()) {
        std::error_code ec;
        const fs::path synced = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
        g_syncs.push_back({synced.filename().string(), ReadAll(synced), ReadAll(g_watchedTarget)});
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("kb_atomic_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        g_watchedTarget.clear();
        std::error_code ec;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(folder_, ec);
    }

    static void Write(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    static bool Save(const fs::path& target, const std::string& bytes) {
        return kb::WriteFileAtomically(target, [&](std::FILE* file) {
            return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        });
    }
    // Names sorted and joined with ", ".
    static std::string Joined(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        std::string joined;
        for (const auto& name : names) {
            joined += (joined.empty() ? "" : ", ") + name;
        }
        return joined;
    }
    // Entry names of a folder, sorted, with " -> link" after symbolic links.
    static std::string Listing(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::string name = entry.path().filename().string();
            if (entry.is_symlink()) {
                name += " -> " + fs::read_symlink(entry.path()).string();
            }
            names.push_back(name);
        }
        return Joined(names);
    }
    // The id of a process that has ended.
    static long EndedProcessId() {
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(0);
        }
        ::waitpid(child, nullptr, 0);
        return child;
    }

    fs::path folder_;
};

TEST_F(AtomicFileTest, WritesThroughSymbolicLinksToTheirTarget) {
    fs::create_directories(folder_ / "real");
    Write(folder_ / "real" / "macro.xml", "old");
    fs::permissions(folder_ / "real" / "macro.xml", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real/macro.xml", folder_ / "hop.xml");
    fs::create_symlink(folder_ / "hop.xml", folder_ / "macro.xml");

    ASSERT_TRUE(Save(folder_ / "macro.xml", "new"));
    // Both links stay links; the file at the end of them has the new content and its own
    // permissions, and no temporary file is left in either folder.
    EXPECT_EQ(Listing(folder_), "hop.xml -> real/macro.xml, macro.xml -> " +
                                    (folder_ / "hop.xml").string() + ", real");
    EXPECT_EQ(Listing(folder_ / "real"), "macro.xml");
    EXPECT_EQ(ReadAll(folder_ / "real" / "macro.xml"), "new");
    EXPECT_EQ(fs::status(folder_ / "real" / "macro.xml").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    // A link to a file not there yet creates it; a loop of links is refused.
    fs::create_symlink("later.xml", folder_ / "dangling.xml");
    ASSERT_TRUE(Save(folder_ / "dangling.xml", "created"));
    EXPECT_EQ(ReadAll(folder_ / "later.xml"), "created");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder_ / "dangling.xml")));
    fs::create_symlink("loop.xml", folder_ / "loop.xml");
    EXPECT_FALSE(Save(folder_ / "loop.xml", "never"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder_ / "loop.xml")));
}

TEST_F(AtomicFileTest, AReadOnlyTargetIsNotWritable) {
    const fs::path target = folder_ / "macro.xml";
    Write(target, "kept");
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(Save(target, "new"));
    EXPECT_EQ(ReadAll(target), "kept");
    fs::create_symlink("macro.xml", folder_ / "link.xml");
    EXPECT_FALSE(Save(folder_ / "link.xml", "new"));
    EXPECT_EQ(ReadAll(target), "kept");
    EXPECT_EQ(Listing(folder_), "link.xml -> macro.xml, macro.xml");
}

TEST_F(AtomicFileTest, LinksInASharedStickyFolderAreFollowedOnlyWhereTheKernelWould) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files to another user";
    }
    // A folder like /tmp (everyone may write, sticky) owned by another user, 4242.
    const fs::path shared = folder_ / "shared";
    fs::create_directories(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(::chown(shared.c_str(), 4242, 4242), 0);
    const fs::path victim = folder_ / "profile";
    Write(victim, "the user's own file");

    struct Case {
        const char* name;
        uid_t linkOwner;
        bool followed;
    };
    for (const Case& c : {Case{"stranger.xml", 4343, false}, Case{"folder-owner.xml", 4242, true},
                          Case{"own.xml", ::geteuid(), true}}) {
        SCOPED_TRACE(c.name);
        Write(victim, "the user's own file");
        const fs::path link = shared / c.name;
        fs::create_symlink(victim, link);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        std::string problem;
        EXPECT_EQ(kb::CheckWritableTarget(link, problem), c.followed) << problem;
        EXPECT_EQ(Save(link, "redirected"), c.followed);
        EXPECT_EQ(ReadAll(victim), c.followed ? "redirected" : "the user's own file");
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    }

    // Outside a shared sticky folder, another user's link is followed as before.
    const fs::path plain = folder_ / "plain.xml";
    fs::create_symlink(victim, plain);
    ASSERT_EQ(::lchown(plain.c_str(), 4343, 4343), 0);
    EXPECT_TRUE(Save(plain, "through"));
    EXPECT_EQ(ReadAll(victim), "through");
}

TEST_F(AtomicFileTest, OnlyRegularFilesAndNewNamesAreWritten) {
    ASSERT_EQ(::mkfifo((folder_ / "fifo").c_str(), 0600), 0);
    fs::create_directories(folder_ / "folder");
    fs::create_symlink("/dev/null", folder_ / "null-link");
    struct Case {
        fs::path target;
        bool writable;
    };
    for (const Case& c :
         {Case{folder_ / "fifo", false}, Case{folder_ / "folder", false}, Case{"/dev/null", false},
          Case{folder_ / "null-link", false}, Case{fs::path(), false},
          Case{folder_ / "missing" / "x.xml", false}, Case{folder_ / "new.xml", true}}) {
        SCOPED_TRACE(c.target.string());
        std::string problem;
        EXPECT_EQ(kb::CheckWritableTarget(c.target, problem), c.writable);
        EXPECT_EQ(problem.empty(), c.writable) << problem;
        EXPECT_EQ(Save(c.target, "x"), c.writable);
    }
    // The special files are still what they were.
    struct stat info {};
    ASSERT_EQ(::lstat((folder_ / "fifo").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_TRUE(fs::is_directory(folder_ / "folder"));
}

TEST_F(AtomicFileTest, FlushesTheTemporaryFileToDiskBeforeTheRename) {
    const fs::path target = folder_ / "store.xml";
    Write(target, "old");
    g_syncs.clear();
    g_watchedTarget = target;
    ASSERT_TRUE(Save(target, "new content"));
    ASSERT_EQ(g_syncs.size(), 1u);
    EXPECT_EQ(g_syncs[0].syncedName.rfind("store.xml.tmp-" + std::to_string(::getpid()) + "-", 0),
              0u)
        << g_syncs[0].syncedName;
    EXPECT_EQ(g_syncs[0].syncedContent, "new content");
    EXPECT_EQ(g_syncs[0].targetContent, "old");
    EXPECT_EQ(ReadAll(target), "new content");
}

TEST_F(AtomicFileTest, RemovesTemporaryFilesOfEndedProcessesOnly) {
    const std::string dead = std::to_string(EndedProcessId());
    const std::string self = std::to_string(::getpid());
    const std::string parent = std::to_string(::getppid());
    for (const std::string& name : std::vector<std::string>{
             "macro.xml.tmp-" + dead + "-12-0", "macro.xml.tmp-" + dead + "-99-7",
             "macro.xml.tmp-" + self + "-1-0", "macro.xml.tmp-" + parent + "-1-0",
             "macro.xml.tmp-x-1-0", "other.xml.tmp-" + dead + "-1-0", "macro.xml"}) {
        Write(folder_ / name, "leftover");
    }
    fs::create_symlink("macro.xml", folder_ / ("macro.xml.tmp-" + dead + "-5-0"));
    const std::string kept =
        Joined({"macro.xml", "macro.xml.tmp-" + dead + "-5-0 -> macro.xml",
                "macro.xml.tmp-" + parent + "-1-0", "macro.xml.tmp-" + self + "-1-0",
                "macro.xml.tmp-x-1-0", "other.xml.tmp-" + dead + "-1-0"});

    // At start, without writing anything.
    kb::RemoveStaleTemporaries(folder_ / "macro.xml");
    EXPECT_EQ(Listing(folder_), kept);
    EXPECT_EQ(ReadAll(folder_ / "macro.xml"), "leftover");

    // At the next save.
    Write(folder_ / ("macro.xml.tmp-" + dead + "-13-0"), "leftover");
    ASSERT_TRUE(Save(folder_ / "macro.xml", "saved"));
    EXPECT_EQ(Listing(folder_), kept);
    EXPECT_EQ(ReadAll(folder_ / "macro.xml"), "saved");
}

}  // namespace
