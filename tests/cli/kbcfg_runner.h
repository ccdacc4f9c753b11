#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "temp_folder.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace kb::test {

#ifdef _WIN32
// The console streams end lines with CR LF on Windows.
inline std::string OutputText(const std::filesystem::path& path) {
    std::string text = ReadFile(path);
    std::erase(text, '\r');
    return text;
}

inline std::wstring Widen(const std::string& utf8) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    return wide;
}

// One argument quoted as the C runtime splits a command line: backslashes are literal except
// before a quote, where they and the quote are escaped.
inline std::wstring QuoteArgument(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
            backslashes = 0;
        } else {
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, L'\\');
    return quoted + L"\"";
}

// kbcfg.exe sits next to the test executable.
inline std::wstring KbcfgExecutable() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + L"kbcfg.exe";
}

inline HANDLE InheritableFile(const std::filesystem::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

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
    const std::filesystem::path& Path() const { return folder_.Path(); }
    void Write(const std::string& name, const std::string& text) const {
        folder_.Write(name, text);
    }

#ifdef _WIN32
    // Runs kbcfg.exe with args (UTF-8), stdout and stderr captured apart.
    RunResult Run(const std::vector<std::string>& args) const {
        return RunExecutable(KbcfgExecutable(), args);
    }

    // The same with a copy of kbcfg.exe somewhere else.
    RunResult RunExecutable(const std::wstring& exe, const std::vector<std::string>& args) const {
        RunResult result;
        const HANDLE out = InheritableFile(Path() / "stdout.txt");
        const HANDLE err = InheritableFile(Path() / "stderr.txt");
        std::wstring line = QuoteArgument(exe);
        for (const std::string& arg : args) {
            line += L" " + QuoteArgument(Widen(arg));
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, nullptr, &startup, &process);
        CloseHandle(out);
        CloseHandle(err);
        if (!started) {
            ADD_FAILURE() << "cannot start kbcfg.exe";
            return result;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        result.exitCode = static_cast<int>(code);
        result.out = OutputText(Path() / "stdout.txt");
        result.err = OutputText(Path() / "stderr.txt");
        return result;
    }
#else
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
#endif

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
