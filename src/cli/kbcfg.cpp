// kbcfg: the keyboard's protocol from the command line, over the system's HID devices or the
// simulated keyboard.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/key_text.h"
#include "config/atomic_file.h"
#include "config/data_folder.h"
#include "config/device_config.h"
#include "config/program_folder.h"
#include "device/system_hid.h"
#include "keymap/backup_restore.h"
#include "keymap/keymap_file.h"
#include "macro/macro_library.h"
#include "protocol/pacers.h"
#include "session/keyboard_session.h"
#include "sim/sim_state.h"
#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "util/file_read.h"
#include "util/unreadable_copy.h"

namespace kb::cli {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitKeyboard = 1;
constexpr int kExitUsage = 2;

constexpr const char* kFailedToOpen = "Failed to open USB";
// The backup file name that means standard output.
constexpr const char* kStandardOutput = "-";

// The keyboard picture of the window, reduced to what a command line can show.
class CliView : public KeyboardView {
public:
    void ClearKeyMarks() override { marks_.clear(); }
    void MarkKey(int keyId) override { marks_.insert(keyId); }
    void ShowWarning(const std::string& text) override { std::cerr << text << std::endl; }

private:
    std::set<int> marks_;
};

struct UsageError {
    std::string message;
    bool pointToHelp = true;  // false: the command line was right, the input was not
};

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::string bytes;
    if (ReadRegularFile(PathFromUtf8(path), bytes) != ReadFileStatus::Ok) {
        return std::nullopt;
    }
    return bytes;
}

// The file name in folder, with the platform's separator as users see paths there.
std::string InFolder(const std::string& folder, const char* name) {
#ifdef _WIN32
    return folder + "\\" + name;
#else
    return folder + "/" + name;
#endif
}

// The simulated keyboard's memory goes with its state; without a state file both are forgotten
// at exit.
std::string KeymapPath(const Options& options) {
    if (options.keymapFile) {
        return *options.keymapFile;
    }
    if (options.simulate) {
        return SimulatedKeymapPath(options.stateFile);
    }
    return InFolder(DataFolder(), kKeymapFileName);
}

std::string ConfigPath(const Options& options) {
    if (options.configFile) {
        return *options.configFile;
    }
    return InFolder(ProgramFolder(), "config.xml");
}

// The model alone cannot tell a broken file from an empty one, so the file is checked first.
DeviceConfig ReadConfig(const std::string& path) {
    const auto text = ReadWholeFile(path);
    if (!text) {
        throw UsageError{"cannot read configuration " + path};
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(text->data(), text->size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        throw UsageError{"configuration " + path + " is not well-formed XML (" +
                         parsed.description() + ")"};
    }
    return DeviceConfig::LoadFromText(*text);
}

const KeyFunctionEntry& FindEntry(const std::vector<KeyFunctionEntry>& entries,
                                  const std::string& name, const char* kind) {
    for (const KeyFunctionEntry& entry : entries) {
        if (entry.name == name) {
            return entry;
        }
    }
    throw UsageError{std::string("no ") + kind + " named \"" + name + "\" in the configuration"};
}

std::vector<RememberedStep> GroupSteps(const Options& options) {
    const std::string path = options.library.value_or(InFolder(DataFolder(), "macro.xml"));
    MacroLibrary library;
    if (!library.Load(path)) {
        std::error_code error;
        const std::filesystem::path file = PathFromUtf8(path);
        const char* reason = !std::filesystem::exists(file, error)            ? "no such file"
                             : !std::filesystem::is_regular_file(file, error) ? "not a regular file"
                                                                              : "not a macro file";
        throw UsageError{"cannot read macro library " + path + ": " + reason, false};
    }
    const MacroNode& root = library.Root();
    for (int g = 0; g < root.ChildCount(); ++g) {
        const MacroNode& group = *root.ChildAt(g);
        if (group.GetAttribute("name") != options.targetName) {
            continue;
        }
        std::vector<RememberedStep> steps;
        for (int s = 0; s < group.ChildCount(); ++s) {
            const MacroNode& step = *group.ChildAt(s);
            steps.push_back(
                {std::string(step.GetAttribute("code")), std::string(step.GetAttribute("name")),
                 std::string(step.GetAttribute("state")), std::string(step.GetAttribute("delay"))});
        }
        return steps;
    }
    throw UsageError{"no macro group named \"" + options.targetName + "\" in " + path};
}

// What the key-assignment dialog would choose for the same request.
KeyChoice BuildChoice(const Options& options, const DeviceConfig& config) {
    KeyChoice choice;
    switch (options.target) {
        case Target::Key:
            choice.kind = KeyKind::Key;
            choice.target = options.targetKey;
            break;
        case Target::Media:
            choice.kind = KeyKind::Media;
            choice.name = options.targetName;
            choice.codes = FindEntry(config.mediaKeys, options.targetName, "media key").codes;
            break;
        case Target::Function:
            choice.kind = KeyKind::Function;
            choice.name = options.targetName;
            choice.codes = FindEntry(config.functionKeys, options.targetName, "function key").codes;
            break;
        case Target::Macro:
            choice.kind = KeyKind::Macro;
            choice.name = options.targetName;
            choice.repeat = options.repeat;
            choice.steps = GroupSteps(options);
            break;
    }
    return choice;
}

LightingRecord BuildLighting(const LightRequest& request) {
    // The same controls the lighting panel has: colours 1-7 are the group's members 0-6, an
    // area's 15 is none.
    LightingRecord record = InitialLightingTable()[static_cast<std::size_t>(request.effect)];
    LightingControls controls;
    LoadLightingControls(request.effect, record, controls);
    if (request.areas) {
        for (std::size_t area = 0; area < kAreaCount; ++area) {
            const int value = (*request.areas)[area];
            controls.areas[area] = value == 0xF ? -1 : value;
        }
    }
    if (request.colour) {
        (request.effect == kSecondColourEffect ? controls.secondColour : controls.colour) =
            *request.colour - 1;
    }
    if (request.direction) {
        controls.direction = *request.direction == 2 ? 1 : 0;
    }
    if (request.speed) {
        controls.speed = *request.speed;
    }
    if (request.brightness) {
        controls.brightness = *request.brightness;
    }
    StoreLightingControls(request.effect, controls, record);
    return record;
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

std::string CriteriaText(const DeviceConfig& config) {
    auto id = [](std::int32_t value) {
        return value <= 0 ? std::string("any") : Hex(static_cast<std::uint32_t>(value), 4);
    };
    auto number = [](std::int32_t value) {
        return value < 0 ? std::string("any") : std::to_string(value);
    };
    return "vid " + id(config.vid) + ", pid " + id(config.pid) + ", interface " +
           number(config.interfaceNumber) + ", collection " + number(config.subdevice);
}

int ListInterfaces(const KeyboardSession& session, const std::string& configPath,
                   const DeviceConfig& config) {
    const InterfaceListing listing = session.ListInterfaces();
    if (listing.interfaces.empty()) {
        std::cout << "No HID devices found." << std::endl;
        return kExitDone;
    }
    std::cout << FormatInterfaceList(listing.interfaces, listing.keyboard);
    if (listing.keyboard) {
        std::cout << "* the keyboard of " << configPath << " (" << CriteriaText(config) << ")\n";
    } else {
        std::cout << "no interface matches " << configPath << " (" << CriteriaText(config) << ")\n";
    }
    std::cout << std::flush;
    return kExitDone;
}

void PrintTables(const KeyboardSession& session) {
    std::cout << FormatSlotTables(session.CurrentProfileIndex() + 1, session.MacroSlots(),
                                  session.RemapSlots())
              << std::flush;
}

// A request that did not go through: the reason on stderr, exit 1.
int Failed(const SessionResult& result) {
    if (result.warned) {
        return kExitKeyboard;
    }
    std::cerr << "kbcfg: " << result.failure << std::endl;
    return kExitKeyboard;
}

SessionResult SelectAndRead(KeyboardSession& session, int profile) {
    return session.SelectProfile(profile - 1);
}

void PrintKeys(std::ostream& out, const KeyMemory& memory, int profile) {
    out << "profile " << profile << '\n';
    const ProfileMemory& keys = memory.Memory().profiles[static_cast<std::size_t>(profile - 1)];
    if (keys.empty()) {
        out << "  no key assigned\n";
    }
    for (const auto& [code, key] : keys) {
        char name[32];
        std::snprintf(name, sizeof name, "  %-12s ", KeyDisplayName(code).c_str());
        out << name << DescribeKey(key) << '\n';
    }
}

int Backup(const Options& options, KeyboardSession& session) {
    for (int profile = 1; profile <= kProfileCount; ++profile) {
        if (const SessionResult read = SelectAndRead(session, profile); !read.done) {
            return Failed(read);
        }
    }
    const KeyboardMemory& memory = session.Memory().Memory();
    // "-" sends the backup to standard output, and nothing else goes there.
    const bool toOutput = options.file == kStandardOutput;
    const bool written =
        toOutput ? static_cast<bool>(std::cout << BackupText(session.Memory().Identity(), memory)
                                               << std::flush)
                 : WriteBackup(options.file, session.Memory().Identity(), memory);
    if (!written) {
        std::cerr << "kbcfg: could not write the backup "
                  << (toOutput ? std::string("to standard output") : options.file) << std::endl;
        return kExitKeyboard;
    }
    std::ostream& report = toOutput ? std::cerr : std::cout;
    report << "backed up " << CountKnownKeys(memory) << " keys"
           << (memory.lighting ? " and the lighting" : "") << " to "
           << (toOutput ? std::string("standard output") : options.file) << '\n';
    // Keys set by some other program cannot be written back; say which.
    for (int profile = 1; profile <= kProfileCount; ++profile) {
        for (const auto& [code, key] : memory.profiles[static_cast<std::size_t>(profile - 1)]) {
            if (key.choice.kind == KeyKind::Elsewhere) {
                report << "not in the backup: profile " << profile << ' ' << KeyDisplayName(code)
                       << " (assigned elsewhere)\n";
            }
        }
    }
    report << std::flush;
    return kExitDone;
}

int Restore(const KeyboardMemory& backup, KeyboardSession& session) {
    const SessionResult result = session.Restore(backup);
    if (!result.done) {
        std::cerr << "kbcfg: restore stopped: " << result.failure << std::endl;
        return kExitKeyboard;
    }
    // The tables are all read before anything is printed, so a failure prints nothing.
    std::string tables;
    for (int profile = 1; profile <= kProfileCount; ++profile) {
        if (const SessionResult read = SelectAndRead(session, profile); !read.done) {
            return Failed(read);
        }
        tables += FormatSlotTables(profile, session.MacroSlots(), session.RemapSlots());
    }
    std::cout << "restored " << result.applied << " keys"
              << (backup.lighting ? " and the lighting" : "") << '\n'
              << tables << std::flush;
    return kExitDone;
}

int RunCommand(const Options& options, KeyboardSession& session,
               const std::optional<KeyChoice>& assignment,
               const std::optional<KeyboardMemory>& backup) {
    switch (options.command) {
        case Command::Slots:
            if (const SessionResult read = SelectAndRead(session, options.profile); !read.done) {
                return Failed(read);
            }
            PrintTables(session);
            return kExitDone;
        case Command::Keys: {
            // Printed once every profile was read, so a failure prints nothing.
            std::ostringstream keys;
            for (int profile = 1; profile <= kProfileCount; ++profile) {
                if (!options.profileGiven || profile == options.profile) {
                    if (const SessionResult read = SelectAndRead(session, profile); !read.done) {
                        return Failed(read);
                    }
                    PrintKeys(keys, session.Memory(), profile);
                }
            }
            std::cout << keys.str() << std::flush;
            return kExitDone;
        }
        case Command::Backup:
            return Backup(options, session);
        case Command::Restore:
            return Restore(*backup, session);
        case Command::Assign:
        case Command::Clear: {
            if (const SessionResult read = SelectAndRead(session, options.profile); !read.done) {
                return Failed(read);
            }
            const KeySelection key{{options.key, KeyDisplayName(options.key)}};
            const SessionResult result = options.command == Command::Assign
                                             ? session.Assign(*assignment, key)
                                             : session.Clear(key);
            if (!result.done) {
                // A refusal, or a report the keyboard did not take, has been told by the view.
                return result.warned ? kExitKeyboard : Failed(result);
            }
            PrintTables(session);
            return kExitDone;
        }
        case Command::Reset: {
            const SessionResult result = session.RestoreFactorySettings();
            if (!result.done) {
                return Failed(result);
            }
            PrintTables(session);
            return kExitDone;
        }
        case Command::Light: {
            const int effect = options.light.effect;
            const LightingRecord sent = BuildLighting(options.light);
            // The other effects keep what was last sent for them.
            LightingTable table = session.Lighting();
            if (const auto& last = session.Memory().Memory().lighting) {
                table = last->table;
            }
            table[static_cast<std::size_t>(effect)] = sent;
            if (const SessionResult result = session.SendLighting(effect, table); !result.done) {
                return Failed(result);
            }
            std::cout << "lighting effect " << effect << ":";
            for (const std::uint8_t byte : sent) {
                std::cout << ' ' << Hex(byte, 2);
            }
            std::cout << std::endl;
            return kExitDone;
        }
        default:
            return kExitDone;
    }
}

int Run(const std::vector<std::string>& args) {
    const ParseResult parsed = ParseCommandLine(args);
    if (!parsed.error.empty()) {
        throw UsageError{parsed.error};
    }
    const Options& options = parsed.options;
    if (options.command == Command::Help) {
        std::cout << UsageText();
        return kExitDone;
    }

    // All input is checked before the keyboard hears anything.
    const std::string configPath = ConfigPath(options);
    const DeviceConfig config = ReadConfig(configPath);
    std::optional<KeyChoice> assignment;
    if (options.command == Command::Assign) {
        assignment = BuildChoice(options, config);
    }
    const KeyboardIdentity identity{config.vid, config.pid, config.interfaceNumber,
                                    config.subdevice};
    std::optional<KeyboardMemory> backup;
    if (options.command == Command::Restore) {
        BackupReadResult read = ReadBackup(options.file, identity);
        if (!read.memory) {
            throw UsageError{read.error + "; nothing was sent"};
        }
        backup = std::move(read.memory);
    }
    // Where results will be written is checked before the keyboard hears anything, so a report
    // is never sent for a result that could not be kept.
    std::string problem;
    if (options.command == Command::Backup && options.file != kStandardOutput &&
        !CheckWritableTarget(PathFromUtf8(options.file), problem)) {
        throw UsageError{
            "cannot write the backup " + options.file + ": " + problem + "; nothing was sent",
            false};
    }
    if (options.keymapFile && !CheckWritableTarget(PathFromUtf8(*options.keymapFile), problem)) {
        throw UsageError{"cannot keep what is sent in \"" + *options.keymapFile + "\": " + problem +
                             "; nothing was sent",
                         false};
    }
    if (options.simulate && !options.stateFile.empty()) {
        std::error_code error;
        // Without its folder the state could never be saved, and every change would be lost.
        const std::filesystem::path statePath = PathFromUtf8(options.stateFile);
        const std::filesystem::path stateFolder =
            statePath.has_parent_path() ? statePath.parent_path() : std::filesystem::path(".");
        if (!std::filesystem::is_directory(stateFolder, error)) {
            throw UsageError{"cannot keep simulator state " + options.stateFile + ": no folder " +
                             stateFolder.string()};
        }
        SimKeyboardState state;
        if (std::filesystem::exists(PathFromUtf8(options.stateFile), error) &&
            !LoadSimState(options.stateFile, state)) {
            // Starting afresh would overwrite the file at the first change.
            throw UsageError{"cannot read simulator state " + options.stateFile};
        }
    }

    // Trace lines go out as they happen, so a hang shows where it hangs.
    StdioLines stderrLines(stderr);
    StdioLines stdoutLines(stdout);
    TraceSink* trace = options.trace ? &stderrLines : nullptr;
    // A backup written to standard output has it to itself.
    const bool backupToOutput =
        options.command == Command::Backup && options.file == kStandardOutput;
    TraceSink* diagnostics =
        options.verbose ? (backupToOutput ? &stderrLines : &stdoutLines) : nullptr;

    std::unique_ptr<SimulatedKeyboard> keyboard;
    std::unique_ptr<HidBackend> backend;
    std::unique_ptr<DeviceGate> gate;
    std::unique_ptr<Pacer> pacer;
    if (options.simulate) {
        keyboard = std::make_unique<SimulatedKeyboard>(
            config.vid, config.pid, config.interfaceNumber, config.subdevice, options.stateFile);
        if (options.unplugAfter) {
            keyboard->UnplugAfterExchanges(*options.unplugAfter);
        }
        backend = std::make_unique<SimulatedHidBackend>(*keyboard);
        gate = std::make_unique<OpenGate>();
        // The simulated keyboard needs no pacing: the waits are traced, not slept.
        pacer = std::make_unique<RecordingPacer>(trace);
    } else {
        backend = MakeSystemHidBackend();
        gate = MakeSystemDeviceGate();
        pacer = std::make_unique<SleepingPacer>(trace);
    }

    CliView view;
    KeyboardSession session(*backend, *gate, *pacer, view, KeymapPath(options), identity,
                            diagnostics, trace);
    if (options.command == Command::List) {
        return ListInterfaces(session, configPath, config);
    }
    // A keymap file that cannot be read whole is kept aside before anything replaces it.
    if (session.Memory().LoadedDamaged()) {
        const UnreadableCopy kept = KeepUnreadable(PathFromUtf8(session.Memory().Path()));
        if (kept.made) {
            std::cerr << "kbcfg: " << session.Memory().Path()
                      << " could not be read whole; it was kept as "
                      << reinterpret_cast<const char*>(kept.copy.u8string().c_str()) << std::endl;
        }
    }
    if (!session.Connect()) {
        std::cerr << kFailedToOpen << std::endl;
        if (session.LastOpenFailure() == OpenFailure::NoPermission) {
            std::cerr << kNoPermissionText << std::endl;
        }
        return kExitKeyboard;
    }
    if (options.command == Command::Status) {
        std::cout << "Connected" << std::endl;
        return kExitDone;
    }
    const int result = RunCommand(options, session, assignment, backup);
    if (!session.Memory().Saved()) {
        std::cerr << "kbcfg: could not save " << session.Memory().Path()
                  << ": what was sent is not remembered" << std::endl;
        return kExitKeyboard;
    }
    return result;
}

}  // namespace

}  // namespace kb::cli

int main(int argc, char** argv) {
    try {
        return kb::cli::Run(kb::cli::CommandLineArguments(argc, argv));
    } catch (const kb::cli::UsageError& error) {
        std::cerr << "kbcfg: " << error.message << (error.pointToHelp ? " (see kbcfg --help)" : "")
                  << std::endl;
        return kb::cli::kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << "kbcfg: " << error.what() << std::endl;
        return kb::cli::kExitKeyboard;
    }
}
