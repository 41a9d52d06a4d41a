#pragma once

#include <memory>
#include <vector>

#include "controller/DeviceTable.h"

namespace korvix::controller {

class DeviceTableSection;

// Base of the controller: attaches to the machine-wide device table in the shared section
// "U3T2-MemMap" on construction and detaches on destruction. The table itself is one per
// process (ProcessDeviceTable()); the section keeps it in step between processes.
// Thread-safe: the process table is guarded by a process lock, the section by its own
// process-shared lock (taken inside the process lock).
class CFx3Api {
  public:
    CFx3Api();
    virtual ~CFx3Api();
    CFx3Api(const CFx3Api &) = delete;
    CFx3Api &operator=(const CFx3Api &) = delete;

    // A copy of the process table, refreshed from the section first.
    DeviceTable Snapshot() const;

    // Merges the devices found by one enumeration into the table: the section's table is
    // read, the devices are added, and the result is written back, all under the section
    // lock, so concurrent enumerations in several processes cannot lose each other's rows.
    // Returns the row count afterwards.
    int MergeEnumeration(const std::vector<FoundDevice> &devices);

  private:
    std::unique_ptr<DeviceTableSection> section_;  // null when the section is unavailable
};

}  // namespace korvix::controller
