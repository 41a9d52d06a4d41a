#pragma once

#include <memory>
#include <vector>

#include "controller/DeviceTable.h"

namespace korvix::controller {

class DeviceTableSection;

// Base of the controller: keeps the process-wide device table and attaches it to the
// machine-wide shared section "U3T2-MemMap", so that every controller, in this process and
// in others, sees the same rows.
//
// Construction attaches (the first controller anywhere starts from an empty table, a later
// one takes the table it finds); destruction detaches. The section is read and written
// only under its process-shared lock, so two processes enumerating at once cannot tear it
// or lose each other's rows. Without shared memory the controller works with the process
// table alone. Thread-safe.
class CFx3Api {
  public:
    CFx3Api();
    virtual ~CFx3Api();
    CFx3Api(const CFx3Api &) = delete;
    CFx3Api &operator=(const CFx3Api &) = delete;

    // One row of the process table (an empty row for an index outside 0..31).
    DeviceTableRow TableRow(int row) const;
    int32_t TableRowCount() const;

  protected:
    // Adds the devices found by one enumeration to the table (rows already known by path
    // are kept as they are) and writes the table back to the section. Returns the row
    // count afterwards.
    int MergeEnumeration(const std::vector<FoundDevice> &devices);

  private:
    std::unique_ptr<DeviceTableSection> section_;  // null when shared memory is unavailable
};

}  // namespace korvix::controller
