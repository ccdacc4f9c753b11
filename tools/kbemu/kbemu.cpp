// kbemu: runs a command with the configured keyboard present as a USB HID device, for the real
// device path of kbconfig and kbcfg (hidapi, libudev, hidraw ioctls, hot-plug events).
//
//   kbemu [--config FILE] [--state FILE] [--trace] [--deny] -- COMMAND [ARGS...]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/device_config.h"
#include "config/program_folder.h"
#include "emulated_devices.h"
#include "hidraw_node.h"
#include "namespace_setup.h"
#include "sim/sim_state.h"
#include "sim/simulated_keyboard.h"
#include "sysfs_tree.h"
#include "uevent_message.h"

namespace kb::emu {
namespace {

constexpr int kExitUsage = 2;
constexpr int kExitCannotRun = 127;
// What CTest and the test scripts take as "skipped".
constexpr int kExitUnsupported = 77;
constexpr const char* kPreloadName = "libkbemu_sysfs.so";

struct Options {
    std::string configFile;
    std::string stateFile;
    bool trace = false;
    bool deny = false;
    std::vector<std::string> command;
};

const char* kUsage =
    "usage: kbemu [--config FILE] [--state FILE] [--trace] [--deny] -- COMMAND [ARGS...]\n"
    "\n"
    "Runs COMMAND in private mount and network namespaces in which the keyboard of config.xml\n"
    "is plugged in as a USB HID device (sysfs entries, /dev/hidrawN served through FUSE, udev\n"
    "events), answered by the simulated firmware. Needs root and /dev/fuse.\n"
    "\n"
    "  --config FILE  the keyboard's identity (default: config.xml beside kbemu)\n"
    "  --state FILE   keep the firmware's state in FILE between runs\n"
    "  --trace        write every feature report the firmware sees to standard error\n"
    "  --deny         refuse every open of the keyboard's nodes with EACCES\n"
    "\n"
    "kill -USR1 unplugs the keyboard, kill -USR2 plugs it in again. The exit status is\n"
    "COMMAND's; 77 when this machine cannot emulate (no root, no namespaces, no FUSE).\n";

struct UsageError {
    std::string message;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw UsageError{arg + " needs a value"};
            }
            return argv[++i];
        };
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "--config") {
            options.configFile = value();
        } else if (arg.starts_with("--config=")) {
            options.configFile = arg.substr(9);
        } else if (arg == "--state") {
            options.stateFile = value();
        } else if (arg.starts_with("--state=")) {
            options.stateFile = arg.substr(8);
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--deny") {
            options.deny = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else {
            throw UsageError{"unknown option " + arg};
        }
    }
    for (; i < argc; ++i) {
        options.command.emplace_back(argv[i]);
    }
    if (options.command.empty()) {
        throw UsageError{"no command given"};
    }
    if (options.configFile.empty()) {
        options.configFile = ProgramFolder() + "/config.xml";
    }
    return options;
}

class Emulator : public NodeHost {
public:
    Emulator(const Options& options, const DeviceConfig& config)
        : options_(options),
          keyboard_(config.vid, config.pid, config.interfaceNumber, config.subdevice,
                    options.stateFile),
          devices_(MakeEmulatedDevices(keyboard_.VendorId(), keyboard_.ProductId(),
                                       keyboard_.InterfaceNumber(), config.subdevice)),
          sysfs_("/sys") {
        for (const EmulatedUsbDevice& device : devices_) {
            for (const EmulatedInterface& interface : device.interfaces) {
                const std::string phys = "usb-0000:00:14.0-" + device.port.substr(2) + "/input" +
                                         std::to_string(interface.number);
                nodes_.push_back(
                    {&device, std::make_unique<HidrawNode>(
                                  "/dev/" + HidrawName(interface),
                                  device.manufacturer + " " + device.product, phys, device.vendorId,
                                  device.productId, interface, *this)});
            }
        }
    }

    std::unique_ptr<HidHandle> OpenProtocol() override {
        return keyboard_.Open(keyboard_.ProtocolPath());
    }
    bool DenyOpen() const override { return options_.deny; }
    void Trace(const std::string& line) override {
        if (options_.trace) {
            std::cerr << line << std::endl;
        }
    }

    // Every device present: sysfs entries and nodes.
    std::string PlugAll() {
        std::string error;
        if (!sysfs_.Prepare(error)) {
            return error;
        }
        for (const EmulatedUsbDevice& device : devices_) {
            if (!Present(device, error)) {
                return error;
            }
        }
        return {};
    }

    void Unplug() {
        if (!keyboard_.IsPlugged()) {
            return;
        }
        keyboard_.Unplug();
        const EmulatedUsbDevice& device = Keyboard();
        for (auto& node : nodes_) {
            if (node.device == &device) {
                node.node->Unmount();
            }
        }
        const std::vector<SysDevice> entries = SysDevicesOf(device);
        sysfs_.Remove(entries);
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            events_.Send("remove", *it);
        }
    }

    void Plug() {
        if (keyboard_.IsPlugged()) {
            return;
        }
        keyboard_.Plug();
        std::string error;
        if (!Present(Keyboard(), error)) {
            std::cerr << "kbemu: " << error << std::endl;
            return;
        }
        for (const SysDevice& entry : SysDevicesOf(Keyboard())) {
            events_.Send("add", entry);
        }
    }

    // Descriptors with requests waiting, and the nodes they belong to.
    void CollectFds(std::vector<pollfd>& fds, std::vector<HidrawNode*>& owners) {
        for (auto& node : nodes_) {
            const int fd = node.node->RequestFd();
            if (fd >= 0) {
                fds.push_back({fd, POLLIN, 0});
                owners.push_back(node.node.get());
            }
        }
    }

private:
    struct Node {
        const EmulatedUsbDevice* device;
        std::unique_ptr<HidrawNode> node;
    };

    const EmulatedUsbDevice& Keyboard() const {
        for (const EmulatedUsbDevice& device : devices_) {
            if (device.isKeyboard) {
                return device;
            }
        }
        return devices_.back();
    }

    bool Present(const EmulatedUsbDevice& device, std::string& error) {
        if (!sysfs_.Add(SysDevicesOf(device), error)) {
            return false;
        }
        for (auto& node : nodes_) {
            if (node.device == &device && !node.node->Mount(error)) {
                return false;
            }
        }
        return true;
    }

    const Options& options_;
    SimulatedKeyboard keyboard_;
    std::vector<EmulatedUsbDevice> devices_;
    SysfsTree sysfs_;
    UdevEventSender events_;
    std::vector<Node> nodes_;
};

int Unsupported(const std::string& reason) {
    std::cerr << "kbemu: " << reason << "; cannot emulate the keyboard here" << std::endl;
    return kExitUnsupported;
}

std::string PreloadList() {
    std::string list = ProgramFolder() + "/" + kPreloadName;
    if (const char* existing = std::getenv("LD_PRELOAD"); existing != nullptr && *existing) {
        list += ":";
        list += existing;
    }
    return list;
}

[[noreturn]] void ExecCommand(const Options& options, const sigset_t& original) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::sigprocmask(SIG_SETMASK, &original, nullptr);
    ::setenv("LD_PRELOAD", PreloadList().c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& arg : options.command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    std::cerr << "kbemu: cannot run " << options.command[0] << ": " << std::strerror(errno)
              << std::endl;
    ::_exit(kExitCannotRun);
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return 1;
}

int Run(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    if (!std::ifstream(options.configFile)) {
        throw UsageError{"cannot read configuration " + options.configFile};
    }
    const DeviceConfig config = DeviceConfig::LoadFrom(options.configFile);
    if (!options.stateFile.empty()) {
        const std::filesystem::path statePath(options.stateFile);
        const std::filesystem::path folder =
            statePath.has_parent_path() ? statePath.parent_path() : std::filesystem::path(".");
        std::error_code code;
        if (!std::filesystem::is_directory(folder, code)) {
            // The state could never be saved there.
            throw UsageError{"cannot keep simulator state " + options.stateFile + ": no folder " +
                             folder.string()};
        }
        struct stat info {};
        SimKeyboardState state;
        if (::stat(options.stateFile.c_str(), &info) == 0 &&
            !LoadSimState(options.stateFile, state)) {
            // Starting afresh would overwrite the file at the first change.
            throw UsageError{"cannot read simulator state " + options.stateFile};
        }
    }

    if (::geteuid() != 0) {
        return Unsupported("private namespaces and FUSE mounts need root");
    }
    if (const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC); fuse >= 0) {
        ::close(fuse);
    } else {
        return Unsupported(std::string("/dev/fuse is not usable (") + std::strerror(errno) + ")");
    }
    if (const std::string error = EnterPrivateNamespaces(); !error.empty()) {
        return Unsupported(error);
    }
    for (auto* setup : {&MountPrivateDev, &MountPrivateRun, &MountPrivateSys}) {
        if (const std::string error = setup(); !error.empty()) {
            return Unsupported(error);
        }
    }

    // Signals are taken from a descriptor in the request loop; the command gets the old mask.
    sigset_t handled;
    sigset_t original;
    sigemptyset(&handled);
    for (const int signal : {SIGUSR1, SIGUSR2, SIGCHLD, SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        sigaddset(&handled, signal);
    }
    ::sigprocmask(SIG_BLOCK, &handled, &original);
    const int signals = ::signalfd(-1, &handled, SFD_CLOEXEC);

    Emulator emulator(options, config);
    if (const std::string error = emulator.PlugAll(); !error.empty()) {
        return Unsupported(error);
    }

    const pid_t child = ::fork();
    if (child < 0) {
        std::cerr << "kbemu: cannot start " << options.command[0] << std::endl;
        return kExitCannotRun;
    }
    if (child == 0) {
        ExecCommand(options, original);
    }

    for (;;) {
        std::vector<pollfd> fds{{signals, POLLIN, 0}};
        std::vector<HidrawNode*> owners;
        emulator.CollectFds(fds, owners);
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
                if (!owners[i - 1]->ServeRequest()) {
                    // Unmounted from outside: stop watching a descriptor that stays readable.
                    std::cerr << "kbemu: a hidraw node went away" << std::endl;
                    owners[i - 1]->Unmount();
                }
            }
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        signalfd_siginfo info{};
        if (::read(signals, &info, sizeof info) != sizeof info) {
            continue;
        }
        const int signal = static_cast<int>(info.ssi_signo);
        if (signal == SIGUSR1) {
            emulator.Unplug();
        } else if (signal == SIGUSR2) {
            emulator.Plug();
        } else if (signal == SIGCHLD) {
            int status = 0;
            if (::waitpid(child, &status, WNOHANG) == child) {
                return ExitCodeOf(status);
            }
        } else {
            ::kill(child, signal);
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return ExitCodeOf(status);
}

}  // namespace
}  // namespace kb::emu

int main(int argc, char** argv) {
    try {
        return kb::emu::Run(argc, argv);
    } catch (const kb::emu::UsageError& error) {
        std::cerr << "kbemu: " << error.message << " (see kbemu --help)" << std::endl;
        return kb::emu::kExitUsage;
    }
}
