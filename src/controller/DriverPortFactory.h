#pragma once

// The choice of driver-port backend. It lives above src/platform/ because it must see both
// the libusb backend (platform) and the simulated camera (sim), and the platform layer may
// include nothing above itself.

#include <memory>

#include "platform/usb/DriverPort.h"

namespace korvix::controller {

// The one place that picks the driver-port backend: the simulated camera when the
// environment variable KORVIX_SIMULATE is set (its value names the simulated cameras),
// the libusb backend for real cameras otherwise. Never returns nullptr. Called by the
// controller's constructor, on the constructing thread.
std::unique_ptr<platform::usb::DriverPort> CreateDriverPort();

// The backend CreateDriverPort() makes under the current environment.
enum class DriverBackend { Simulator, Libusb };
DriverBackend SelectDriverBackend();

}  // namespace korvix::controller
