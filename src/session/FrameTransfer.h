#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/FrameImage.h"

namespace korvix {

// Moves the rows of a frame that arrived packed (width x bytes per pixel each, no gaps)
// at the start of `image`'s pixels to their padded positions, in place, from the last row
// to the first so that no row is overwritten before it has moved.
void SpreadRowsToPitch(imaging::FrameImage &image);

// The preview's frame rate in tenths of a frame per second. Frames are counted in windows
// of more than 1000 ms; at the end of each the rate becomes count x 10000 / elapsed ms
// (truncated) and a new window starts.
//
// Count and Restart are called by one thread at a time (the worker, or the application
// before the worker starts); Rate10 may be read from any thread.
class FrameRateCounter {
public:
    static constexpr uint32_t kWindowMs = 1000;

    void Restart(uint32_t nowMs);
    // Counts one frame at nowMs and returns the latest rate (0 until a window has ended).
    int32_t Count(uint32_t nowMs);
    int32_t Rate10() const { return rate10_.load(std::memory_order_relaxed); }

private:
    int32_t count_ = 0;
    uint32_t windowStartMs_ = 0;
    std::atomic<int32_t> rate10_{0};
};

}  // namespace korvix
