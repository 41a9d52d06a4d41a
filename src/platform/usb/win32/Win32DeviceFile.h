#pragma once

// A DeviceFile over a Win32 file handle: every request goes to DeviceIoControl with the
// caller's IOCTL code and buffers exactly as given, so the kernel driver sees the records
// the controller built, byte for byte. Errors are the Win32 error numbers the calls leave
// behind (see IoError in DriverPort.h).

#include <memory>

#include "platform/usb/DriverPort.h"

namespace korvix::platform::usb::win32 {

// Takes ownership of `handle` (a Win32 HANDLE opened with FILE_FLAG_OVERLAPPED when
// `overlapped` is true) and closes it when the file is destroyed. Overlapped requests
// complete on the system's thread pool, which publishes the result with
// Overlapped::Complete(). Returns nullptr when `handle` is null or INVALID_HANDLE_VALUE.
std::unique_ptr<DeviceFile> AdoptFileHandle(void *handle, bool overlapped);

}  // namespace korvix::platform::usb::win32
