#pragma once

// The choice of driver-port backend. It lives above src/platform/ because it must see both
// the backend for real cameras (platform) and the simulated camera (sim), and the platform
// layer may include nothing above itself.

#include <memory>

#include "platform/usb/DriverPort.h"

namespace korvix::controller {

// The one place that picks the driver-port backend: the simulated camera when the
// environment variable KORVIX_SIMULATE is set (its value names the simulated cameras),
// the platform's backend for real cameras otherwise (HardwareDriverPort.h: libusb, or the
// camera's kernel driver on Windows). Never returns nullptr. Called by the
// controller's constructor, on the constructing thread.
std::unique_ptr<platform::usb::DriverPort> CreateDriverPort();

// The backend CreateDriverPort() makes under the current environment.
enum class DriverBackend { Simulator, Hardware };
DriverBackend SelectDriverBackend();

}  // namespace korvix::controller
