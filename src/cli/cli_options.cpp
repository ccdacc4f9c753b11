#include "cli/cli_options.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "cli/key_text.h"

namespace kb::cli {

namespace {

struct OptionSpec {
    std::string_view name;
    bool takesValue;
};

// Options that belong to a command; the global ones are handled apart.
constexpr OptionSpec kCommandOptions[] = {
    {"profile", true},    {"colour", true}, {"direction", true}, {"speed", true},
    {"brightness", true}, {"areas", true},  {"key", true},       {"media", true},
    {"function", true},   {"macro", true},  {"repeat", true},    {"library", true},
    {"yes", false},
};

struct CommandSpec {
    std::string_view name;
    Command command;
    std::initializer_list<std::string_view> options;
    std::string_view positional;  // name of the one positional argument, empty for none
};

const CommandSpec kCommands[] = {
    {"list", Command::List, {}, {}},
    {"status", Command::Status, {}, {}},
    {"slots", Command::Slots, {"profile"}, {}},
    {"light", Command::Light, {"colour", "direction", "speed", "brightness", "areas"}, "EFFECT"},
    {"assign",
     Command::Assign,
     {"profile", "key", "media", "function", "macro", "repeat", "library"},
     "KEY"},
    {"clear", Command::Clear, {"profile"}, "KEY"},
    {"reset", Command::Reset, {"yes"}, {}},
    {"keys", Command::Keys, {"profile"}, {}},
    {"backup", Command::Backup, {}, "FILE"},
    {"restore", Command::Restore, {}, "FILE"},
    {"help", Command::Help, {}, {}},
};

using CommandOptions = std::vector<std::pair<std::string, std::string>>;

constexpr std::uint32_t kMaxUnplugAfter = 1000000;

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

const std::string* Find(const CommandOptions& options, std::string_view name) {
    for (const auto& [key, value] : options) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

// A number option within [low, high]; false with the error set otherwise.
bool ReadNumber(const CommandOptions& options, std::string_view name, std::uint32_t low,
                std::uint32_t high, std::optional<std::uint32_t>& out, std::string& error) {
    const std::string* text = Find(options, name);
    if (text == nullptr) {
        return true;
    }
    const auto value = ParseNumber(*text);
    if (!value || *value < low || *value > high) {
        error = "--" + std::string(name) + " must be a number from " + std::to_string(low) +
                " to " + std::to_string(high) + " (got " + Quoted(*text) + ")";
        return false;
    }
    out = value;
    return true;
}

std::optional<std::uint8_t> ToByte(const std::optional<std::uint32_t>& value) {
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(*value);
}

std::string ReadLight(const std::string& effectText, const CommandOptions& options,
                      LightRequest& light) {
    const auto effect = ParseNumber(effectText);
    if (!effect || *effect > 9) {
        return "EFFECT must be a number from 0 to 9 (got " + Quoted(effectText) + ")";
    }
    light.effect = static_cast<int>(*effect);
    std::string error;
    std::optional<std::uint32_t> colour, speed, brightness;
    if (!ReadNumber(options, "colour", 0, 7, colour, error) ||
        !ReadNumber(options, "speed", 0, 3, speed, error) ||
        !ReadNumber(options, "brightness", 0, 3, brightness, error)) {
        return error;
    }
    light.colour = ToByte(colour);
    light.speed = ToByte(speed);
    light.brightness = ToByte(brightness);
    if (const std::string* direction = Find(options, "direction")) {
        if (*direction == "left") {
            light.direction = 1;
        } else if (*direction == "right") {
            light.direction = 2;
        } else {
            return "--direction must be left or right (got " + Quoted(*direction) + ")";
        }
    }
    if (const std::string* areas = Find(options, "areas")) {
        std::array<std::uint8_t, kAreaValues> values{};
        std::size_t count = 0;
        std::string_view rest = *areas;
        bool ok = true;
        while (ok) {
            const std::size_t comma = rest.find(',');
            const auto value = ParseNumber(rest.substr(0, comma));
            ok = value && *value <= 15 && count < kAreaValues;
            if (ok) {
                values[count++] = static_cast<std::uint8_t>(*value);
            }
            if (comma == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(comma + 1);
        }
        if (!ok || count != kAreaValues) {
            return "--areas must be six numbers from 0 to 15, separated by commas (got " +
                   Quoted(*areas) + ")";
        }
        light.areas = values;
    }
    // Effect 8 keeps area colours where the other effects keep colour, direction and speed.
    constexpr int kAreaEffect = 8;
    if (light.effect == kAreaEffect) {
        for (const char* name : {"colour", "direction", "speed"}) {
            if (Find(options, name) != nullptr) {
                return std::string("--") + name + " does not apply to effect 8";
            }
        }
    } else if (light.areas) {
        return "--areas applies only to effect 8";
    }
    return {};
}

std::string ReadAssignment(const CommandOptions& options, Options& out) {
    int targets = 0;
    for (const auto& [name, target] :
         {std::pair{"key", Target::Key}, std::pair{"media", Target::Media},
          std::pair{"function", Target::Function}, std::pair{"macro", Target::Macro}}) {
        if (const std::string* value = Find(options, name)) {
            ++targets;
            out.target = target;
            out.targetName = *value;
        }
    }
    if (targets != 1) {
        return "assign needs exactly one of --key, --media, --function and --macro";
    }
    if (out.target != Target::Macro &&
        (Find(options, "repeat") != nullptr || Find(options, "library") != nullptr)) {
        return "--repeat and --library go with --macro";
    }
    if (out.target == Target::Key) {
        const auto key = ParseKey(out.targetName);
        if (!key) {
            return "unknown key " + Quoted(out.targetName);
        }
        out.targetKey = *key;
    }
    std::string error;
    std::optional<std::uint32_t> repeat;
    if (!ReadNumber(options, "repeat", 1, 255, repeat, error)) {
        return error;
    }
    if (repeat) {
        out.repeat = static_cast<int>(*repeat);
    }
    if (const std::string* library = Find(options, "library")) {
        out.library = *library;
    }
    return {};
}

std::string Validate(const CommandSpec& spec, const std::vector<std::string>& positional,
                     const CommandOptions& options, Options& out) {
    for (const auto& [name, value] : options) {
        if (std::find(spec.options.begin(), spec.options.end(), name) == spec.options.end()) {
            return "--" + name + " does not go with " + std::string(spec.name);
        }
    }
    const std::size_t wanted = spec.positional.empty() ? 0 : 1;
    if (positional.size() < wanted) {
        return std::string(spec.name) + " needs " + std::string(spec.positional);
    }
    if (positional.size() > wanted) {
        return "unexpected argument " + Quoted(positional[wanted]);
    }
    std::string error;
    std::optional<std::uint32_t> profile;
    if (!ReadNumber(options, "profile", 1, 3, profile, error)) {
        return error;
    }
    if (profile) {
        out.profile = static_cast<int>(*profile);
        out.profileGiven = true;
    }
    if (spec.command == Command::Backup || spec.command == Command::Restore) {
        out.file = positional[0];
    }
    if (spec.command == Command::Assign || spec.command == Command::Clear) {
        const auto key = ParseKey(positional[0]);
        if (!key) {
            return "unknown key " + Quoted(positional[0]);
        }
        out.key = *key;
    }
    switch (spec.command) {
        case Command::Light:
            return ReadLight(positional[0], options, out.light);
        case Command::Assign:
            return ReadAssignment(options, out);
        case Command::Reset:
            if (Find(options, "yes") == nullptr) {
                return "reset restores the factory settings; confirm with --yes";
            }
            return {};
        default:
            return {};
    }
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    Options& out = result.options;
    std::vector<std::string> positional;
    CommandOptions options;
    bool onlyPositional = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPositional || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            if (!onlyPositional && arg == "--") {
                onlyPositional = true;
            } else if (!onlyPositional && arg == "-h") {
                out.command = Command::Help;
                return result;
            } else {
                positional.push_back(arg);
            }
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
        std::optional<std::string> value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        }
        if (name == "help") {
            out.command = Command::Help;
            return result;
        }
        if (name == "simulate") {
            out.simulate = true;
            out.stateFile = value.value_or("");
            if (value && value->empty()) {
                result.error = "--simulate= needs a state file name";
                return result;
            }
            continue;
        }
        if (name == "unplug-after") {
            if (!value && i + 1 < args.size()) {
                value = args[++i];
            }
            const auto count = value ? ParseNumber(*value) : std::nullopt;
            if (!count || *count > kMaxUnplugAfter) {
                result.error = "--unplug-after must be a number of exchanges from 0 to " +
                               std::to_string(kMaxUnplugAfter);
                return result;
            }
            out.unplugAfter = static_cast<int>(*count);
            continue;
        }
        if (name == "trace" || name == "verbose" || name == "yes") {
            if (value) {
                result.error = "--" + name + " takes no value";
                return result;
            }
            if (name == "trace") {
                out.trace = true;
                continue;
            }
            if (name == "verbose") {
                out.verbose = true;
                continue;
            }
        }
        const bool global = name == "config" || name == "keymap";
        const auto spec = std::find_if(std::begin(kCommandOptions), std::end(kCommandOptions),
                                       [&](const OptionSpec& s) { return s.name == name; });
        if (!global && spec == std::end(kCommandOptions)) {
            result.error = "unknown option --" + name;
            return result;
        }
        if ((global || spec->takesValue) && !value) {
            if (i + 1 >= args.size()) {
                result.error = "--" + name + " needs a value";
                return result;
            }
            value = args[++i];
        }
        if (global) {
            (name == "config" ? out.configFile : out.keymapFile) = *value;
            continue;
        }
        if (Find(options, name) != nullptr) {
            result.error = "--" + name + " is given twice";
            return result;
        }
        options.emplace_back(name, value.value_or(""));
    }

    if (out.unplugAfter && !out.simulate) {
        result.error = "--unplug-after needs --simulate";
        return result;
    }
    if (positional.empty()) {
        result.error = "missing command";
        return result;
    }
    const auto spec = std::find_if(std::begin(kCommands), std::end(kCommands),
                                   [&](const CommandSpec& s) { return s.name == positional[0]; });
    if (spec == std::end(kCommands)) {
        result.error = "unknown command " + Quoted(positional[0]);
        return result;
    }
    out.command = spec->command;
    positional.erase(positional.begin());
    result.error = Validate(*spec, positional, options, out);
    return result;
}

const char* UsageText() {
    return R"(usage: kbcfg [--config FILE] [--keymap FILE] [--simulate[=STATEFILE]] [--trace] [--verbose]
             COMMAND ...

commands:
  list                      every HID interface; * marks the configured keyboard
  status                    whether the keyboard can be opened
  slots [--profile N]       select profile N (1-3, default 1) and show its slot tables
  light EFFECT [--colour C] [--direction left|right] [--speed S] [--brightness B]
        [--areas a,b,c,d,e,f]
                            send lighting effect EFFECT (0-9); values as on the wire
  assign KEY [--profile N] (--key KEY2 | --media NAME | --function NAME |
        --macro GROUP [--repeat N] [--library FILE])
                            give KEY another key, a media key or key combination of
                            config.xml, or a macro group of the macro library
  clear KEY [--profile N]   remove the assignment of KEY
  reset --yes               restore the keyboard's factory settings
  keys [--profile N]        what each assigned key does (all profiles, or profile N)
  backup FILE               write every profile's known assignments, the macros they
                            play and the lighting to FILE ("-": standard output)
  restore FILE              make the keyboard match a backup written by backup

options:
  --config FILE             configuration to use (default: config.xml next to kbcfg)
  --keymap FILE             what was sent to each key (default: keymap.xml in the data
                            folder; with --simulate=STATEFILE, STATEFILE's name with
                            "-keymap.xml" in place of its extension)
  --simulate[=STATEFILE]    talk to the simulated keyboard, keeping its state in STATEFILE
  --unplug-after N          with --simulate: the keyboard is unplugged after N exchanges
  --trace                   every report and wait on standard error
  --verbose                 device discovery's diagnostic lines

KEY is a key name ("A", "Ctrl Left", "Pad Enter") or a code (decimal or 0x hex).
Exit status: 0 done, 1 keyboard missing, no free slot or a report the keyboard did not
take, 2 bad usage or input.
)";
}

}  // namespace kb::cli
