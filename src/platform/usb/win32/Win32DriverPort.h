#pragma once

#include <memory>

#include "platform/usb/DriverPort.h"

namespace korvix::platform::usb::win32 {

// Makes the Win32 backend: the camera's FX3 kernel driver itself. Device interfaces are
// listed with SetupAPI, paths opened with CreateFileA, requests sent with DeviceIoControl
// (Win32DeviceFile.h) and arrivals and removals announced by a hidden window
// (DeviceChangeWindow.h). Without the driver installed it simply lists no device.
std::unique_ptr<DriverPort> CreateWin32DriverPort();

}  // namespace korvix::platform::usb::win32
