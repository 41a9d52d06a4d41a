#pragma once

// The driver port: the contract of the camera's FX3 kernel driver, as the controller sees it.
//
// HOW TO WRITE A BACKEND
// ----------------------
// A backend implements two classes:
//   1. DriverPort: EnumerateInterfaces() and Open(). One object per controller; the factory
//      CreateDriverPort() (controller/DriverPortFactory.h, above this layer) makes it.
//   2. DeviceFile: the open file of one device path. Implement IoControl() (synchronous),
//      SubmitIoControl() (overlapped) and GetOverlappedResult(); the destructor cancels and
//      completes whatever is still pending on the file.
// The backend does not parse records itself: it hands the IOCTL code and the buffers to
// DecodeRequest() (DriverRecords.h), performs the control or bulk operation it gets back,
// and reports the outcome with CompleteRequest(), which writes the driver status fields
// into the transfer header and gives the byte count the caller sees. An overlapped
// operation finishes with Overlapped::Complete(), which publishes the result and then
// signals the caller's completion event.
// Error values are the Win32 error numbers below (IoError), because the controller stores
// and compares them exactly as it would on Windows.
//
// THREADS AND LOCKS
// -----------------
// Every operation below may be called from any thread, and a DeviceFile may be used by two
// threads at once (the acquisition thread waits for a transfer while another thread aborts
// the pipe). The caller holds no port lock on entry; it may hold the controller's FPGA or
// SROM lock, so a backend must never call back into the controller.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/usb/DeviceChanges.h"
#include "platform/usb/Guid.h"

namespace korvix::platform {
class Event;
}

namespace korvix::platform::usb {

// Win32 error numbers used by the port. 0 is success.
enum IoError : uint32_t {
    kIoSuccess = 0,
    kIoInvalidFunction = 1,        // IOCTL code not known to the backend
    kIoFileNotFound = 2,           // path no longer names a present device
    kIoInvalidHandle = 6,          // operation on a file that cannot do it
    kIoGenFailure = 31,            // the device failed the request (stall, I/O error)
    kIoInvalidParameter = 87,      // malformed record or buffer too small
    kIoSemTimeout = 121,           // the device did not answer in the record's timeout
    kIoOperationAborted = 995,     // cancelled by abort pipe or by closing the file
    kIoIncomplete = 996,           // result queried without waiting while still pending
    kIoPending = 997,              // overlapped submit accepted; completion comes later
    kIoDeviceNotConnected = 1167,  // the device was unplugged
};

// The caller's record of one overlapped operation, the counterpart of a Win32 OVERLAPPED.
// The caller creates it with its completion event, keeps it and both buffers alive until
// the operation has completed, and reads the result through GetOverlappedResult().
class Overlapped {
  public:
    explicit Overlapped(platform::Event &completionEvent) : event_(completionEvent) {}
    Overlapped(const Overlapped &) = delete;
    Overlapped &operator=(const Overlapped &) = delete;

    // Backend side: marks the record pending before the submit returns kIoPending.
    void MarkPending();

    // Backend side: takes back MarkPending() when the submit then fails at once.
    void ClearPending();

    // Backend side: publishes error (kIoSuccess or a failure) and the byte count, then
    // signals the completion event. Called exactly once per accepted submit, from any thread.
    void Complete(uint32_t error, uint32_t bytesTransferred);

    // True while the operation has not completed. Any thread.
    bool IsPending() const;
    // Blocks until the operation is no longer pending; does not touch the completion event,
    // so it works whether or not the caller has already consumed its signal.
    void WaitUntilDone() const;
    uint32_t Error() const;             // valid once not pending
    uint32_t BytesTransferred() const;  // valid once not pending
    platform::Event &CompletionEvent() const { return event_; }

  private:
    platform::Event &event_;
    // Guards pending_, error_ and bytes_; Complete() publishes and signals the event while
    // holding it, so a caller that sees the operation done may destroy both at once.
    mutable std::mutex mutex_;
    mutable std::condition_variable done_;
    bool pending_ = false;
    uint32_t error_ = kIoSuccess;
    uint32_t bytes_ = 0;
};

// An open device path. Thread-safe (see the top of this file).
class DeviceFile {
  public:
    // Closes the file. Every overlapped operation still pending on it is cancelled and
    // completed (kIoOperationAborted, event signalled) before the destructor returns. Blocks
    // at most for the cancellation.
    virtual ~DeviceFile() = default;

    // Synchronous DeviceIoControl. Blocks until the operation is done (a control transfer at
    // most for the record's timeout; a data transfer until the device delivers or the pipe
    // is aborted). The backend may write into `in` (the driver status fields of a transfer
    // header). Returns kIoSuccess and sets *bytesReturned, or an IoError (then
    // *bytesReturned is 0). Works on plain and overlapped files.
    virtual uint32_t IoControl(uint32_t code, void *in, uint32_t inSize, void *out,
                               uint32_t outSize, uint32_t *bytesReturned) = 0;

    // Overlapped DeviceIoControl; only on files opened overlapped (else kIoInvalidHandle).
    // Never blocks for the device. Returns:
    //   kIoSuccess  the operation completed at once; overlapped.Complete() has been called
    //               (the event is signalled) and *bytesReturned holds the byte count;
    //   kIoPending  accepted; overlapped.Complete() follows from another thread;
    //   other       failed at once; the event is not signalled.
    // Both buffers and `overlapped` must stay alive until the operation completes.
    virtual uint32_t SubmitIoControl(uint32_t code, void *in, uint32_t inSize, void *out,
                                     uint32_t outSize, uint32_t *bytesReturned,
                                     Overlapped &overlapped) = 0;

    // Result of an overlapped operation. wait = false: returns kIoIncomplete while pending;
    // wait = true: blocks until completion. Then returns the operation's error (kIoSuccess
    // on success) and sets *bytesTransferred. The default implementation serves every
    // backend that completes through Overlapped::Complete().
    virtual uint32_t GetOverlappedResult(Overlapped &overlapped, uint32_t *bytesTransferred,
                                         bool wait);
};

// The device interfaces of one driver GUID.
class DriverPort {
  public:
    virtual ~DriverPort() = default;

    // Paths of the present devices of the interface GUID, in enumeration order, in the
    // shape "\\?\usb#vid_04b4&pid_3260#<instance>#{<guid>}" (vendor id at character 12,
    // product id at character 21, four lowercase hex digits each). The same device keeps
    // the same path while it stays on the same port. May block briefly for bus I/O.
    virtual std::vector<std::string> EnumerateInterfaces(const Guid &interfaceGuid) = 0;

    // Opens a path (case-insensitive), plain or overlapped. Returns nullptr when the path
    // names no present device. May block briefly. Several files may be open on one device.
    virtual std::unique_ptr<DeviceFile> Open(const std::string &path, bool overlapped) = 0;

    // Device arrival and removal (DeviceChanges.h). Registers callback for the devices this
    // port lists for kCameraInterfaceGuid; it receives their paths in that GUID's shape.
    // Returns the registration's token, or 0 when the backend cannot announce changes (the
    // callback is then never called). The callback runs on the port's delivery thread, one
    // change at a time, never under a lock of the port; it may enumerate and open, and
    // should return promptly. The port must outlive its registrations.
    virtual DeviceChangeToken RegisterDeviceChangeCallback(DeviceChangeCallback callback);
    // Ends a registration (0 and unknown tokens are ignored). Outside a callback it returns
    // only when the callback is not running and will not be called again; inside one it
    // only stops further calls.
    virtual void UnregisterDeviceChangeCallback(DeviceChangeToken token);
};

}  // namespace korvix::platform::usb
