#include "controller/DeviceTable.h"

#include <cctype>
#include <cstring>

namespace korvix::controller {

void ResetDeviceTable(DeviceTable &table) {
    for (DeviceTableRow &row : table.rows) row = DeviceTableRow{};
    table.count = 0;
}

namespace {

std::optional<uint16_t> ParseHex4(std::string_view text) {
    uint16_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = static_cast<uint16_t>((value << 4) | digit);
    }
    return value;
}

bool SamePathIgnoringCase(const char *rowPath, std::string_view path) {
    size_t length = strnlen(rowPath, kDevicePathSize);
    if (length != path.size()) return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(rowPath[i])) !=
            std::tolower(static_cast<unsigned char>(path[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<UsbIds> ParseUsbIds(std::string_view path) {
    constexpr size_t kVendorAt = 12;
    constexpr size_t kProductAt = 21;
    if (path.size() < kProductAt + 4) return std::nullopt;
    auto vendor = ParseHex4(path.substr(kVendorAt, 4));
    auto product = ParseHex4(path.substr(kProductAt, 4));
    if (!vendor || !product) return std::nullopt;
    return UsbIds{*vendor, *product};
}

bool AddDeviceToTable(DeviceTable &table, const UsbIds &ids, std::string_view path) {
    int32_t sameModel = 0;
    int32_t used =
        table.count < 0 ? 0 : (table.count > kDeviceTableRows ? kDeviceTableRows : table.count);
    for (int32_t i = 0; i < used; ++i) {
        const DeviceTableRow &row = table.rows[static_cast<size_t>(i)];
        if (row.vendorId != ids.vendorId || row.productId != ids.productId) continue;
        if (SamePathIgnoringCase(row.path, path)) return false;  // already known
        ++sameModel;
    }
    if (table.count < 0 || table.count >= kDeviceTableRows) return false;
    // A path that does not fit a row with its terminator cannot be stored whole; taking it
    // cut short would make a row that never opens.
    if (path.size() >= kDevicePathSize) return false;
    DeviceTableRow &row = table.rows[static_cast<size_t>(table.count)];
    row = DeviceTableRow{};
    row.vendorId = ids.vendorId;
    row.productId = ids.productId;
    row.instance = sameModel;
    std::memcpy(row.path, path.data(), path.size());
    ++table.count;
    return true;
}

}  // namespace korvix::controller
