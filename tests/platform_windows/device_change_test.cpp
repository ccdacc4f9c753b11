#include "platform/windows/device_change.h"

#include <windows.h>

#include <dbt.h>

#include <gtest/gtest.h>

namespace kb::platform::win {
namespace {

TEST(DeviceChangeWatcher, EveryDeviceChangeRunsTheHandler) {
    int changes = 0;
    DeviceChangeWatcher watcher([&] { ++changes; });
    ASSERT_TRUE(watcher.Watching());
    const HWND window = static_cast<HWND>(watcher.Window());

    // Whatever the notification says.
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    EXPECT_EQ(changes, 2);
    // Other messages do not count.
    SendMessageW(window, WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ(changes, 2);

    // The system broadcasts device changes to every top-level window.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_ABORTIFHUNG,
                        5000, &result);
    EXPECT_EQ(changes, 3);
}

}  // namespace
}  // namespace kb::platform::win
