#pragma once

// Bulk reads of simulated cameras that could not complete when they were submitted. A worker
// thread retries them when their camera reports a change (arm, trigger, abort, unplug) or
// when a frame falls due, and completes them through the caller's Overlapped. Abort pipe and
// closing a file fail them with kIoOperationAborted; an unplugged camera fails them with
// kIoDeviceNotConnected.
//
// Time: a frame due at a later time is waited for on the platform clock. On a ManualClock,
// where no other thread moves time, the wait advances the clock to the frame's time (the
// frame "arrives" as if the time had passed), so simulated acquisition runs without wall
// time.
//
// Threads: thread-safe. Lock order: a camera's lock may be held while its listener takes
// mutex_; mutex_ is never held while calling into a camera.

#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/WorkerThread.h"
#include "platform/usb/DriverPort.h"
#include "platform/usb/DriverRecords.h"
#include "sim/SimulatedCamera.h"

namespace korvix::sim {

class PendingTransfers {
  public:
    PendingTransfers() = default;
    // Stops the worker and fails every transfer still pending.
    ~PendingTransfers();
    PendingTransfers(const PendingTransfers &) = delete;
    PendingTransfers &operator=(const PendingTransfers &) = delete;

    // Attempts a bulk read once (on a ManualClock: until the due frame has arrived). Returns
    // kIoSuccess with the request completed through overlapped, an error with nothing
    // completed, or kIoPending after taking the read over.
    uint32_t Submit(std::shared_ptr<SimulatedCamera> camera, uint32_t plugGeneration,
                    const void *file, const platform::usb::DecodedRequest &request,
                    platform::usb::Overlapped &overlapped, uint32_t *bytesReturned);

    // Fails the pending reads of camera on endpoint (all files), or of one file (all
    // endpoints), waiting for a read that is being attempted right now.
    void AbortEndpoint(const SimulatedCamera *camera, uint8_t endpoint);
    void AbortFile(const void *file);

  private:
    struct Transfer {
        std::shared_ptr<SimulatedCamera> camera;
        uint32_t plugGeneration;
        const void *file;
        platform::usb::DecodedRequest request;
        platform::usb::Overlapped *overlapped;
        bool attempting = false;
    };
    // One read attempt: the error to complete with, or nullopt (still pending, with the due
    // time of a frame in *retryAtMs when known).
    struct Attempt {
        std::optional<uint32_t> error;
        uint32_t bytes = 0;
        std::optional<uint64_t> retryAtMs;
    };
    static Attempt TryRead(SimulatedCamera &camera, uint32_t plugGeneration,
                           const platform::usb::DecodedRequest &request);
    static void Finish(Transfer &transfer, uint32_t error, uint32_t bytes);

    template <typename Match>
    void AbortMatching(Match match);
    void Run();
    void Poke();
    void ListenTo(const std::shared_ptr<SimulatedCamera> &camera);

    std::mutex mutex_;                   // guards everything below
    std::condition_variable changed_;    // a camera changed, a transfer came, or stop
    std::condition_variable attempted_;  // an attempt finished
    std::list<Transfer> transfers_;
    std::map<SimulatedCamera *, std::pair<std::shared_ptr<SimulatedCamera>, uint64_t>> listening_;
    bool poked_ = false;
    bool stop_ = false;
    platform::WorkerThread worker_;  // started with the first pending transfer
};

}  // namespace korvix::sim
