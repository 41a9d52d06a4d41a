#pragma once

// A small scripted camera behind the driver port, for testing the controller's wire
// traffic exactly: it answers control requests (I2C to the FPGA register file and the
// EEPROM, fixed answers for the other requests), serves bulk IN data from a script, keeps
// a log of everything it was sent, and leaves a bulk transfer pending when the script is
// empty, until the pipe is aborted.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/usb/DriverPort.h"
#include "platform/usb/DriverRecords.h"

namespace korvix::controller::test {

// One entry of the camera's log.
struct WireEvent {
    enum class Kind { Control, BulkIn, BulkOut, AbortPipe, ResetPipe, ResetPort, Speed } kind;
    platform::usb::SetupPacket setup;  // Control
    uint8_t endpoint = 0;              // bulk and pipe requests
    std::vector<uint8_t> data;         // Control (host to device) and BulkOut payload
    uint32_t length = 0;               // BulkIn: bytes asked for
};

// What a bulk IN read gets from the script.
struct BulkAnswer {
    std::vector<uint8_t> bytes;  // delivered (at most the length asked for)
    uint32_t error = platform::usb::kIoSuccess;
};

class FakeCamera {
  public:
    // Devices: paths the port lists; a path not in `present` cannot be opened.
    std::vector<std::string> listed;
    std::set<std::string> present;

    uint8_t fpga[256] = {};
    std::map<uint16_t, uint8_t> srom;
    // When set, control reads return this many data bytes instead of a full answer.
    int shortAnswerBytes = -1;
    bool failControl = false;
    uint32_t speedCode = platform::usb::kSpeedSuper;
    uint8_t readyFlag = 1;

    void QueueBulkIn(BulkAnswer answer);
    std::vector<WireEvent> Log() const;
    int CountOf(WireEvent::Kind kind) const;
    // Control requests of one bRequest, in order.
    std::vector<WireEvent> Requests(uint8_t request) const;
    int IoControlCount() const;
    int PendingTransfers() const;

    // Driver-port side (used by the fake port and its files).
    // Performs a decoded request. A bulk IN read with an empty script is left pending
    // (returns kIoPending) when `overlapped` is given, and fails with a timeout otherwise.
    uint32_t Perform(const platform::usb::DecodedRequest &request, uint32_t *transferred,
                     platform::usb::Overlapped *overlapped, const void *owner);
    // Completes the pending reads of a closing file as aborted.
    void CancelOwner(const void *owner);

  private:
    uint32_t PerformControl(const platform::usb::DecodedRequest &request, uint32_t *transferred);
    void I2cWrite(uint8_t address, const uint8_t *data, uint32_t count);
    void I2cRead(uint8_t address, uint8_t *data, uint32_t count);

    struct PendingRead {
        platform::usb::DecodedRequest request;
        platform::usb::Overlapped *overlapped;
        const void *owner;
    };
    // Completes the pending reads that match as aborted.
    template <typename Match>
    void CancelPending(Match match);

    mutable std::recursive_mutex mutex_;
    std::vector<WireEvent> log_;
    std::deque<BulkAnswer> bulkIn_;
    std::vector<PendingRead> pending_;
    int ioControls_ = 0;
    uint8_t fpgaPointer_ = 0;
    uint16_t sromPointer_ = 0;
};

// A driver port over a FakeCamera (shared with the test).
std::unique_ptr<platform::usb::DriverPort> MakeFakePort(std::shared_ptr<FakeCamera> camera);

// "\\?\usb#vid_04b4&pid_<product>#<n>#{guid}"
std::string FakePath(uint16_t product, int n);

}  // namespace korvix::controller::test
