#pragma once

// One simulated camera served at the kernel's USB interface: the usbfs ioctls that libusb
// sends to /dev/bus/usb/BBB/DDD, answered from the transport-free camera model by a
// umockdev ioctl handler.
//
// URBs complete asynchronously as they do in the kernel: SUBMITURB queues the URB and
// returns; control and bulk OUT URBs complete at once, a bulk IN URB when the camera has
// data (retried whenever the camera reports a change or a frame falls due); DISCARDURB
// completes a pending URB with -ENOENT. REAPURBNDELAY hands back a completed URB of the
// same file. A usbfs file is always writable, but the emulated file is a socket whose
// readiness cannot be controlled, so libusb's event loop polls again at once: a reap that
// finds nothing waits up to kIdleReapMs for a completion before it answers EAGAIN, which
// keeps that loop from spinning. After Remove(), pending URBs complete with -ESHUTDOWN,
// and every other call (and a reap once nothing is left) fails with ENODEV.
//
// Threads: umockdev calls the handler on its own worker thread; a thread of this object
// retries pending reads and answers waiting reaps. The camera is never called under this
// object's lock, since the camera calls back (its change listener) under its own.

#include <umockdev.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "sim/SimulatedCamera.h"

namespace korvix::test {

class UsbfsDevice {
  public:
    static constexpr std::chrono::microseconds kIdleReapMs{250};

    explicit UsbfsDevice(std::shared_ptr<sim::SimulatedCamera> camera);
    // Call only after the handler was detached from the testbed.
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice &) = delete;
    UsbfsDevice &operator=(const UsbfsDevice &) = delete;

    UMockdevIoctlBase *Handler() const { return handler_; }
    sim::SimulatedCamera &Camera() const { return *camera_; }

    // The device leaves the bus.
    void Remove();

    // Count of URBs submitted to an endpoint so far (0 = control).
    uint32_t SubmittedUrbs(uint8_t endpoint) const;

  private:
    struct Urb {
        UMockdevIoctlClient *client = nullptr;  // the file that submitted it (owned ref)
        UMockdevIoctlData *urb = nullptr;       // struct usbdevfs_urb (owned ref)
        UMockdevIoctlData *buffer = nullptr;    // its data buffer (owned ref)
        bool attempting = false;                // a bulk read into it runs now
        std::optional<int> discardStatus;       // completes with this once the read ends
        std::optional<uint64_t> retryAtMs;      // a frame is due then
    };
    struct Reaper {
        UMockdevIoctlClient *client = nullptr;  // owned ref; blocked in its reap ioctl
        UMockdevIoctlData *arg = nullptr;       // owned ref
        std::chrono::steady_clock::time_point giveUpAt;
        bool waitsForever = false;  // REAPURB, not REAPURBNDELAY
    };
    struct Reply {
        long result = 0;
        int error = 0;
    };

    static gboolean OnIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);
    static void OnClientVanished(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);

    Reply Perform(UMockdevIoctlClient *client, unsigned long request, UMockdevIoctlData *arg);
    Reply Submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    Reply Discard(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    Reply Claim(UMockdevIoctlClient *client, unsigned interface, bool claim);
    void Reap(UMockdevIoctlClient *client, UMockdevIoctlData *arg, bool waitsForever);

    // Runs the URB on the camera: true when it completed (status and length written).
    bool Transfer(Urb &urb, uint64_t nowMs);
    // With mutex_ held: moves a URB to the completed list and hands it to a waiting reaper.
    void CompleteLocked(std::list<Urb>::iterator urb, int status);
    void AnswerReaperLocked(std::list<Reaper>::iterator reaper, std::list<Urb>::iterator urb);
    void AnswerIdleReapersLocked(bool all);
    void Run();
    void Poke();
    static void Release(Urb &urb);

    const std::shared_ptr<sim::SimulatedCamera> camera_;
    UMockdevIoctlBase *handler_ = nullptr;
    uint64_t listener_ = 0;

    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable changed_;
    std::list<Urb> pending_;    // bulk IN URBs waiting for the camera
    std::list<Urb> completed_;  // reapable, oldest first
    std::list<Reaper> reapers_;
    std::map<unsigned, UMockdevIoctlClient *> claims_;  // interface -> file
    std::map<uint8_t, uint32_t> submitted_;
    bool removed_ = false;
    bool poked_ = true;            // pending reads are to be retried
    bool reapersChanged_ = false;  // a reaper came or went
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace korvix::test
