#include "device/linux/flock_gate.h"

#include <fcntl.h>
#include <sys/file.h>
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

TEST_F(FlockGateTest, AnUnusableLockFileLetsEverythingThrough) {
    FlockGate("/nonexistent/folder/HidDevice").Pass();
    std::filesystem::create_symlink("/nonexistent/target", path);
    FlockGate(path).Pass();  // symbolic links are not followed
    EXPECT_FALSE(std::filesystem::exists("/nonexistent/target"));
}

TEST(FlockGate, DefaultLockFileIsInTheRuntimeFolder) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("XDG_RUNTIME_DIR", "/some/runtime", 1);
    EXPECT_EQ(FlockGate::DefaultLockPath(), "/some/runtime/HidDevice");
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string fallback = FlockGate::DefaultLockPath();
    EXPECT_TRUE(fallback == "/run/user/" + std::to_string(::getuid()) + "/HidDevice" ||
                fallback == "/tmp/HidDevice")
        << fallback;
    if (old != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    }
}

}  // namespace
}  // namespace kb
