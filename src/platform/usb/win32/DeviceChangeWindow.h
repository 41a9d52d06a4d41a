#pragma once

// Device arrival and removal as Windows announces them: a hidden message-only window,
// registered with RegisterDeviceNotificationA for the device interfaces of one GUID, on a
// thread of its own that runs the window's message loop. Each WM_DEVICECHANGE arrival or
// removal of an interface of that GUID is posted to a DeviceChangeNotifier, which calls the
// callbacks on its own delivery thread (so none runs on the window's thread).

#include <memory>

#include "platform/usb/DeviceChanges.h"
#include "platform/usb/Guid.h"

namespace korvix::platform::usb::win32 {

// The window class of the hidden windows (one per window, all of this class).
inline constexpr char kDeviceChangeWindowClass[] = "KorvixDeviceChangeWindow";

// Thread-compatible: made and destroyed on one thread; the notifier must outlive it.
class DeviceChangeWindow {
  public:
    // Starts the window's thread and returns once the window exists and is registered for
    // notifications, or has failed to (Started() then says false and the thread has ended).
    DeviceChangeWindow(DeviceChangeNotifier &notifier, const Guid &interfaceGuid);
    // Ends the registration, destroys the window and joins its thread: nothing is posted
    // to the notifier afterwards.
    ~DeviceChangeWindow();
    DeviceChangeWindow(const DeviceChangeWindow &) = delete;
    DeviceChangeWindow &operator=(const DeviceChangeWindow &) = delete;

    bool Started() const;

  private:
    struct Thread;
    std::unique_ptr<Thread> thread_;
};

}  // namespace korvix::platform::usb::win32
