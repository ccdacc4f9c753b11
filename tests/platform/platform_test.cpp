#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <vector>

#include "platform/key_mapping.h"
#include "platform/linux/linux_platform.h"

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

TEST(LinuxKeyboardHook, ConsumedKeysNeverReachTheFocusWidget) {
    LinuxPlatform platform;
    QLineEdit edit;
    edit.show();
    RecordingSink sink;
    ASSERT_TRUE(platform.InstallKeyboardHook(sink));

    QKeyEvent press(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, 56, 0, 0, QStringLiteral("b"));
    QApplication::sendEvent(&edit, &press);
    ASSERT_EQ(sink.strokes.size(), 1u);
    EXPECT_EQ(sink.strokes[0].vkCode, 0x42u);
    EXPECT_TRUE(edit.text().isEmpty());

    sink.consume = false;
    QKeyEvent second(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, 54, 0, 0, QStringLiteral("c"));
    QApplication::sendEvent(&edit, &second);
    EXPECT_EQ(sink.strokes.size(), 2u);
    EXPECT_EQ(edit.text(), QStringLiteral("c"));

    ASSERT_TRUE(platform.UninstallKeyboardHook());
    EXPECT_FALSE(platform.UninstallKeyboardHook());
    QKeyEvent third(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier, 40, 0, 0, QStringLiteral("d"));
    QApplication::sendEvent(&edit, &third);
    EXPECT_EQ(sink.strokes.size(), 2u);
    EXPECT_EQ(edit.text(), QStringLiteral("cd"));
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

TEST(LinuxRunAndWait, ReportsWhetherTheProgramStarted) {
    LinuxPlatform platform;
    EXPECT_FALSE(platform.RunAndWait(QStringLiteral("/nonexistent/update")));
    EXPECT_TRUE(platform.RunAndWait(QStringLiteral("/bin/true")));
}

}  // namespace
}  // namespace kb::platform

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
