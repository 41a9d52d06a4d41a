#include "sim/RegisterLog.h"

namespace korvix::sim {

void RegisterLog::Add(const LogEntry &entry) {
    if (entries_.size() == kCapacity) entries_.pop_front();
    entries_.push_back(entry);
}

}  // namespace korvix::sim
