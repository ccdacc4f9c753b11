#include "app/demo_platform.h"

#include <QSocketNotifier>
#include <csignal>

#if defined(__unix__)
#include <sys/socket.h>
#include <unistd.h>
#define KB_HAVE_PLUG_SIGNALS 1
#endif

#include "sim/simulated_keyboard.h"

namespace kb {

#ifdef KB_HAVE_PLUG_SIGNALS
namespace {

// The signal handler may only write to a descriptor; the event loop reads the other end.
int gSignalPipe[2] = {-1, -1};

constexpr char kUnplug = 'u';
constexpr char kPlug = 'p';

}  // namespace
#endif

DemoPlatform::DemoPlatform(std::unique_ptr<platform::PlatformServices> system)
    : system_(std::move(system)) {}

void DemoPlatform::SetPlugged(bool plugged) {
    if (keyboard_ == nullptr) {
        return;
    }
    if (plugged) {
        keyboard_->Plug();
    } else {
        keyboard_->Unplug();
    }
    if (onChange_) {
        onChange_();
    }
}

void DemoPlatform::TogglePlugged() {
    if (keyboard_ != nullptr) {
        SetPlugged(!keyboard_->IsPlugged());
    }
}

#ifdef KB_HAVE_PLUG_SIGNALS
PlugSignals::PlugSignals(DemoPlatform& platform) : platform_(platform) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0) {
        gSignalPipe[0] = gSignalPipe[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    struct sigaction action {};
    action.sa_handler = &PlugSignals::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
    sigaction(SIGUSR2, &action, nullptr);
}

PlugSignals::~PlugSignals() {
    std::signal(SIGUSR1, SIG_IGN);
    std::signal(SIGUSR2, SIG_IGN);
    delete notifier_;
    notifier_ = nullptr;
    for (int& fd : gSignalPipe) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
}

void PlugSignals::OnSignal(int signalNumber) {
    const char code = signalNumber == SIGUSR1 ? kUnplug : kPlug;
    if (gSignalPipe[1] >= 0) {
        [[maybe_unused]] const ssize_t written = write(gSignalPipe[1], &code, 1);
    }
}

void PlugSignals::OnReadable() {
    char code = 0;
    if (read(gSignalPipe[0], &code, 1) == 1) {
        platform_.SetPlugged(code == kPlug);
    }
}

#else
// No user signals here: the demo's shortcut is the only way to plug and unplug.
PlugSignals::PlugSignals(DemoPlatform& platform) : platform_(platform) {}
PlugSignals::~PlugSignals() = default;
void PlugSignals::OnSignal(int /*signalNumber*/) {}
void PlugSignals::OnReadable() {}
#endif

}  // namespace kb
