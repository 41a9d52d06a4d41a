#pragma once

#include <cstdint>

#include "KorvixSdk_Tesslin.h"
#include "platform/usb/DeviceChanges.h"

namespace korvix::controller {
class CKorCy3Cam;
}

namespace korvix {

// The platform's device-change message, with the Windows values: posted to a session's
// notify window when a camera is plugged in (wParam kDeviceArrival) or unplugged
// (wParam kDeviceRemoveComplete). On Linux lParam is the USB product id of the camera
// (0x3260 for this model; 0 when the path does not tell).
inline constexpr unsigned kWmDeviceChange = 0x0219;
inline constexpr uintptr_t kDeviceArrival = 0x8000;
inline constexpr uintptr_t kDeviceRemoveComplete = 0x8004;

// Announces camera arrival and removal to a notify window for as long as it is watching.
// Start and Stop run on the application's thread; the announcements are posted from the
// driver port's delivery thread. On Windows the system sends them itself to the window it
// was registered for (DeviceNotificationsWin32.cpp; token_ holds that registration).
class DeviceNotifications {
public:
    DeviceNotifications() = default;
    ~DeviceNotifications() { Stop(); }
    DeviceNotifications(const DeviceNotifications &) = delete;
    DeviceNotifications &operator=(const DeviceNotifications &) = delete;

    // Watches the cameras of `controller` (which must outlive the watch) for `window`.
    // False when the port cannot announce changes.
    bool Start(controller::CKorCy3Cam &controller, KorvixWindow window);
    // After it returns nothing more is posted.
    void Stop();

private:
    controller::CKorCy3Cam *controller_ = nullptr;
    platform::usb::DeviceChangeToken token_ = 0;
};

}  // namespace korvix
