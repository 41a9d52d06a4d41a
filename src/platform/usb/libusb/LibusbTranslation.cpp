#include "platform/usb/libusb/LibusbTranslation.h"

#include <libusb.h>

#include <cctype>
#include <charconv>
#include <cstdio>

#include "platform/usb/DriverPort.h"
#include "platform/usb/DriverRecords.h"

namespace korvix::platform::usb::libusb {

namespace {

bool ParseHex16(std::string_view text, uint16_t *value) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 4) return false;
    unsigned v = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    *value = static_cast<uint16_t>(v);
    return true;
}

bool ParseDecimal8(std::string_view text, uint8_t *value) {
    unsigned v = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v, 10);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || v > 255) {
        return false;
    }
    *value = static_cast<uint8_t>(v);
    return true;
}

std::string Lowercase(std::string_view text) {
    std::string lower(text);
    for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

std::string FormatDevicePath(const DeviceLocation &location, const Guid &interfaceGuid) {
    char head[40];
    std::snprintf(head, sizeof head, "\\\\?\\usb#vid_%04x&pid_%04x#%u&", location.vendorId,
                  location.productId, location.bus);
    std::string path = head;
    for (size_t i = 0; i < location.ports.size(); ++i) {
        if (i > 0) path += '.';
        path += std::to_string(location.ports[i]);
    }
    path += '#';
    path += FormatGuid(interfaceGuid);
    return path;
}

std::optional<DeviceLocation> ParseDevicePath(std::string_view original) {
    const std::string path = Lowercase(original);
    constexpr std::string_view kPrefix = "\\\\?\\usb#vid_";
    // vid at 12, "&pid_" at 16, pid at 21, '#' at 25, instance from 26.
    if (path.size() < 27 || path.compare(0, kPrefix.size(), kPrefix) != 0 ||
        path.compare(16, 5, "&pid_") != 0 || path[25] != '#') {
        return std::nullopt;
    }
    DeviceLocation location;
    if (!ParseHex16(std::string_view(path).substr(12, 4), &location.vendorId) ||
        !ParseHex16(std::string_view(path).substr(21, 4), &location.productId)) {
        return std::nullopt;
    }
    std::string_view rest = std::string_view(path).substr(26);
    size_t hash = rest.find('#');
    if (hash == std::string_view::npos) return std::nullopt;
    std::string_view instance = rest.substr(0, hash);
    size_t amp = instance.find('&');
    if (amp == std::string_view::npos) return std::nullopt;
    if (!ParseDecimal8(instance.substr(0, amp), &location.bus)) return std::nullopt;
    std::string_view ports = instance.substr(amp + 1);
    while (!ports.empty()) {
        size_t dot = ports.find('.');
        uint8_t port = 0;
        if (!ParseDecimal8(ports.substr(0, dot), &port)) return std::nullopt;
        location.ports.push_back(port);
        if (dot == std::string_view::npos) break;
        ports.remove_prefix(dot + 1);
        if (ports.empty()) return std::nullopt;
    }
    if (location.ports.empty()) return std::nullopt;
    return location;
}

std::optional<std::vector<uint16_t>> ParseVendorIdList(std::string_view text) {
    std::vector<uint16_t> ids;
    while (true) {
        size_t comma = text.find(',');
        std::string_view entry = text.substr(0, comma);
        while (!entry.empty() && entry.front() == ' ') entry.remove_prefix(1);
        while (!entry.empty() && entry.back() == ' ') entry.remove_suffix(1);
        uint16_t id = 0;
        if (!ParseHex16(entry, &id)) return std::nullopt;
        ids.push_back(id);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return ids;
}

uint32_t TransferStatusToIoError(int transferStatus) {
    switch (transferStatus) {
        case LIBUSB_TRANSFER_COMPLETED:
            return kIoSuccess;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return kIoSemTimeout;
        case LIBUSB_TRANSFER_CANCELLED:
            return kIoOperationAborted;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return kIoDeviceNotConnected;
        default:  // error, stall, overflow
            return kIoGenFailure;
    }
}

uint32_t LibusbErrorToIoError(int libusbError) {
    if (libusbError >= 0) return kIoSuccess;
    switch (libusbError) {
        case LIBUSB_ERROR_TIMEOUT:
            return kIoSemTimeout;
        case LIBUSB_ERROR_NO_DEVICE:
            return kIoDeviceNotConnected;
        case LIBUSB_ERROR_NOT_FOUND:
            return kIoFileNotFound;
        case LIBUSB_ERROR_INVALID_PARAM:
            return kIoInvalidParameter;
        case LIBUSB_ERROR_INTERRUPTED:
            return kIoOperationAborted;
        case LIBUSB_ERROR_NOT_SUPPORTED:
            return kIoInvalidFunction;
        default:  // I/O, access, busy, overflow, pipe, no memory, other
            return kIoGenFailure;
    }
}

uint32_t LibusbSpeedToSpeedCode(int libusbSpeed) {
    switch (libusbSpeed) {
        case LIBUSB_SPEED_LOW:
            return kSpeedLow;
        case LIBUSB_SPEED_FULL:
            return kSpeedFull;
        case LIBUSB_SPEED_HIGH:
            return kSpeedHigh;
        case LIBUSB_SPEED_UNKNOWN:
            return 0;
        default:  // super speed and faster
            return kSpeedSuper;
    }
}

}  // namespace korvix::platform::usb::libusb
