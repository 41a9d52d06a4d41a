#include "controller/DriverPortFactory.h"

#include <cstdlib>

#include "controller/HardwareDriverPort.h"
#include "sim/SimulatedDriverPort.h"

namespace korvix::controller {

DriverBackend SelectDriverBackend() {
    return std::getenv("KORVIX_SIMULATE") != nullptr ? DriverBackend::Simulator
                                                     : DriverBackend::Hardware;
}

std::unique_ptr<platform::usb::DriverPort> CreateDriverPort() {
    if (SelectDriverBackend() == DriverBackend::Simulator) {
        return sim::CreateSimulatedDriverPort(std::getenv("KORVIX_SIMULATE"));
    }
    return CreateHardwareDriverPort();
}

}  // namespace korvix::controller
