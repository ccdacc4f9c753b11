#include "platform/linux/linux_platform.h"

#include <libudev.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

#include "config/runtime_folder.h"
#include "platform/linux/instance_socket.h"
#include "platform/linux/key_mapping.h"
#include "platform/qt_desktop.h"

namespace kb::platform {

namespace {

constexpr const char* kInstanceLockWhat = "single instance";
constexpr const char* kRunsUnclaimed = "running without the single-instance check";
// How long a second start waits for the running instance to listen.
constexpr qint64 kHandOverPatienceMs = 5000;
// Installed beside the programs with its polkit action: makes udev read the installed rule again
// and apply it to the keyboards plugged in.
constexpr const char* kAccessHelper = "kbconfig-allow-access";

QString AccessHelperPath() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kAccessHelper);
}

}  // namespace

std::unique_ptr<PlatformServices> MakeSystemPlatform() {
    return std::make_unique<LinuxPlatform>();
}

LinuxPlatform::LinuxPlatform() = default;

LinuxPlatform::~LinuxPlatform() {
    if (hookSink_ != nullptr) {
        UninstallKeyboardHook();
    }
    // The socket goes while the lock is still held: once it is released, a new instance may
    // already have put its own socket under the same name.
    server_.reset();
    if (instanceLock_ >= 0) {
        ::close(instanceLock_);
    }
    delete deviceNotifier_;
    if (monitor_ != nullptr) {
        udev_monitor_unref(monitor_);
    }
    if (udev_ != nullptr) {
        udev_unref(udev_);
    }
}

bool LinuxPlatform::InstallKeyboardHook(KeyStrokeSink& sink) {
    if (hookSink_ == nullptr) {
        qApp->installEventFilter(this);
    }
    hookSink_ = &sink;
    UpdateKeyboardGrab();
    return true;
}

bool LinuxPlatform::UninstallKeyboardHook() {
    if (hookSink_ == nullptr) {
        return false;
    }
    qApp->removeEventFilter(this);
    hookSink_ = nullptr;
    ReleaseKeyboardGrab();
    return true;
}

void LinuxPlatform::CaptureKeystrokes(bool capture) {
    captureWanted_ = capture;
    UpdateKeyboardGrab();
}

void LinuxPlatform::UpdateKeyboardGrab() {
    if (hookSink_ != nullptr && captureWanted_) {
        GrabKeyboardForActiveWindow();
    } else {
        ReleaseKeyboardGrab();
    }
}

void LinuxPlatform::GrabKeyboardForActiveWindow() {
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr) {
        window = QApplication::activeWindow();
    }
    if (window == nullptr || window == grabber_) {
        return;
    }
    ReleaseKeyboardGrab();
    // On X11 the grab is global, so keystrokes the hook consumes reach no other program. It
    // follows the active window, so a box opened over the grabbing window gets its keys.
    window->grabKeyboard();
    grabber_ = window;
}

void LinuxPlatform::ReleaseKeyboardGrab() {
    if (grabber_ != nullptr) {
        grabber_->releaseKeyboard();
    }
    grabber_ = nullptr;
}

bool LinuxPlatform::KeyStrokeOfEvent(const QKeyEvent& event, KeyStroke& stroke) {
    const bool press = event.type() == QEvent::KeyPress;
    if (!press && event.isAutoRepeat()) {
        return false;  // a held key repeats its key-down only
    }
    std::uint32_t vk = 0;
    const std::uint32_t scanCode = event.nativeScanCode();
    if (scanCode > 8) {
        vk = VirtualKeyOfEvdevCode(scanCode - 8);  // X11 and Wayland key codes are evdev + 8
    }
    if (vk == 0) {
        vk = VirtualKeyOfQtKey(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
    }
    const bool alt = event.modifiers().testFlag(Qt::AltModifier) || vk == 0xA4 || vk == 0xA5;
    if (press) {
        stroke.message = alt ? kSysKeyDown : kKeyDown;
    } else {
        stroke.message = alt ? kSysKeyUp : kKeyUp;
    }
    stroke.vkCode = vk;
    stroke.scanCode = scanCode > 8 ? scanCode - 8 : 0;
    stroke.flags = press ? 0u : 0x80u;
    stroke.time = static_cast<std::uint32_t>(event.timestamp());
    return true;
}

bool LinuxPlatform::eventFilter(QObject* watched, QEvent* event) {
    if (hookSink_ == nullptr) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Keep shortcuts from firing: every keystroke goes to the hook first.
            event->accept();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            // Qt hands each native key event to exactly one window, which passes it on to the
            // focus widget, and from there it may climb to the parents, passing here each time.
            // The hook takes it at the window, so every native event is seen once, however
            // alike two events are (keys pressed in the same millisecond) and wherever Qt
            // keeps them. Consuming it there keeps it from every widget.
            if (!watched->isWindowType()) {
                return false;
            }
            KeyStroke stroke;
            if (!KeyStrokeOfEvent(*static_cast<QKeyEvent*>(event), stroke)) {
                return true;
            }
            return hookSink_->OnKeyStroke(0, stroke);
        }
        case QEvent::WindowActivate:
            UpdateKeyboardGrab();
            break;
        default:
            break;
    }
    return false;
}

QString LinuxPlatform::SocketName(const QString& instanceName) {
    QString name = instanceName + QStringLiteral(".") + QString::number(getuid());
    name.replace(QLatin1Char('/'), QLatin1Char('_'));  // one name inside the runtime folder
    return name;
}

bool LinuxPlatform::ClaimSingleInstance(const QString& instanceName,
                                        std::function<void()> onActivateRequest) {
    // The claim is the lock, held for the process's life: testing for a listener and then
    // listening would let starts that come together all find none and all run.
    std::string problem;
    const std::string folder = PrivateRuntimeFolder(problem);
    if (folder.empty()) {
        ReportUnsafeLockOnce(kInstanceLockWhat, problem, kRunsUnclaimed);
        return true;  // run without hand-over rather than not at all
    }
    const QString socketPath = QFile::decodeName(QByteArray::fromStdString(folder)) +
                               QLatin1Char('/') + SocketName(instanceName);
    const int lock = OpenLockFile(
        QFile::encodeName(socketPath + QStringLiteral(".lock")).toStdString(), problem);
    if (lock < 0) {
        ReportUnsafeLockOnce(kInstanceLockWhat, problem, kRunsUnclaimed);
        return true;
    }
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(lock);
        if (error == EWOULDBLOCK) {
            AskRunningInstanceToComeForward(socketPath);
            return false;
        }
        ReportUnsafeLockOnce(kInstanceLockWhat, std::strerror(error), kRunsUnclaimed);
        return true;
    }
    instanceLock_ = lock;
    // Only the lock's holder gets here, so a socket in the way is one a dead instance left.
    server_ = std::make_unique<InstanceSocketServer>(std::move(onActivateRequest));
    if (!server_->Listen(QFile::encodeName(socketPath).toStdString())) {
        server_.reset();  // run without hand-over rather than not at all
    }
    return true;
}

void LinuxPlatform::AskRunningInstanceToComeForward(const QString& socketPath) {
    // The instance holding the lock may not be listening yet: it has just started.
    const std::string path = QFile::encodeName(socketPath).toStdString();
    QElapsedTimer timer;
    timer.start();
    do {
        if (SendActivateRequest(path)) {
            return;
        }
        QThread::msleep(50);
    } while (timer.elapsed() < kHandOverPatienceMs);
}

void LinuxPlatform::WatchDeviceChanges(std::function<void()> onChange) {
    onDeviceChange_ = std::move(onChange);
    if (monitor_ != nullptr) {
        return;
    }
    udev_ = udev_new();
    if (udev_ == nullptr) {
        return;
    }
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ == nullptr) {
        return;
    }
    udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr);
    if (udev_monitor_enable_receiving(monitor_) < 0) {
        return;
    }
    deviceNotifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    connect(deviceNotifier_, &QSocketNotifier::activated, this, &LinuxPlatform::OnDeviceEvent);
}

void LinuxPlatform::OnDeviceEvent() {
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (device != nullptr) {
        udev_device_unref(device);
    }
    if (onDeviceChange_) {
        onDeviceChange_();
    }
}

bool LinuxPlatform::RunAndWait(const QString& program) {
    return RunProgramAndWait(program);
}

bool LinuxPlatform::CanGrantDeviceAccess() const {
    const QFileInfo helper(AccessHelperPath());
    return helper.isFile() && helper.isExecutable() &&
           !QStandardPaths::findExecutable(QStringLiteral("pkexec")).isEmpty();
}

bool LinuxPlatform::GrantDeviceAccess() {
    // pkexec asks for the administrator's consent through the desktop's agent; the window waits.
    QProcess process;
    process.start(QStandardPaths::findExecutable(QStringLiteral("pkexec")), {AccessHelperPath()});
    if (!process.waitForStarted(-1)) {
        return false;
    }
    process.waitForFinished(-1);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void LinuxPlatform::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QString LinuxPlatform::ChooseOpenFile(QWidget* owner, const FileChooserOptions& options) {
    return ChooseFileWithDialog(owner, options, false);
}

QString LinuxPlatform::ChooseSaveFile(QWidget* owner, const FileChooserOptions& options) {
    return ChooseFileWithDialog(owner, options, true);
}

}  // namespace kb::platform
