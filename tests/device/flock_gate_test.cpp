#include "device/linux/flock_gate.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace kb {
namespace {

class FlockGateTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(path); }

    const std::string path =
        (std::filesystem::temp_directory_path() / ("kb_gate_" + std::to_string(::getpid())))
            .string();
};

TEST_F(FlockGateTest, PassWaitsWhileAnotherHolderHasTheLock) {
    const int holder = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    FlockGate gate(path);
    std::atomic<bool> passed{false};
    std::thread exchange([&] {
        gate.Pass();
        passed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(passed) << "the gate let the exchange through while the lock was held";
    ::flock(holder, LOCK_UN);
    exchange.join();
    EXPECT_TRUE(passed);
    ::close(holder);

    // The gate itself holds nothing afterwards.
    const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
}

TEST_F(FlockGateTest, ADeadHolderReleasesTheLock) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
        ::flock(fd, LOCK_EX);
        const char byte = 1;
        (void)!::write(ready[1], &byte, 1);
        ::usleep(300 * 1000);
        ::_exit(0);  // dies holding the lock
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const int probe = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0) << "the child should hold the lock";
    ::close(probe);
    // The child never unlocks: Pass can only return because its death dropped the lock.
    FlockGate(path).Pass();
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(FlockGateTest, AnUnsafeLockFileLetsEverythingThroughAndSaysSoOnce) {
    // A FIFO put in place of the lock file would block a plain open for ever; a link would lead
    // the lock somewhere else (here: to a lock someone holds).
    const std::string held = path + ".held";
    const int holder = ::open(held.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const std::string fifo = path + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(held, path);
    for (const std::string& lock : {fifo, path, std::string("/nonexistent/folder/HidDevice")}) {
        SCOPED_TRACE(lock);
        FlockGate gate(lock);
        std::atomic<bool> passed{false};
        ::testing::internal::CaptureStderr();
        std::thread exchanges([&] {
            for (int i = 0; i < 3; ++i) {
                gate.Pass();
            }
            passed = true;
        });
        for (int waited = 0; !passed && waited < 200; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const bool blocked = !passed;
        if (blocked) {
            // Unblock the gate so the test can end: a writer for the FIFO, the lock released.
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            ::flock(holder, LOCK_UN);
            exchanges.join();
            ::close(writer);
        } else {
            exchanges.join();
        }
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(blocked) << "the gate waited on an unsafe lock file";
        EXPECT_EQ(said.find("no safe lock for the device gate \"HidDevice\" (" + lock), 0u) << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    }
    ::close(holder);
    std::filesystem::remove(fifo);
    std::filesystem::remove(held);
}

TEST(FlockGate, DefaultLockFileIsInTheUsersPrivateRuntimeFolder) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old != nullptr ? old : "";
    const auto runtime =
        std::filesystem::temp_directory_path() / ("kb_gate_runtime_" + std::to_string(::getpid()));
    std::filesystem::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::string problem;
    EXPECT_EQ(FlockGate::DefaultLockPath(problem), runtime.string() + "/HidDevice");
    EXPECT_EQ(FlockGate().LockPath(), runtime.string() + "/HidDevice");

    // A runtime folder others may enter is passed over.
    ::chmod(runtime.c_str(), 0755);
    const std::string fallback = FlockGate::DefaultLockPath(problem);
    EXPECT_NE(fallback, runtime.string() + "/HidDevice");
    EXPECT_NE(fallback.rfind("/HidDevice"), std::string::npos) << fallback << " " << problem;
    if (old != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::filesystem::remove_all(runtime);
}

TEST(FlockGate, NoPrivateRuntimeFolderAnywhereLetsExchangesThroughAndSaysWhy) {
    // No $XDG_RUNTIME_DIR, and a fallback parent that does not exist (/run/user/<uid> is absent
    // for root here and in containers; where it exists this still passes through it).
    const char* oldRuntime = std::getenv("XDG_RUNTIME_DIR");
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedRuntime = oldRuntime != nullptr ? oldRuntime : "";
    const std::string savedTmp = oldTmp != nullptr ? oldTmp : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", "/nonexistent/kb-no-such-folder", 1);
    ::testing::internal::CaptureStderr();
    {
        FlockGate gate;
        gate.Pass();
        gate.Pass();
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    if (!std::filesystem::exists("/run/user/" + std::to_string(::getuid()))) {
        EXPECT_NE(said.find("device gate"), std::string::npos) << said;
    }
    oldRuntime != nullptr ? ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1)
                          : ::unsetenv("XDG_RUNTIME_DIR");
    oldTmp != nullptr ? ::setenv("TMPDIR", savedTmp.c_str(), 1) : ::unsetenv("TMPDIR");
}

}  // namespace
}  // namespace kb
