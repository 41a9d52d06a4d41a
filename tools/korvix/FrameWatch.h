#pragma once

#include <chrono>
#include <cstdint>

#include "MessageInbox.h"

namespace korvix::tool {

class Session;

// Follows a running acquisition from the main thread: the frames the library announced
// (WM_CAMERA_FRAME to MessageInbox::FrameWindow), the failed reads, and the frames the
// camera produced that never arrived, from the camera's 8-bit frame counter (FPGA register
// 0x08) read as frames come in.
class FrameWatch {
public:
    explicit FrameWatch(const Session &session);

    // Waits for the next frame, at most a tenth of a second, and takes stock. Returns false
    // once Ctrl-C asked to stop.
    bool Next();

    uint64_t Frames() const { return counts_.frames - startFrames_; }
    uint64_t FailedReads() const { return counts_.failedReads; }
    uint64_t Lost() const { return lost_; }
    bool DeviceLost() const { return counts_.deviceLost > 0; }
    // Seconds since the watch began, and since the first frame arrived (0 before it).
    double Seconds() const;
    double SecondsSinceFirstFrame() const;
    // Frames per second since the first frame.
    double Rate() const;

private:
    using Clock = std::chrono::steady_clock;
    void CountLost();

    const Session &session_;
    FrameCounts counts_;
    uint64_t startFrames_ = 0;
    Clock::time_point start_;
    Clock::time_point firstFrame_{};
    bool haveFirst_ = false;
    // Frame counter bookkeeping: the counter at the first frame, frames produced since.
    bool counterReadable_ = true;
    int lastCounter_ = -1;
    uint64_t produced_ = 0;
    uint64_t deliveredAtFirst_ = 0;
    uint64_t lost_ = 0;
};

}  // namespace korvix::tool
