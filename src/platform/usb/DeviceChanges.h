#pragma once

// Device arrival and removal as a driver port announces them, and the registry of callbacks
// that each backend uses to deliver them.
//
// A backend learns of a change on a thread of its own (the simulator on the thread that
// plugged or unplugged a camera, libusb on its event thread) and posts it here; one
// delivery thread per port calls the registered callbacks, in the order the changes were
// posted. So a callback never runs on a backend's event thread or under a backend lock, and
// may call the port (enumerate, open) or post messages.
//
// Threads: every member may be called from any thread. Unregister waits until no call of
// that callback runs, unless it is called from inside a callback, where it only stops
// further calls (waiting would wait for itself).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace korvix::platform::usb {

enum class DeviceChange { Arrival, Removal };

// path: the device path as EnumerateInterfaces() gives it (for the camera interface GUID).
using DeviceChangeCallback = std::function<void(DeviceChange change, const std::string &path)>;

// Token of a registration; 0 is never a valid token.
using DeviceChangeToken = uint64_t;

class DeviceChangeNotifier {
  public:
    DeviceChangeNotifier() = default;
    // Stops the delivery thread, waiting for a callback that runs; changes not delivered yet
    // are dropped. Not to be called from inside a callback.
    ~DeviceChangeNotifier();
    DeviceChangeNotifier(const DeviceChangeNotifier &) = delete;
    DeviceChangeNotifier &operator=(const DeviceChangeNotifier &) = delete;

    DeviceChangeToken Register(DeviceChangeCallback callback);
    // After it returns (outside a callback), the callback is not running and is never
    // called again. Unknown tokens are ignored.
    void Unregister(DeviceChangeToken token);
    // Queues a change for the callbacks registered when it is delivered; never waits for a
    // callback. Dropped when no callback is registered.
    void Post(DeviceChange change, const std::string &path);

  private:
    struct Pending {
        DeviceChange change;
        std::string path;
    };
    void Deliver();

    std::mutex mutex_;  // guards everything below
    std::condition_variable changed_;
    std::map<DeviceChangeToken, std::shared_ptr<DeviceChangeCallback>> callbacks_;
    std::deque<Pending> queue_;
    DeviceChangeToken nextToken_ = 1;
    DeviceChangeToken running_ = 0;  // the token whose callback runs now, 0 for none
    bool stop_ = false;
    std::thread delivery_;  // started with the first registration
};

}  // namespace korvix::platform::usb
