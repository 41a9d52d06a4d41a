#pragma once

// The driver-port backend for real cameras on this platform; one source file per platform
// defines it, and the build picks the file.

#include <memory>

#include "platform/usb/DriverPort.h"

namespace korvix::controller {

// Never returns nullptr: without cameras (or their driver) the port lists no device.
std::unique_ptr<platform::usb::DriverPort> CreateHardwareDriverPort();

}  // namespace korvix::controller
