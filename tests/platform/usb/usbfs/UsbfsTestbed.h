#pragma once

// A umockdev testbed in which cameras of the simulator appear as USB devices, as libusb
// finds them on Linux: a sysfs entry with the attributes and the binary descriptors of the
// product (vendor 0x04B4, the model's product id, SuperSpeed or high speed as the camera's
// link speed says, interface 0 with bulk endpoints 0x01, 0x81 and 0x83), a device node
// under /dev/bus/usb whose usbfs ioctls UsbfsDevice answers, and "add" and "remove"
// uevents for hot-plug.
//
// The process must run with umockdev's preload library (the test command wraps it; see
// run-under-umockdev), and the testbed must exist before libusb is initialised.

#include <memory>
#include <string>
#include <vector>

#include "sim/SimulatedCamera.h"
#include "usbfs/UsbfsDevice.h"

namespace korvix::test {

class UsbfsTestbed {
  public:
    // False when umockdev's preload library is not loaded: a testbed would then be ignored.
    static bool PreloadActive();

    UsbfsTestbed();
    ~UsbfsTestbed();
    UsbfsTestbed(const UsbfsTestbed &) = delete;
    UsbfsTestbed &operator=(const UsbfsTestbed &) = delete;

    // Connects the camera to port `port` of bus 2 with the next free device number and
    // announces it. Returns the index of the connection.
    size_t Plug(std::shared_ptr<sim::SimulatedCamera> camera, int port);
    // The device leaves: pending transfers end, the file answers ENODEV, the sysfs entry
    // goes away and a "remove" uevent announces it.
    void Unplug(size_t index);

    UsbfsDevice &Device(size_t index) { return *connections_.at(index).device; }

    // The USB descriptors of a camera: device, configuration, interface, endpoints (with
    // SuperSpeed companions at SuperSpeed).
    static std::vector<uint8_t> Descriptors(uint16_t productId, bool superSpeed);

  private:
    struct Connection {
        std::string sysPath;
        std::string node;  // /dev/bus/usb/002/DDD
        std::unique_ptr<UsbfsDevice> device;
        bool plugged = true;
    };

    UMockdevTestbed *testbed_ = nullptr;
    std::string root_;
    int nextDeviceNumber_ = 2;  // 1 is the root hub's
    std::vector<Connection> connections_;
};

}  // namespace korvix::test
