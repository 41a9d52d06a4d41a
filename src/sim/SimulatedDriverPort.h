#pragma once

// The thin adapter between the driver port and the simulated cameras: device paths and
// files of the cameras in the process-wide Simulator, and IoControl records decoded by the
// shared record decoder and performed on the camera model.

#include <memory>

#include "platform/usb/DriverPort.h"

namespace korvix::sim {

// Makes the simulator's driver port. cameraList is the KORVIX_SIMULATE text; it configures the
// Simulator unless a test has configured it already (see Simulator.h). A faulty cameraList
// configures no cameras.
std::unique_ptr<platform::usb::DriverPort> CreateSimulatedDriverPort(const char *cameraList);

}  // namespace korvix::sim
