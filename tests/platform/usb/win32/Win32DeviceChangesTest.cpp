// Device arrival and removal on Windows: the port's hidden window turns the system's
// WM_DEVICECHANGE broadcasts for the camera's interface GUID into callbacks. The test sends
// the window the broadcasts the system would send.

#include <gtest/gtest.h>

#include <windows.h>
// windows.h first: dbt.h uses its types.
#include <dbt.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/usb/win32/DeviceChangeWindow.h"
#include "platform/usb/win32/Win32DriverPort.h"
#include "platform/usb/win32/WindowDeviceNotification.h"

namespace korvix::platform::usb::win32 {
namespace {

using Seen = std::vector<std::pair<DeviceChange, std::string>>;

// Room for the broadcast record and a path.
struct Broadcast {
    DEV_BROADCAST_DEVICEINTERFACE_A record;
    char path[MAX_PATH];
};

void SendBroadcast(HWND window, WPARAM event, const Guid &interfaceGuid, const char *path) {
    Broadcast broadcast{};
    broadcast.record.dbcc_size = static_cast<DWORD>(
        offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + std::strlen(path) + 1);
    broadcast.record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(&broadcast.record.dbcc_classguid, &interfaceGuid, sizeof(GUID));
    std::memcpy(broadcast.record.dbcc_name, path, std::strlen(path) + 1);
    SendMessageA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&broadcast));
}

HWND FindHiddenWindow() {
    return FindWindowExA(HWND_MESSAGE, nullptr, kDeviceChangeWindowClass, nullptr);
}

TEST(PlatformUsbWin32DeviceChanges, CameraBroadcastsReachTheCallbackUntilThePortGoes) {
    auto port = CreateWin32DriverPort();
    std::mutex mutex;
    std::condition_variable changed;
    Seen seen;
    const DeviceChangeToken token =
        port->RegisterDeviceChangeCallback([&](DeviceChange change, const std::string &path) {
            std::lock_guard lock(mutex);
            seen.emplace_back(change, path);
            changed.notify_all();
        });
    ASSERT_NE(token, 0u);
    const HWND window = FindHiddenWindow();
    ASSERT_NE(window, nullptr);

    const Guid otherGuid{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0, 0x11, 0x11, 0, 0, 0x30}};
    const std::string camera =
        "\\\\?\\USB#VID_04B4&PID_3260#5&1A2B3C4D&0&1#" + FormatGuid(kCameraInterfaceGuid);
    SendBroadcast(window, DBT_DEVICEARRIVAL, otherGuid, "\\\\?\\HID#VID_045E&PID_0001#1#{x}");
    SendBroadcast(window, DBT_DEVICEQUERYREMOVE, kCameraInterfaceGuid, camera.c_str());
    SendBroadcast(window, DBT_DEVICEARRIVAL, kCameraInterfaceGuid, camera.c_str());
    SendBroadcast(window, DBT_DEVICEREMOVECOMPLETE, kCameraInterfaceGuid, camera.c_str());
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return seen.size() >= 2; });
        const std::string listed =
            "\\\\?\\usb#vid_04b4&pid_3260#5&1a2b3c4d&0&1#" + FormatGuid(kCameraInterfaceGuid);
        EXPECT_EQ(seen, (Seen{{DeviceChange::Arrival, listed}, {DeviceChange::Removal, listed}}));
    }
    port->UnregisterDeviceChangeCallback(token);
    port.reset();
    EXPECT_EQ(FindHiddenWindow(), nullptr);
}

// The registration of an application's window, which the system then sends its own
// WM_DEVICECHANGE messages: taken for a live window, refused for none or a destroyed one.
TEST(PlatformUsbWin32DeviceChanges, ApplicationWindowsRegisterForTheCameraInterface) {
    const HWND window =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const uintptr_t registration = RegisterWindowForDeviceInterfaces(window, kCameraInterfaceGuid);
    EXPECT_NE(registration, 0u);
    UnregisterWindowForDeviceInterfaces(registration);
    DestroyWindow(window);
    EXPECT_EQ(RegisterWindowForDeviceInterfaces(window, kCameraInterfaceGuid), 0u);
    EXPECT_EQ(RegisterWindowForDeviceInterfaces(nullptr, kCameraInterfaceGuid), 0u);
}

}  // namespace
}  // namespace korvix::platform::usb::win32
