// Windows: the notify window is registered with the system for the camera interface's
// arrivals and removals, so Windows itself sends it WM_DEVICECHANGE with the
// DEV_BROADCAST_DEVICEINTERFACE record that applications read through lParam. Simulated
// cameras are not announced: a posted message could not carry such a record for them.

#include "session/DeviceNotifications.h"

#include "platform/usb/win32/WindowDeviceNotification.h"

namespace korvix {

bool DeviceNotifications::Start(controller::CKorCy3Cam & /*controller*/, KorvixWindow window) {
    Stop();
    token_ = platform::usb::win32::RegisterWindowForDeviceInterfaces(
        window, platform::usb::kCameraInterfaceGuid);
    return token_ != 0;
}

void DeviceNotifications::Stop() {
    platform::usb::win32::UnregisterWindowForDeviceInterfaces(token_);
    token_ = 0;
}

}  // namespace korvix
