#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace kb::test {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;

    std::vector<std::string> ErrLines() const {
        std::vector<std::string> lines;
        std::istringstream stream(err);
        for (std::string line; std::getline(stream, line);) {
            lines.push_back(line);
        }
        return lines;
    }
};

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

// A fresh folder per test holding a copy of config.xml; removed afterwards.
class KbcfgFolder {
public:
    KbcfgFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "kbcfg_" + std::to_string(getpid()) + "_" + info->test_suite_name() +
                           "_" + info->name();
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        std::filesystem::copy_file(KB_SOURCE_CONFIG, path_ / "config.xml");
    }
    ~KbcfgFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    KbcfgFolder(const KbcfgFolder&) = delete;
    KbcfgFolder& operator=(const KbcfgFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }

    // Runs kbcfg with args, stdout and stderr captured apart.
    RunResult Run(const std::vector<std::string>& args) const {
        const std::string outFile = File("stdout.txt");
        const std::string errFile = File("stderr.txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<std::string> all{KBCFG_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        RunResult result;
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, KBCFG_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << KBCFG_PATH;
            return result;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = ReadText(outFile);
        result.err = ReadText(errFile);
        return result;
    }

    // kbcfg on the simulated keyboard with this folder's config.xml and state file.
    RunResult Sim(std::vector<std::string> args) const {
        args.insert(args.begin(),
                    {"--config", File("config.xml"), "--simulate=" + File("state.xml")});
        return Run(args);
    }

private:
    std::filesystem::path path_;
};

}  // namespace kb::test
