#include "macro/ui/keyboard_hook.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/recording_platform.h"

namespace kb {
namespace {

class Listener : public IKeyboardHookListener {
public:
    Listener(std::string name, bool consume, std::vector<std::string>& calls)
        : name_(std::move(name)), consume_(consume), calls_(calls) {}
    bool OnKeyboardHook(int, unsigned message, const platform::KeyStroke& stroke) override {
        calls_.push_back(name_ + " " + std::to_string(message) + " " +
                         std::to_string(stroke.vkCode));
        return consume_;
    }

private:
    std::string name_;
    bool consume_;
    std::vector<std::string>& calls_;
};

class KeyboardHookTest : public ::testing::Test {
protected:
    void TearDown() override {
        KeyboardHook::UninstallHook();
        for (IKeyboardHookListener* l : std::vector(KeyboardHook::Listeners())) {
            KeyboardHook::RemoveListener(l);
        }
    }

    platform::RecordingPlatform platform;
    std::vector<std::string> calls;
    Listener passer{"passer", false, calls};
    Listener taker{"taker", true, calls};
    Listener late{"late", true, calls};
};

TEST_F(KeyboardHookTest, ListenersJoinOnlyWhileInstalledAndOnlyOnce) {
    KeyboardHook::AddListener(&passer);
    EXPECT_TRUE(KeyboardHook::Listeners().empty());

    EXPECT_TRUE(KeyboardHook::InstallHook(platform));
    EXPECT_TRUE(KeyboardHook::InstallHook(platform));
    EXPECT_EQ(platform.hookInstalls, 1);
    KeyboardHook::AddListener(&passer);
    KeyboardHook::AddListener(&passer);
    EXPECT_EQ(KeyboardHook::Listeners(), std::vector<IKeyboardHookListener*>{&passer});
}

TEST_F(KeyboardHookTest, FirstConsumingListenerEndsTheWalk) {
    KeyboardHook::InstallHook(platform);
    KeyboardHook::AddListener(&passer);
    KeyboardHook::AddListener(&taker);
    KeyboardHook::AddListener(&late);
    EXPECT_TRUE(platform.PressKey(platform::kKeyDown, 0x41));
    EXPECT_EQ(calls, (std::vector<std::string>{"passer 256 65", "taker 256 65"}));

    KeyboardHook::RemoveListener(&taker);
    KeyboardHook::RemoveListener(&late);
    calls.clear();
    // Nobody consumes: the keystroke goes on to the system.
    EXPECT_FALSE(platform.PressKey(platform::kSysKeyUp, 0x42));
    EXPECT_EQ(calls, std::vector<std::string>{"passer 261 66"});
}

TEST_F(KeyboardHookTest, ListenersOutliveTheHook) {
    EXPECT_FALSE(KeyboardHook::UninstallHook());
    KeyboardHook::InstallHook(platform);
    KeyboardHook::AddListener(&taker);

    EXPECT_TRUE(KeyboardHook::UninstallHook());
    EXPECT_FALSE(KeyboardHook::IsInstalled());
    EXPECT_FALSE(platform.PressKey(platform::kKeyDown, 0x41));
    EXPECT_EQ(KeyboardHook::Listeners(), std::vector<IKeyboardHookListener*>{&taker});

    KeyboardHook::InstallHook(platform);
    EXPECT_TRUE(platform.PressKey(platform::kKeyDown, 0x41));
    EXPECT_EQ(calls, std::vector<std::string>{"taker 256 65"});
}

}  // namespace
}  // namespace kb
