#include "controller/DeviceTableSection.h"

#include <cstring>
#include <mutex>

#include "platform/SharedSection.h"
#include "platform/usb/DriverRecords.h"

namespace korvix::controller {

using platform::usb::LoadLe16;
using platform::usb::LoadLe32;
using platform::usb::StoreLe16;
using platform::usb::StoreLe32;

namespace {
constexpr size_t kRowSize = sizeof(DeviceTableRow);
}

void DecodeSection(const uint8_t *bytes, SectionContent *content) {
    content->attachCount = static_cast<int32_t>(LoadLe32(bytes));
    for (int i = 0; i < kDeviceTableRows; ++i) {
        const uint8_t *at = bytes + kSectionRowsAt + kRowSize * static_cast<size_t>(i);
        DeviceTableRow &row = content->table.rows[static_cast<size_t>(i)];
        row.vendorId = LoadLe16(at);
        row.productId = LoadLe16(at + 2);
        row.instance = static_cast<int32_t>(LoadLe32(at + 4));
        std::memcpy(row.path, at + 8, kDevicePathSize);
        row.path[kDevicePathSize - 1] = '\0';  // another process's row is not trusted blindly
    }
    int32_t count = static_cast<int32_t>(LoadLe32(bytes + kSectionCountAt));
    content->table.count = count < 0 ? 0 : (count > kDeviceTableRows ? kDeviceTableRows : count);
}

void EncodeSection(const SectionContent &content, uint8_t *bytes) {
    StoreLe32(bytes, static_cast<uint32_t>(content.attachCount));
    for (int i = 0; i < kDeviceTableRows; ++i) {
        uint8_t *at = bytes + kSectionRowsAt + kRowSize * static_cast<size_t>(i);
        const DeviceTableRow &row = content.table.rows[static_cast<size_t>(i)];
        StoreLe16(at, row.vendorId);
        StoreLe16(at + 2, row.productId);
        StoreLe32(at + 4, static_cast<uint32_t>(row.instance));
        std::memcpy(at + 8, row.path, kDevicePathSize);
    }
    StoreLe32(bytes + kSectionCountAt, static_cast<uint32_t>(content.table.count));
}

std::unique_ptr<DeviceTableSection> DeviceTableSection::Open() {
    auto section = platform::SharedSection::Open(kSectionName, kSectionSize);
    if (!section) return nullptr;
    return std::unique_ptr<DeviceTableSection>(new DeviceTableSection(std::move(section)));
}

DeviceTableSection::DeviceTableSection(std::unique_ptr<platform::SharedSection> section)
    : section_(std::move(section)) {}

DeviceTableSection::~DeviceTableSection() = default;

void DeviceTableSection::Update(const std::function<void(SectionContent &)> &change) {
    std::lock_guard lock(*section_);
    auto *bytes = static_cast<uint8_t *>(section_->Data());
    SectionContent content;
    DecodeSection(bytes, &content);
    change(content);
    EncodeSection(content, bytes);
}

}  // namespace korvix::controller
