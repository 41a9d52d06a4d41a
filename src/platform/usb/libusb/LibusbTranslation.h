#pragma once

// The pure half of the libusb backend: device paths, vendor-id lists and the translation
// of libusb results into driver-port results. No I/O, so it is unit-tested without a
// camera.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/usb/Guid.h"

namespace korvix::platform::usb::libusb {

// Where a device sits on the bus: bus number and the chain of hub port numbers.
struct DeviceLocation {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint8_t bus = 0;
    std::vector<uint8_t> ports;

    friend bool operator==(const DeviceLocation &, const DeviceLocation &) = default;
};

// "\\?\usb#vid_04b4&pid_3260#<bus>&<port.port...>#{guid}": the device-interface path
// shape, with the instance part built from the bus and port numbers, so the path of a
// camera stays the same as long as it stays in the same socket.
std::string FormatDevicePath(const DeviceLocation &location, const Guid &interfaceGuid);

// Inverse of FormatDevicePath (letter case ignored); nullopt for another shape.
std::optional<DeviceLocation> ParseDevicePath(std::string_view path);

// Comma-separated hex vendor ids ("04b4,1234" or "0x04B4"); nullopt when any entry is not
// a 16-bit hex number or the list is empty.
std::optional<std::vector<uint16_t>> ParseVendorIdList(std::string_view text);

inline constexpr uint16_t kDefaultVendorId = 0x04B4;

// libusb_transfer_status → IoError.
uint32_t TransferStatusToIoError(int transferStatus);
// libusb_error (negative) → IoError; 0 and positive counts → kIoSuccess.
uint32_t LibusbErrorToIoError(int libusbError);
// libusb_speed → link speed code of the driver (4 = SuperSpeed or faster).
uint32_t LibusbSpeedToSpeedCode(int libusbSpeed);

}  // namespace korvix::platform::usb::libusb
