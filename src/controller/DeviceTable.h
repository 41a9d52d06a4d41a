#pragma once

// The device table: which attached camera has which row, instance number and path. One
// table per process, mirrored into the shared section so that a device number means the
// same camera in every process. The functions here are pure; DeviceTableSection.h moves
// the table in and out of the shared section.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvix::controller {

inline constexpr int kDeviceTableRows = 32;
inline constexpr size_t kDevicePathSize = 260;

// One row, 268 bytes, in the layout the shared section holds.
struct DeviceTableRow {
    uint16_t vendorId = 0;
    uint16_t productId = 0;           // 0 for an empty row
    int32_t instance = -1;            // rows with the same vendor and product id before this one
    char path[kDevicePathSize] = {};  // NUL-terminated
};
static_assert(sizeof(DeviceTableRow) == 268);

struct DeviceTable {
    std::array<DeviceTableRow, kDeviceTableRows> rows{};
    int32_t count = 0;  // rows in use, filled from index 0; rows are only ever appended
};

// Empties every row (vendor 0, product 0, instance -1, zero path) and sets the count to 0.
void ResetDeviceTable(DeviceTable &table);

// Vendor and product id from a device-interface path: four hex digits at character 12
// and at character 21. nullopt when the path is too short or the digits are not hex.
struct UsbIds {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};
std::optional<UsbIds> ParseUsbIds(std::string_view path);

// Adds a present device to the table unless a row already has its path (compared without
// regard to letter case). A new row goes to index count with the instance number = the
// rows of the same vendor and product id before it. A full table or a path that does not
// fit a row takes no new row. Returns true when a row was added.
bool AddDeviceToTable(DeviceTable &table, const UsbIds &ids, std::string_view path);

// A device found by enumeration, before it is merged into the table.
struct FoundDevice {
    UsbIds ids;
    std::string path;
};

}  // namespace korvix::controller
