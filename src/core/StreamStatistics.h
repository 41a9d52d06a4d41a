#pragma once

#include <atomic>
#include <cstdint>

namespace korvix::core {

// What the stream statistics report at one moment.
struct StreamCounts {
    uint64_t framesDelivered = 0;   // frames put into the frame ring
    uint64_t framesLost = 0;        // gaps in the frame counter, and frames the ring dropped
    uint64_t transferFailures = 0;  // header attempts that brought no header, failed data reads
    uint64_t restartPulses = 0;     // restart pulses given to get the stream going again
    double transferRateMBps = 0.0;  // the last frame's data phase, 10^6 bytes per second
};

// The counters of one device core's frame transfers. The acquisition thread adds to them
// without a lock (each counter is one atomic; a reader may see one frame's additions in
// part); any thread may read or reset them.
//
// Frames lost are counted from the frame counter of the headers: a header whose counter is
// n beyond the previous one means n - 1 frames the camera made and the host never saw. A
// counter that goes backwards (the camera was reset) starts a new sequence, and so does
// the device core at the start of a transfer (ForgetFrameCounter).
class StreamStatistics {
  public:
    // ---- Acquisition thread ----
    void HeaderReceived(uint32_t frameCounter);
    // A frame in the ring; its data phase moved `bytes` in `elapsedUs` microseconds (a
    // phase too short to measure leaves the rate as it was).
    void FrameDelivered(uint64_t bytes, uint64_t elapsedUs);
    // A complete frame the ring could not take.
    void FrameDropped() { framesLost_.fetch_add(1, std::memory_order_relaxed); }
    void TransferFailed(uint32_t count) {
        transferFailures_.fetch_add(count, std::memory_order_relaxed);
    }
    void RestartPulsed(uint32_t count) {
        restartPulses_.fetch_add(count, std::memory_order_relaxed);
    }

    // ---- Any thread ----
    // The next header starts a new counter sequence.
    void ForgetFrameCounter() { previousCounter_.store(kNoCounter, std::memory_order_relaxed); }
    // Every counter back to 0; the next header starts a new counter sequence.
    void Reset();
    StreamCounts Read() const;

  private:
    static constexpr int64_t kNoCounter = -1;

    std::atomic<uint64_t> framesDelivered_{0};
    std::atomic<uint64_t> framesLost_{0};
    std::atomic<uint64_t> transferFailures_{0};
    std::atomic<uint64_t> restartPulses_{0};
    std::atomic<double> transferRateMBps_{0.0};
    std::atomic<int64_t> previousCounter_{kNoCounter};
};

}  // namespace korvix::core
