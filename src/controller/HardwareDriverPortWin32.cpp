#include "controller/HardwareDriverPort.h"

#include "platform/usb/win32/Win32DriverPort.h"

namespace korvix::controller {

// The camera's own kernel driver, which lists its device interfaces by GUID.
std::unique_ptr<platform::usb::DriverPort> CreateHardwareDriverPort() {
    return platform::usb::win32::CreateWin32DriverPort();
}

}  // namespace korvix::controller
