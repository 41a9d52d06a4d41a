#pragma once

#include <cstdint>
#include <optional>

namespace korvix::core {

// Counts delivered frames and yields frames per second about once a second: each call adds
// one frame; when at least 1000 ms have passed since the meter's start tick it yields
// count x 1000 / elapsed and starts over at the current tick.
//
// Thread-bound: one meter per acquisition thread (each device core owns its own, so two
// cameras streaming at once do not mix their counts).
class FrameRateMeter {
  public:
    // nowTick: a 32-bit millisecond tick (wrap-around is handled).
    std::optional<float> AddFrame(uint32_t nowTick);
    void Restart(uint32_t nowTick);

  private:
    uint32_t count_ = 0;
    uint32_t startTick_ = 0;
    bool started_ = false;
};

}  // namespace korvix::core
