#include "FrameWatch.h"

#include <KorvixSdk_Tesslin.h>

#include <algorithm>

#include "Camera.h"
#include "StopRequest.h"

namespace korvix::tool {

namespace {
constexpr int kFrameCounterRegister = 0x08;
constexpr std::chrono::milliseconds kTick{100};
}  // namespace

FrameWatch::FrameWatch(const Session &session)
    : session_(session), counts_(session.Inbox().Counts()), start_(Clock::now()) {
    startFrames_ = counts_.frames;
}

bool FrameWatch::Next() {
    const uint64_t seen = counts_.frames;
    counts_ = session_.Inbox().WaitForNews(seen, kTick);
    if (counts_.frames > startFrames_ && !haveFirst_) {
        haveFirst_ = true;
        firstFrame_ = Clock::now();
    }
    if (counts_.frames > seen) CountLost();
    return !StopRequested();
}

// The counter counts every frame the camera made; what it gained beyond the frames that
// arrived were lost on the way. One frame may be made and not yet announced at the moment
// of the read, so a difference of one is not counted.
void FrameWatch::CountLost() {
    if (!counterReadable_) return;
    int ok = 1;
    const int counter = Korvix_Fpga_ReadRegister(session_.Handle(), kFrameCounterRegister, &ok);
    if (!ok) {
        counterReadable_ = false;
        while (Korvix_GetLastError(session_.Handle()) != 0) {
        }
        return;
    }
    if (lastCounter_ < 0) {
        deliveredAtFirst_ = counts_.frames;
    } else {
        produced_ += static_cast<uint64_t>((counter - lastCounter_) & 0xFF);
    }
    lastCounter_ = counter;
    const uint64_t delivered = counts_.frames - deliveredAtFirst_;
    if (produced_ > delivered + 1) lost_ = std::max(lost_, produced_ - delivered - 1);
}

double FrameWatch::Seconds() const {
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

double FrameWatch::SecondsSinceFirstFrame() const {
    return haveFirst_ ? std::chrono::duration<double>(Clock::now() - firstFrame_).count() : 0.0;
}

double FrameWatch::Rate() const {
    const double seconds = SecondsSinceFirstFrame();
    return seconds > 0 && Frames() > 1 ? static_cast<double>(Frames() - 1) / seconds : 0.0;
}

}  // namespace korvix::tool
