#include "usbfs/UsbfsTestbed.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "sim/CameraList.h"

namespace korvix::test {

namespace {

constexpr int kBus = 2;
constexpr uint16_t kVendorId = 0x04B4;

void AppendLe16(std::vector<uint8_t> &out, uint16_t value) {
    out.push_back(value & 0xFF);
    out.push_back(value >> 8);
}

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

}  // namespace

bool UsbfsTestbed::PreloadActive() {
    const char *preload = std::getenv("LD_PRELOAD");
    return preload != nullptr &&
           std::string(preload).find("libumockdev-preload") != std::string::npos;
}

std::vector<uint8_t> UsbfsTestbed::Descriptors(uint16_t productId, bool superSpeed) {
    std::vector<uint8_t> out = {18, 1};  // device
    AppendLe16(out, superSpeed ? 0x0300 : 0x0210);
    out.insert(out.end(), {0xFF, 0x00, 0x00, static_cast<uint8_t>(superSpeed ? 9 : 64)});
    AppendLe16(out, kVendorId);
    AppendLe16(out, productId);
    AppendLe16(out, 0x0100);
    out.insert(out.end(), {1, 2, 3, 1});

    const size_t configAt = out.size();
    out.insert(out.end(),
               {9, 2, 0, 0, 1, 1, 0, 0x80, static_cast<uint8_t>(superSpeed ? 112 : 250)});
    out.insert(out.end(), {9, 4, 0, 0, 3, 0xFF, 0x00, 0x00, 0});  // interface 0, 3 endpoints
    const uint16_t packet = superSpeed ? 1024 : 512;
    for (uint8_t endpoint : {0x01, 0x81, 0x83}) {
        out.insert(out.end(), {7, 5, endpoint, 0x02});
        AppendLe16(out, packet);
        out.push_back(0);
        if (superSpeed) out.insert(out.end(), {6, 0x30, 15, 0, 0, 0});  // burst of 16
    }
    const auto total = static_cast<uint16_t>(out.size() - configAt);
    out[configAt + 2] = total & 0xFF;
    out[configAt + 3] = total >> 8;
    return out;
}

UsbfsTestbed::UsbfsTestbed() : testbed_(umockdev_testbed_new()) {
    gchar *root = umockdev_testbed_get_root_dir(testbed_);
    root_ = root;
    g_free(root);
    // libusb looks for the usbfs directory when it starts, before any camera is plugged.
    std::filesystem::create_directories(root_ + "/dev/bus/usb");
}

UsbfsTestbed::~UsbfsTestbed() {
    for (Connection &connection : connections_) {
        umockdev_testbed_detach_ioctl(testbed_, connection.node.c_str(), nullptr);
    }
    connections_.clear();
    g_object_unref(testbed_);
}

size_t UsbfsTestbed::Plug(std::shared_ptr<sim::SimulatedCamera> camera, int port) {
    const int number = nextDeviceNumber_++;
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", kBus, number);
    const bool superSpeed = camera->LinkSpeed() == sim::kSpeedSuper;
    const std::string name = std::to_string(kBus) + "-" + std::to_string(port);
    const std::string busText = std::to_string(kBus) + "\n";
    const std::string numberText = std::to_string(number) + "\n";
    const std::string productText = Hex4(camera->ProductId()) + "\n";
    const std::string devText = "189:" + std::to_string((kBus - 1) * 128 + number - 1) + "\n";
    const std::string busProperty = std::to_string(kBus);
    const std::string numberProperty = std::to_string(number);

    gchar *sysPath = umockdev_testbed_add_device(
        testbed_, "usb", name.c_str(), nullptr,
        // attributes
        "busnum", busText.c_str(), "devnum", numberText.c_str(), "speed",
        superSpeed ? "5000\n" : "480\n", "bConfigurationValue", "1\n", "idVendor", "04b4\n",
        "idProduct", productText.c_str(), "dev", devText.c_str(), nullptr,
        // properties
        "DEVNAME", node, "DEVTYPE", "usb_device", "BUSNUM", busProperty.c_str(), "DEVNUM",
        numberProperty.c_str(), nullptr);
    if (sysPath == nullptr) throw std::runtime_error("umockdev refused the USB device");
    std::vector<uint8_t> descriptors = Descriptors(camera->ProductId(), superSpeed);
    umockdev_testbed_set_attribute_binary(testbed_, sysPath, "descriptors", descriptors.data(),
                                          descriptors.size());

    Connection connection;
    connection.sysPath = sysPath;
    g_free(sysPath);
    connection.node = node;
    // The node libusb opens; the attached handler turns it into a socket to UsbfsDevice.
    const std::filesystem::path file = root_ + node;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file).close();
    connection.device = std::make_unique<UsbfsDevice>(std::move(camera));
    if (!umockdev_testbed_attach_ioctl(testbed_, node, connection.device->Handler(), nullptr)) {
        throw std::runtime_error("umockdev could not attach the usbfs handler");
    }
    connections_.push_back(std::move(connection));
    umockdev_testbed_uevent(testbed_, connections_.back().sysPath.c_str(), "add");
    return connections_.size() - 1;
}

void UsbfsTestbed::Unplug(size_t index) {
    Connection &connection = connections_.at(index);
    if (!connection.plugged) return;
    connection.plugged = false;
    connection.device->Remove();
    umockdev_testbed_uevent(testbed_, connection.sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, connection.sysPath.c_str());
    std::filesystem::remove(root_ + connection.node);
}

}  // namespace korvix::test
