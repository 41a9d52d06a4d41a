#include "controller/HardwareDriverPort.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/usb/libusb/LibusbDriverPort.h"
#include "platform/usb/libusb/LibusbTranslation.h"

namespace korvix::controller {

namespace libusb = platform::usb::libusb;

namespace {

// KORVIX_USB_VENDOR_IDS (comma-separated hex) overrides the vendor ids the libusb backend
// lists; without it (or when it cannot be read) only the FX3's default id is listed.
std::vector<uint16_t> VendorIdsFromEnvironment() {
    if (const char *text = std::getenv("KORVIX_USB_VENDOR_IDS")) {
        if (auto ids = libusb::ParseVendorIdList(text)) return *ids;
    }
    return {libusb::kDefaultVendorId};
}

}  // namespace

std::unique_ptr<platform::usb::DriverPort> CreateHardwareDriverPort() {
    return libusb::CreateLibusbDriverPort(VendorIdsFromEnvironment());
}

}  // namespace korvix::controller
