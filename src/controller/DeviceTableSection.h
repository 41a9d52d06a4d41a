#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "controller/DeviceTable.h"

namespace korvix::platform {
class SharedSection;
}

namespace korvix::controller {

// The shared section "U3T2-MemMap": 8584 bytes, little-endian: attach count (int32) at 0,
// the 32 rows of 268 bytes at 4, the row count (int32) at 8580.
inline constexpr size_t kSectionSize = 8584;
inline constexpr size_t kSectionRowsAt = 4;
inline constexpr size_t kSectionCountAt = 8580;
inline constexpr const char *kSectionName = "U3T2-MemMap";

// The section's content, decoded.
struct SectionContent {
    int32_t attachCount = 0;
    DeviceTable table;
};

void DecodeSection(const uint8_t *bytes, SectionContent *content);
void EncodeSection(const SectionContent &content, uint8_t *bytes);

// The machine-wide device table: one holder per attached controller. Thread-safe.
class DeviceTableSection {
  public:
    // Opens or creates the section; nullptr when shared memory is not available.
    static std::unique_ptr<DeviceTableSection> Open();
    ~DeviceTableSection();
    DeviceTableSection(const DeviceTableSection &) = delete;
    DeviceTableSection &operator=(const DeviceTableSection &) = delete;

    // Reads the content, lets `change` update it and writes it back, all under the
    // section's process-shared lock, so no other process sees a half-written table.
    void Update(const std::function<void(SectionContent &)> &change);

  private:
    explicit DeviceTableSection(std::unique_ptr<platform::SharedSection> section);
    std::unique_ptr<platform::SharedSection> section_;
};

}  // namespace korvix::controller
