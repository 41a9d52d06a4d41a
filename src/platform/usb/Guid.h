#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvix::platform::usb {

// A device-interface GUID in its Win32 memory layout (16 bytes).
struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    friend bool operator==(const Guid &, const Guid &) = default;
};

// The interface GUID of the camera's FX3 driver.
inline constexpr Guid kCameraInterfaceGuid{
    0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

// "{328184c5-93e6-49b7-94b8-2ada13aabb39}": braces, lowercase hex, the form device paths use.
std::string FormatGuid(const Guid &guid);

// Parses the braced form FormatGuid() writes (either letter case); nullopt when malformed.
std::optional<Guid> ParseGuid(std::string_view text);

}  // namespace korvix::platform::usb
