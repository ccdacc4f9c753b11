#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/key_mapping.h"
#include "platform/linux/linux_platform.h"
#include "platform/qt_desktop.h"

namespace kb::platform {
namespace {

struct RecordingSink : KeyStrokeSink {
    bool consume = true;
    std::vector<KeyStroke> strokes;
    bool OnKeyStroke(int, const KeyStroke& stroke) override {
        strokes.push_back(stroke);
        return consume;
    }
};

TEST(FileChooser, FilterNamesThePatternsOnceInEitherLanguage) {
    const struct {
        const char* label;
        QStringList patterns;
        const char* filter;
    } cases[] = {
        {"mcr文件(mcr)", {"*.mcr"}, "mcr文件 (*.mcr)"},
        {"Macro files (mcr)", {"*.mcr"}, "Macro files (*.mcr)"},
        {"Keyboard settings", {"*.xml"}, "Keyboard settings (*.xml)"},
        {"(mcr)", {"*.mcr"}, "(mcr) (*.mcr)"},
    };
    for (const auto& c : cases) {
        FileChooserOptions options;
        options.filterLabel = QString::fromUtf8(c.label);
        options.patterns = c.patterns;
        EXPECT_EQ(ChooserNameFilter(options), QString::fromUtf8(c.filter)) << c.label;
    }
}

TEST(FileChooser, StartsInTheDocumentsFolderWithTheSuggestedName) {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QFileInfo(documents).isDir()) {
        documents = QDir::homePath();
    }
    FileChooserOptions options;
    EXPECT_EQ(ChooserStartPath(options, true), documents);
    options.suggestedName = DatedBackupName(QDate(2026, 3, 9));
    EXPECT_EQ(ChooserStartPath(options, true),
              QDir(documents).filePath("kbconfig-backup-2026-03-09.xml"));
    EXPECT_EQ(ChooserStartPath(options, false), documents);  // opening suggests nothing
    EXPECT_EQ(DatedBackupName(QDate(2026, 12, 1), "kbbackup"),
              "kbconfig-backup-2026-12-01.kbbackup");
    // A group name is a file name only: no folders climbed, nothing the system refuses.
    options.suggestedName = "../a/b:c.mcr";
    EXPECT_EQ(QFileInfo(ChooserStartPath(options, true)).fileName(), ".._a_b_c.mcr");
}

TEST(KeyMapping, PhysicalKeysMapToUsLayoutVirtualKeys) {
    struct Case {
        std::uint32_t evdev;
        std::uint32_t vk;
    };
    const Case cases[] = {{30, 0x41},  {1, 0x1B},   {28, 0x0D},  {96, 0x0D}, {29, 0xA2},
                          {97, 0xA3},  {42, 0xA0},  {54, 0xA1},  {41, 0xC0}, {40, 0xDE},
                          {43, 0xDC},  {82, 0x60},  {83, 0x6E},  {98, 0x6F}, {87, 0x7A},
                          {125, 0x5B}, {127, 0x5D}, {119, 0x13}, {999, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(VirtualKeyOfEvdevCode(c.evdev), c.vk) << "evdev " << c.evdev;
    }
}

TEST(KeyMapping, QtKeysWithoutScanCodeStillMap) {
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_A, false), 0x41u);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_5, true), 0x65u);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_5, false), 0x35u);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_F12, false), 0x7Bu);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_Enter, true), 0x0Du);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_Launch0, false), 0u);
}

TEST(KeyMapping, AutoRepeatReleaseIsNoKeystroke) {
    KeyStroke stroke;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QStringLiteral("a"));
    ASSERT_TRUE(LinuxPlatform::KeyStrokeOfEvent(press, stroke));
    EXPECT_EQ(stroke.message, kKeyDown);
    EXPECT_EQ(stroke.vkCode, 0x41u);
    QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QString(),
                            true);
    EXPECT_FALSE(LinuxPlatform::KeyStrokeOfEvent(repeatRelease, stroke));
    QKeyEvent altPress(QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier, 64, 0, 0);
    ASSERT_TRUE(LinuxPlatform::KeyStrokeOfEvent(altPress, stroke));
    EXPECT_EQ(stroke.message, kSysKeyDown);
    EXPECT_EQ(stroke.vkCode, 0xA4u);
}

// A native key event as Qt delivers it: to the window first, which hands it to the focus widget.
bool SendToWindow(QWidget& window, QKeyEvent& event) {
    return QApplication::sendEvent(window.windowHandle(), &event);
}

struct ShownEdit {
    QWidget window;
    QLineEdit* edit = new QLineEdit(&window);
    ShownEdit() {
        window.show();
        window.activateWindow();
        edit->setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

TEST(LinuxKeyboardHook, ConsumedKeysNeverReachTheFocusWidget) {
    LinuxPlatform platform;
    ShownEdit shown;
    RecordingSink sink;
    ASSERT_TRUE(platform.InstallKeyboardHook(sink));

    QKeyEvent press(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, 56, 0, 0, QStringLiteral("b"));
    SendToWindow(shown.window, press);
    ASSERT_EQ(sink.strokes.size(), 1u);
    EXPECT_EQ(sink.strokes[0].vkCode, 0x42u);
    EXPECT_TRUE(shown.edit->text().isEmpty());

    sink.consume = false;
    QKeyEvent second(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, 54, 0, 0, QStringLiteral("c"));
    SendToWindow(shown.window, second);
    EXPECT_EQ(sink.strokes.size(), 2u);
    EXPECT_EQ(shown.edit->text(), QStringLiteral("c"));

    ASSERT_TRUE(platform.UninstallKeyboardHook());
    EXPECT_FALSE(platform.UninstallKeyboardHook());
    QKeyEvent third(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier, 40, 0, 0, QStringLiteral("d"));
    SendToWindow(shown.window, third);
    EXPECT_EQ(sink.strokes.size(), 2u);
    EXPECT_EQ(shown.edit->text(), QStringLiteral("cd"));
}

TEST(LinuxKeyboardHook, EveryNativeEventIsSeenOnce) {
    LinuxPlatform platform;
    ShownEdit shown;
    RecordingSink sink;
    sink.consume = false;
    ASSERT_TRUE(platform.InstallKeyboardHook(sink));

    // a, s, d pressed and released in one millisecond, each event built where the previous one
    // was, as Qt's own delivery does. F5 is ignored by the edit and climbs to its parent.
    struct Key {
        QEvent::Type type;
        int key;
        quint32 x11Code;
    };
    const Key keys[] = {{QEvent::KeyPress, Qt::Key_A, 38},   {QEvent::KeyPress, Qt::Key_S, 39},
                        {QEvent::KeyPress, Qt::Key_D, 40},   {QEvent::KeyRelease, Qt::Key_A, 38},
                        {QEvent::KeyRelease, Qt::Key_S, 39}, {QEvent::KeyRelease, Qt::Key_D, 40},
                        {QEvent::KeyPress, Qt::Key_F5, 71},  {QEvent::KeyRelease, Qt::Key_F5, 71}};
    std::optional<QKeyEvent> event;
    for (const Key& key : keys) {
        event.emplace(key.type, key.key, Qt::NoModifier, key.x11Code, 0, 0);
        event->setTimestamp(1000);
        SendToWindow(shown.window, *event);
    }
    std::vector<std::pair<unsigned, std::uint32_t>> seen;
    for (const KeyStroke& stroke : sink.strokes) {
        seen.emplace_back(stroke.message, stroke.vkCode);
    }
    const std::vector<std::pair<unsigned, std::uint32_t>> expected = {
        {kKeyDown, 0x41}, {kKeyDown, 0x53}, {kKeyDown, 0x44}, {kKeyUp, 0x41},
        {kKeyUp, 0x53},   {kKeyUp, 0x44},   {kKeyDown, 0x74}, {kKeyUp, 0x74}};
    EXPECT_EQ(seen, expected);
}

TEST(LinuxKeyboardHook, GrabsTheKeyboardOnlyWhileCapturing) {
    LinuxPlatform platform;
    ShownEdit shown;
    RecordingSink sink;
    ASSERT_TRUE(platform.InstallKeyboardHook(sink));
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);  // typing still reaches the fields

    platform.CaptureKeystrokes(true);
    EXPECT_EQ(QWidget::keyboardGrabber(), &shown.window);
    platform.CaptureKeystrokes(false);
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);

    platform.CaptureKeystrokes(true);
    ASSERT_TRUE(platform.UninstallKeyboardHook());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    ASSERT_TRUE(platform.InstallKeyboardHook(sink));
    EXPECT_EQ(QWidget::keyboardGrabber(), &shown.window);
    platform.CaptureKeystrokes(false);
}

TEST(LinuxSingleInstance, SecondClaimAsksTheFirstToComeForward) {
    const QString name = QStringLiteral("kbconfig-test-%1").arg(QCoreApplication::applicationPid());
    LinuxPlatform first;
    int activations = 0;
    ASSERT_TRUE(first.ClaimSingleInstance(name, [&] { ++activations; }));

    LinuxPlatform second;
    EXPECT_FALSE(second.ClaimSingleInstance(name, [] {}));
    QElapsedTimer timer;
    timer.start();
    while (activations == 0 && timer.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(activations, 1);
}

// The runtime folder every test here and every helper process uses: the test program's own.
QString RuntimeFolder() {
    return qEnvironmentVariable("XDG_RUNTIME_DIR");
}

TEST(LinuxSingleInstance, SimultaneousStartsLeaveExactlyOneInstance) {
    constexpr int kBursts = 8;
    constexpr int kStartsPerBurst = 6;
    for (int burst = 0; burst < kBursts; ++burst) {
        SCOPED_TRACE(burst);
        const QString name = QStringLiteral("kbconfig-burst-%1-%2")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(burst);
        // Every helper waits for the same moment before it claims.
        const QString startAt = QString::number(QDateTime::currentMSecsSinceEpoch() + 400);
        std::vector<std::unique_ptr<QProcess>> starts;
        for (int i = 0; i < kStartsPerBurst; ++i) {
            auto process = std::make_unique<QProcess>();
            process->start(
                QCoreApplication::applicationFilePath(),
                {QStringLiteral("--claim"), name, startAt, QString::number(kStartsPerBurst - 1)});
            starts.push_back(std::move(process));
        }
        int owners = 0;
        int handedOver = 0;
        for (auto& process : starts) {
            ASSERT_TRUE(process->waitForFinished(20000));
            EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process->exitCode(), 0);
            const QString out = QString::fromUtf8(process->readAllStandardOutput());
            if (out.startsWith(QStringLiteral("owner"))) {
                ++owners;
                // Every other start asked the one instance to come forward.
                EXPECT_TRUE(out.contains(QStringLiteral("activations %1").arg(kStartsPerBurst - 1)))
                    << out.toStdString();
            } else if (out.startsWith(QStringLiteral("handed over"))) {
                ++handedOver;
            }
        }
        EXPECT_EQ(owners, 1);
        EXPECT_EQ(handedOver, kStartsPerBurst - 1);
        // The instance took its socket with it; the lock file stays for the next one.
        EXPECT_FALSE(
            QFile::exists(RuntimeFolder() + QLatin1Char('/') + LinuxPlatform::SocketName(name)));
    }
}

TEST(LinuxSingleInstance, ALeftoverSocketIsReplacedByTheLocksHolder) {
    const QString name =
        QStringLiteral("kbconfig-stale-%1").arg(QCoreApplication::applicationPid());
    const QString socketPath = RuntimeFolder() + QLatin1Char('/') + LinuxPlatform::SocketName(name);
    QFile leftover(socketPath);
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));  // a dead instance's socket in the way
    leftover.close();
    LinuxPlatform first;
    int activations = 0;
    ASSERT_TRUE(first.ClaimSingleInstance(name, [&] { ++activations; }));
    LinuxPlatform second;
    EXPECT_FALSE(second.ClaimSingleInstance(name, [] {}));
    QElapsedTimer timer;
    timer.start();
    while (activations == 0 && timer.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(activations, 1);
}

TEST(LinuxSingleInstance, AnUnsafeLockFileRunsWithoutTheClaimAndSaysSoOnce) {
    const QString name = QStringLiteral("kbconfig-fifo-%1").arg(QCoreApplication::applicationPid());
    const QByteArray lockPath =
        QFile::encodeName(RuntimeFolder() + QLatin1Char('/') + LinuxPlatform::SocketName(name) +
                          QStringLiteral(".lock"));
    ASSERT_EQ(::mkfifo(lockPath.constData(), 0600), 0);
    ::testing::internal::CaptureStderr();
    LinuxPlatform first;
    EXPECT_TRUE(first.ClaimSingleInstance(name, [] {}));
    LinuxPlatform second;
    EXPECT_TRUE(second.ClaimSingleInstance(name, [] {}));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "no safe lock for the single instance (" + lockPath.toStdString() +
                        " is not a regular file): running without the single-instance check\n");
    QFile::remove(QFile::decodeName(lockPath));
}

TEST(LinuxRunAndWait, ReportsWhetherTheProgramStarted) {
    LinuxPlatform platform;
    EXPECT_FALSE(platform.RunAndWait(QStringLiteral("/nonexistent/update")));
    EXPECT_TRUE(platform.RunAndWait(QStringLiteral("/bin/true")));
}

}  // namespace
}  // namespace kb::platform

namespace {

// Helper process: "--claim NAME START_MS EXPECTED" claims the instance NAME at the given moment.
// The owner prints "owner", waits for EXPECTED activation requests and prints their count; the
// others print "handed over".
int ClaimHelper(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const qint64 startAt = args.value(3).toLongLong();
    const int expected = args.value(4).toInt();
    while (QDateTime::currentMSecsSinceEpoch() < startAt) {
        QThread::msleep(1);
    }
    kb::platform::LinuxPlatform platform;
    int activations = 0;
    if (!platform.ClaimSingleInstance(args.value(2), [&] { ++activations; })) {
        std::printf("handed over\n");
        return 0;
    }
    std::printf("owner\n");
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    while (activations < expected && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    // Late requests would show up as a count above the expected one.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    std::printf("activations %d\n", activations);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--claim") {
        return ClaimHelper(argc, argv);
    }
    // The single-instance lock and socket of this run stay in a folder of its own.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
