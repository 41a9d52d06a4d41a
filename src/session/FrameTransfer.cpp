#include "session/FrameTransfer.h"

#include <cstring>

namespace korvix {

void SpreadRowsToPitch(imaging::FrameImage &image) {
    const size_t packedRow = static_cast<size_t>(image.Width()) * image.BytesPerPixel();
    const auto pitch = static_cast<size_t>(image.Pitch());
    if (image.IsEmpty() || packedRow == pitch) return;
    uint8_t *pixels = image.Bits();
    for (int32_t row = image.Height() - 1; row > 0; --row) {
        const auto index = static_cast<size_t>(row);
        // A row and its padded place overlap when the padding is narrower than a row.
        std::memmove(pixels + index * pitch, pixels + index * packedRow, packedRow);
    }
}

void FrameRateCounter::Restart(uint32_t nowMs) {
    count_ = 0;
    windowStartMs_ = nowMs;
    rate10_.store(0, std::memory_order_relaxed);
}

int32_t FrameRateCounter::Count(uint32_t nowMs) {
    ++count_;
    const uint32_t elapsed = nowMs - windowStartMs_;  // wraps with the tick count
    if (elapsed > kWindowMs) {
        const auto rate = static_cast<int32_t>(int64_t{count_} * 10000 / elapsed);
        rate10_.store(rate, std::memory_order_relaxed);
        count_ = 0;
        windowStartMs_ = nowMs;
    }
    return rate10_.load(std::memory_order_relaxed);
}

}  // namespace korvix
