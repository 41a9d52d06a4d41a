#pragma once

#include <memory>

#include "platform/usb/DriverPort.h"

namespace korvix::platform::usb {

// The one place that picks the driver-port backend: the simulated camera when the
// environment variable KORVIX_SIMULATE is set (its value names the simulated cameras),
// the libusb backend for real cameras otherwise. Never returns nullptr. Called by the
// controller's constructor, on the constructing thread.
std::unique_ptr<DriverPort> CreateDriverPort();

// The backend CreateDriverPort() makes under the current environment.
enum class DriverBackend { Simulator, Libusb };
DriverBackend SelectDriverBackend();

}  // namespace korvix::platform::usb
