#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/usb/DriverPort.h"

namespace korvix::platform::usb::libusb {

// Makes the libusb backend: lists the devices of the given vendor ids (the FX3 bridges)
// and performs the driver's records as libusb control and bulk transfers. Returns a port
// that lists no devices when libusb cannot be initialised (no USB on the machine), so the
// layers above simply see no camera.
std::unique_ptr<DriverPort> CreateLibusbDriverPort(std::vector<uint16_t> vendorIds);

}  // namespace korvix::platform::usb::libusb
