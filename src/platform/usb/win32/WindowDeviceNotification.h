#pragma once

// An application's window registered for the system's own device-change messages: Windows
// then sends it WM_DEVICECHANGE with a DEV_BROADCAST_DEVICEINTERFACE record whenever an
// interface of the GUID arrives or goes, as an application of this library expects.

#include <cstdint>

#include "platform/usb/Guid.h"

namespace korvix::platform::usb::win32 {

// Registers `window` (an HWND) with RegisterDeviceNotificationA, window-handle delivery, for
// the device interfaces of `interfaceGuid`. Returns the registration, or 0 when the system
// refuses it (no such window). Any thread.
uintptr_t RegisterWindowForDeviceInterfaces(void *window, const Guid &interfaceGuid);

// Ends a registration; 0 is ignored. After it returns no further message of it is sent.
void UnregisterWindowForDeviceInterfaces(uintptr_t registration);

}  // namespace korvix::platform::usb::win32
