#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kb::cli {

enum class Command {
    Help,
    List,
    Status,
    Slots,
    Light,
    Assign,
    Clear,
    Reset,
    Keys,
    Backup,
    Restore
};

// What an assignment gives the key, one per page of the key-assignment dialog.
enum class Target { Key, Media, Function, Macro };

inline constexpr int kAreaValues = 6;

// Wire values of one lighting record; what is not given keeps the effect's initial value.
struct LightRequest {
    int effect = 0;
    std::optional<std::uint8_t> colour;                          // 0-7
    std::optional<std::uint8_t> direction;                       // 1 left, 2 right
    std::optional<std::uint8_t> speed;                           // 0-3
    std::optional<std::uint8_t> brightness;                      // 0-3
    std::optional<std::array<std::uint8_t, kAreaValues>> areas;  // 0-15 each, effect 8 only
};

struct Options {
    std::optional<std::string> configFile;
    std::optional<std::string> keymapFile;  // --keymap
    bool simulate = false;
    std::string stateFile;  // empty: the simulated keyboard forgets its state at exit
    // The simulated keyboard is unplugged after this many exchanges (to try failures).
    std::optional<int> unplugAfter;
    bool trace = false;
    bool verbose = false;

    Command command = Command::Help;
    int profile = 1;  // 1-3
    bool profileGiven = false;
    std::uint8_t key = 0;  // KEY of assign and clear
    Target target = Target::Key;
    std::uint8_t targetKey = 0;  // --key
    std::string targetName;      // --media, --function or --macro
    int repeat = 1;              // 1-255
    std::optional<std::string> library;
    LightRequest light;
    std::string file;  // FILE of backup and restore
};

struct ParseResult {
    Options options;
    std::string error;  // non-empty: bad usage or input, naming what was wrong
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The text of "kbcfg --help".
const char* UsageText();

}  // namespace kb::cli
