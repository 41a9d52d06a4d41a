#pragma once

// Time-stamped record of every register, EEPROM and request access a simulated camera
// saw, so a test can assert exactly what a driver wrote and when. Not thread-safe on its
// own: the owning camera serialises access under its lock.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace korvix::sim {

enum class LogTarget : uint8_t {
    Fpga,     // FPGA register (8-bit number)
    Sensor,   // sensor register (16-bit address)
    Srom,     // identity EEPROM byte (16-bit address)
    Aux,      // auxiliary I2C device register
    Request,  // FX3 vendor request without a register (address = bRequest)
    Port,     // driver-level operation, address one of the kPort values below
};

// Addresses of LogTarget::Port entries (value: endpoint, or byte count for kPortBulkOut).
inline constexpr uint16_t kPortAbortPipe = 1;
inline constexpr uint16_t kPortResetPipe = 2;
inline constexpr uint16_t kPortResetParentPort = 3;
inline constexpr uint16_t kPortUnplug = 4;
inline constexpr uint16_t kPortReplug = 5;
inline constexpr uint16_t kPortBulkOut = 6;

enum class LogAccess : uint8_t {
    Write,
    Read,
    // Sensor writes the camera refused (the I2C transfer failed; nothing was stored): a
    // frame-shaping register written without the bus request, or a register that may change
    // only in standby written while the sensor runs. value is the refused value.
    RefusedNoBusRequest,
    RefusedNotInStandby,
};

struct LogEntry {
    uint64_t timeMs;  // platform clock at the access, in ms (TickCount, unwrapped)
    LogTarget target;
    LogAccess access;
    uint16_t address;
    uint32_t value;

    bool operator==(const LogEntry &) const = default;
};

class RegisterLog {
  public:
    // The log keeps the newest kCapacity entries; older ones are dropped.
    static constexpr size_t kCapacity = 1u << 20;

    void Add(const LogEntry &entry);
    void Clear() { entries_.clear(); }
    std::vector<LogEntry> Entries() const { return {entries_.begin(), entries_.end()}; }

  private:
    std::deque<LogEntry> entries_;
};

}  // namespace korvix::sim
