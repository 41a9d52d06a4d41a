#include "core/StreamStatistics.h"

namespace korvix::core {

void StreamStatistics::HeaderReceived(uint32_t frameCounter) {
    const int64_t previous = previousCounter_.exchange(frameCounter, std::memory_order_relaxed);
    if (previous == kNoCounter) return;
    // Counted modulo 2^32, so the counter may wrap; a step of half the range or more is a
    // counter that went backwards.
    const uint32_t step = frameCounter - static_cast<uint32_t>(previous);
    if (step > 1 && step < 0x80000000u) {
        framesLost_.fetch_add(step - 1, std::memory_order_relaxed);
    }
}

void StreamStatistics::FrameDelivered(uint64_t bytes, uint64_t elapsedUs) {
    framesDelivered_.fetch_add(1, std::memory_order_relaxed);
    // Bytes per microsecond are 10^6 bytes per second.
    if (elapsedUs > 0) {
        transferRateMBps_.store(static_cast<double>(bytes) / static_cast<double>(elapsedUs),
                                std::memory_order_relaxed);
    }
}

void StreamStatistics::Reset() {
    framesDelivered_.store(0, std::memory_order_relaxed);
    framesLost_.store(0, std::memory_order_relaxed);
    transferFailures_.store(0, std::memory_order_relaxed);
    restartPulses_.store(0, std::memory_order_relaxed);
    transferRateMBps_.store(0.0, std::memory_order_relaxed);
    ForgetFrameCounter();
}

StreamCounts StreamStatistics::Read() const {
    StreamCounts counts;
    counts.framesDelivered = framesDelivered_.load(std::memory_order_relaxed);
    counts.framesLost = framesLost_.load(std::memory_order_relaxed);
    counts.transferFailures = transferFailures_.load(std::memory_order_relaxed);
    counts.restartPulses = restartPulses_.load(std::memory_order_relaxed);
    counts.transferRateMBps = transferRateMBps_.load(std::memory_order_relaxed);
    return counts;
}

}  // namespace korvix::core
