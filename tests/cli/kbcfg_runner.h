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

#include "temp_folder.h"

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

// A fresh folder per test holding a copy of config.xml; removed afterwards.
class KbcfgFolder {
public:
    KbcfgFolder() { std::filesystem::copy_file(KB_SOURCE_CONFIG, folder_.Path() / "config.xml"); }

    std::string File(const std::string& name) const { return folder_.File(name); }
    void Write(const std::string& name, const std::string& text) const {
        folder_.Write(name, text);
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
        result.out = ReadFile(outFile);
        result.err = ReadFile(errFile);
        return result;
    }

    // kbcfg on the simulated keyboard with this folder's config.xml and state file.
    RunResult Sim(std::vector<std::string> args) const {
        args.insert(args.begin(),
                    {"--config", File("config.xml"), "--simulate=" + File("state.xml")});
        return Run(args);
    }

private:
    TempFolder folder_;
};

}  // namespace kb::test
