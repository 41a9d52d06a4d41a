// The acquisition workers. Each frame goes, top to bottom in one place: wait, read into the
// raw image, lay out, process, draw, copy into the application's buffer, announce.

#include <algorithm>

#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/Clock.h"
#include "session/Korvix.h"
#include "session/pipeline/FramePipeline.h"

namespace korvix {
namespace {

constexpr uint32_t kPreviewFrameWaitMs = 3000;
constexpr uint32_t kTriggerFrameWaitMs = 60000;
constexpr uint32_t kPausedPollMs = 10;
constexpr int kTransferTriggered = 2;
// A frame wait is cut into slices this long, so a stop is seen within one slice.
constexpr uint32_t kWaitSliceMs = 50;
// The sensor reads its window's top edge from the other end for these orientations; the
// core's copy turns the frame upright when asked with this flag.
constexpr int kUprightOrientation = 1;

}  // namespace

void CKorvix::RunWorker() {
    if (mode_.load() == 3) {
        TriggerWorker();
    } else {
        PreviewWorker();
    }
}

int CKorvix::WaitForFrame(uint32_t ms, bool endWhenStopped) {
    const uint32_t start = platform::TickCount();
    for (;;) {
        const uint32_t elapsed = platform::TickCount() - start;
        if (elapsed >= ms) return 2;
        const int result = core_->WaitFrame(std::min(kWaitSliceMs, ms - elapsed));
        if (result != 2) return result;
        if (endWhenStopped && runFlag_.load() == 0) return 2;
    }
}

bool CKorvix::ReceiveFrame(int colorIndex) {
    imaging::FrameImage *raw = images_.RawImageOf(colorIndex);
    if (raw == nullptr || raw->IsEmpty()) return false;
    // A frame of another geometry (the window changed since) is no frame of this image; the
    // read never copies more than the packed image holds.
    const int64_t packedBytes = int64_t{raw->Width()} * raw->Height() * raw->BytesPerPixel();
    if (packedBytes <= 0 || packedBytes > UINT32_MAX) return false;
    core::FrameLayout layout;
    if (core_->GetFrame(raw->Bits(), static_cast<uint32_t>(packedBytes), kUprightOrientation,
                        &layout) != 1 ||
        layout.width != raw->Width() || layout.height != raw->Height() ||
        layout.bytesPerSample != raw->BytesPerPixel()) {
        return false;
    }
    SpreadRowsToPitch(*raw);
    return true;
}

KorvixFrameInfo CKorvix::MakeFrameInfo(int colorIndex, uint8_t *userBuffer, int32_t rate10) const {
    const imaging::FrameImage *raw = images_.RawImageOf(colorIndex);
    KorvixFrameInfo info{};
    info.width = raw->Width();
    info.height = raw->Height();
    info.bitCount = BitsOfColorIndex(colorIndex);
    info.frameRate10 = rate10;
    info.userBuffer = userBuffer;
    return info;
}

void CKorvix::DrawPreview(int colorIndex) {
    session::PreviewSources sources{*images_.rawImage8,  *images_.rawImage16, *images_.rgbImage24,
                                    *images_.rgbImage32, *images_.rgbImage48, *images_.rgbImage64};
    preview_.DrawFrame(sources, colorIndex);
}

bool CKorvix::CopyToCallback(int colorIndex, KorvixWindow frameWindow) {
    if (callback_.userBuffer == nullptr || callback_.userBufferSize == 0) return true;
    // The frame message is posted, so the application's handler of the previous frame may
    // still be reading the buffer (or not have started). Writing the next frame under it
    // would hand the handler a picture torn between two frames; instead this frame is left
    // out for the application: it is still drawn and kept for GetImage, but neither copied
    // nor announced. The next frame after the handler has returned is delivered again.
    if (frameMessages_.FramePending()) return false;
    return CopyToCaller(*images_.OutputImageOf(colorIndex), callback_.userBuffer,
                        callback_.userBufferSize, callback_.rowOrder, frameWindow);
}

void CKorvix::PreviewWorker() {
    const int colorIndex = settings_.Entries().colorIndex;
    // The pause before each wait bounds the preview rate: a frame is taken at most every
    // waitTime ms. It counts from the moment the previous frame was taken rather than from
    // the end of its processing, so a camera slower than that bound keeps its full rate as
    // long as a frame's processing takes less than one frame period (with the pause after
    // the processing, a 71 fps camera lost frames once a frame took more than 4 ms).
    uint32_t lastFrameTick = platform::TickCount();
    while (runFlag_.load() != 0) {
        const auto waitTime = static_cast<uint32_t>(settings_.Entries().waitTime);
        const uint32_t sinceFrame = platform::TickCount() - lastFrameTick;
        if (sinceFrame < waitTime) platform::SleepMs(waitTime - sinceFrame);
        if (runFlag_.load() != 1) {
            platform::SleepMs(kPausedPollMs);
            continue;
        }
        const int waited = WaitForFrame(kPreviewFrameWaitMs, true);
        if (waited == 1) {
            runFlag_ = 0;
            KorvixWindow frameWindow = nullptr;
            {
                platform::CriticalSectionLock frames(frameLock);
                frameWindow = callback_.frameWindow;
            }
            // Recorded before it is announced, so a handler that asks finds the reason.
            PushError(CAMERR_DEVICE_LOST);
            if (frameWindow != nullptr) frameMessages_.PostFailure(frameWindow, CAMERR_DEVICE_LOST);
            return;
        }
        if (waited != 3) continue;
        lastFrameTick = platform::TickCount();

        KorvixWindow frameWindow = nullptr;
        KorvixFrameInfo info{};
        {
            platform::CriticalSectionLock frames(frameLock);
            frameWindow = callback_.frameWindow;
            if (!ReceiveFrame(colorIndex)) {
                PushError(CAMERR_FRAME);
                if (frameWindow != nullptr) frameMessages_.PostFailure(frameWindow, CAMERR_FRAME);
                continue;
            }
            info = MakeFrameInfo(colorIndex, callback_.userBuffer,
                                 frameRate_.Count(platform::TickCount()));
            ShowInOpenDialogs(
        pipeline::ProcessFrame(images_, settings_, core_.get(), colorIndex, MaskSwitches()));
            newFrame_ = 1;
            haveFrame_ = 1;
            DrawPreview(colorIndex);
            if (!CopyToCallback(colorIndex, frameWindow)) continue;
        }
        if (runFlag_.load() == 1 && frameWindow != nullptr) frameMessages_.PostFrame(frameWindow, info);
    }
}

void CKorvix::TriggerWorker() {
    const int colorIndex = settings_.Entries().colorIndex;
    // Give the first exposure time to end before the trigger state is read.
    platform::SleepMs(static_cast<uint32_t>(settings_.Camera().exposure / 10 + 100));
    core_->ResyncFrameCounter();
    while (runFlag_.load() != 0) {
        if (runFlag_.load() != 1) {
            platform::SleepMs(kPausedPollMs);
            continue;
        }
        {
            platform::CriticalSectionLock transfer(transferLock_);
            if (runFlag_.load() == 0) return;
            if (runFlag_.load() != 1) continue;
            if (!core_->StartTransfer(kTransferTriggered)) return;
        }
        const int waited = WaitForFrame(kTriggerFrameWaitMs, true);
        if (runFlag_.load() == 0) return;
        if (waited != 3) continue;

        platform::CriticalSectionLock frames(frameLock);
        const KorvixWindow frameWindow = callback_.frameWindow;
        // Processing the previous raw frame again would apply the in-place steps twice.
        if (!ReceiveFrame(colorIndex)) {
            PushError(CAMERR_FRAME);
            if (frameWindow != nullptr) frameMessages_.PostFailure(frameWindow, CAMERR_FRAME);
            continue;
        }
        const KorvixFrameInfo info = MakeFrameInfo(colorIndex, callback_.userBuffer, 0);
        ShowInOpenDialogs(
        pipeline::ProcessFrame(images_, settings_, core_.get(), colorIndex, MaskSwitches()));
        haveFrame_ = 1;
        if (!CopyToCallback(colorIndex, frameWindow)) continue;
        if (frameWindow != nullptr) frameMessages_.PostFrame(frameWindow, info);
        DrawPreview(colorIndex);
    }
}

}  // namespace korvix
