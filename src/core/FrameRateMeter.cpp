#include "core/FrameRateMeter.h"

namespace korvix::core {

std::optional<float> FrameRateMeter::AddFrame(uint32_t nowTick) {
    if (!started_) Restart(nowTick);
    ++count_;
    uint32_t elapsed = nowTick - startTick_;
    if (elapsed < 1000) return std::nullopt;
    float rate = static_cast<float>(count_) * 1000.0f / static_cast<float>(elapsed);
    startTick_ = nowTick;
    count_ = 0;
    return rate;
}

void FrameRateMeter::Restart(uint32_t nowTick) {
    count_ = 0;
    startTick_ = nowTick;
    started_ = true;
}

}  // namespace korvix::core
