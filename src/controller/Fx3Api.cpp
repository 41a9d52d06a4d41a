#include "controller/Fx3Api.h"

#include <mutex>

#include "controller/DeviceTableSection.h"

namespace korvix::controller {

namespace {

// The process-wide copy of the device table. Lock order: this mutex, then the section's
// lock.
struct ProcessTable {
    std::mutex mutex;  // guards table and localAttachCount
    DeviceTable table;
    int32_t localAttachCount = 0;  // controllers of this process that have no section
};

ProcessTable &Process() {
    static ProcessTable process;
    return process;
}

}  // namespace

CFx3Api::CFx3Api() : section_(DeviceTableSection::Open()) {
    ProcessTable &process = Process();
    std::lock_guard lock(process.mutex);
    if (!section_) {
        if (process.localAttachCount == 0) ResetDeviceTable(process.table);
        ++process.localAttachCount;
        return;
    }
    // The count is changed in the section itself, never from a copy held by this process,
    // so attaches and detaches of several processes all add up.
    section_->Update([&](SectionContent &shared) {
        if (shared.attachCount <= 0) {
            shared.attachCount = 0;
            ResetDeviceTable(shared.table);
        }
        ++shared.attachCount;
        process.table = shared.table;
    });
}

CFx3Api::~CFx3Api() {
    ProcessTable &process = Process();
    std::lock_guard lock(process.mutex);
    if (!section_) {
        --process.localAttachCount;
        return;
    }
    section_->Update([](SectionContent &shared) {
        if (shared.attachCount > 0) --shared.attachCount;
    });
}

DeviceTableRow CFx3Api::TableRow(int row) const {
    if (row < 0 || row >= kDeviceTableRows) return DeviceTableRow{};
    ProcessTable &process = Process();
    std::lock_guard lock(process.mutex);
    return process.table.rows[static_cast<size_t>(row)];
}

int32_t CFx3Api::TableRowCount() const {
    ProcessTable &process = Process();
    std::lock_guard lock(process.mutex);
    return process.table.count;
}

int CFx3Api::MergeEnumeration(const std::vector<FoundDevice> &devices) {
    ProcessTable &process = Process();
    std::lock_guard lock(process.mutex);
    auto merge = [&](DeviceTable &table) {
        for (const FoundDevice &device : devices) AddDeviceToTable(table, device.ids, device.path);
    };
    if (!section_) {
        merge(process.table);
        return process.table.count;
    }
    // Start from the section's table, which may hold rows another process added since.
    section_->Update([&](SectionContent &shared) {
        merge(shared.table);
        process.table = shared.table;
    });
    return process.table.count;
}

}  // namespace korvix::controller
