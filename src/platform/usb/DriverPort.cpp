#include "platform/usb/DriverPort.h"

#include "platform/Event.h"

namespace korvix::platform::usb {

void Overlapped::MarkPending() {
    std::lock_guard lock(mutex_);
    pending_ = true;
}

void Overlapped::ClearPending() {
    std::lock_guard lock(mutex_);
    pending_ = false;
}

void Overlapped::Complete(uint32_t error, uint32_t bytesTransferred) {
    // Everything happens under the lock: a caller that sees the operation done (through
    // WaitUntilDone or the event) may destroy this record and its event at once.
    std::lock_guard lock(mutex_);
    error_ = error;
    bytes_ = error == kIoSuccess ? bytesTransferred : 0;
    pending_ = false;
    done_.notify_all();
    event_.Set();
}

bool Overlapped::IsPending() const {
    std::lock_guard lock(mutex_);
    return pending_;
}

void Overlapped::WaitUntilDone() const {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return !pending_; });
}

uint32_t Overlapped::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

uint32_t Overlapped::BytesTransferred() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

uint32_t DeviceFile::GetOverlappedResult(Overlapped &overlapped, uint32_t *bytesTransferred,
                                         bool wait) {
    if (overlapped.IsPending()) {
        if (!wait) return kIoIncomplete;
        overlapped.WaitUntilDone();
    }
    if (bytesTransferred != nullptr) *bytesTransferred = overlapped.BytesTransferred();
    return overlapped.Error();
}

// A backend that cannot tell when devices come and go announces nothing.
DeviceChangeToken DriverPort::RegisterDeviceChangeCallback(DeviceChangeCallback) {
    return 0;
}

void DriverPort::UnregisterDeviceChangeCallback(DeviceChangeToken) {}

}  // namespace korvix::platform::usb
