#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "MessageInbox.h"
#include "SimulatedCameras.h"

namespace korvix::test {
namespace {

// Tags of the inbox windows (MessageInbox::Window) frames and codes go to.
constexpr uintptr_t kFrameTag = 0x5100;
constexpr uintptr_t kNotifyTag = 0x5101;
KorvixWindow const kFrameWindow = reinterpret_cast<KorvixWindow>(kFrameTag);

class SystemSessionAcquisition : public SimulatedCamerasTest {
  protected:
    // One camera, selected, without a preview window, in 8-bit mode; its session posts its
    // codes to `notifyWindow`.
    int OpenCamera(const std::string &list = "imx990:scene=ramp", KorvixWindow notifyWindow = nullptr) {
        UseCameras(list);
        const int handle = NewHandle(notifyWindow);
        EXPECT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
        EXPECT_EQ(Korvix_SetColorMode(handle, 8), 1);
        return handle;
    }

    // Every frame message delivered before this returns has been recorded: the unsupported
    // function posts a message behind them (to the session's window, the inbox's
    // kNotifyTag window), and the inbox waits for it.
    static std::vector<MessageInbox::Message> Settled(int handle, MessageInbox &inbox) {
        const size_t before = MessageInbox::Count(inbox.Messages(), WM_CAMERA_ERROR, CAMERR_NOT_SUPPORTED);
        Korvix_Fps(handle);
        return inbox.WaitFor(WM_CAMERA_ERROR, CAMERR_NOT_SUPPORTED, before + 1);
    }

    // Waits (bounded) until the camera's register log shows a read of FPGA register `reg`.
    static bool WaitForFpgaRead(uint8_t reg) {
        for (int attempt = 0; attempt < 2000; ++attempt) {
            for (const sim::LogEntry &entry : Camera().Log()) {
                if (entry.target == sim::LogTarget::Fpga && entry.access == sim::LogAccess::Read &&
                    entry.address == reg) {
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(1280 * 1024 * 2);
};

TEST_F(SystemSessionAcquisition, NoCameraMakesCaptureFailWithOpen) {
    UseCameras("");
    const int handle = NewHandle();
    EXPECT_EQ(Korvix_Capture(handle), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_OPEN});
}

TEST_F(SystemSessionAcquisition, ModesRefuseWhatTheyDoNotAllow) {
    const int handle = OpenCamera();
    const int size = static_cast<int>(buffer_.size());
    EXPECT_EQ(Korvix_Capture(handle), 1);
    EXPECT_EQ(Korvix_Capture(handle), 1);  // already capturing
    EXPECT_EQ(Korvix_SnapShot(handle, buffer_.data(), size, 1), 1);
    EXPECT_EQ(Korvix_SnapShot(handle, buffer_.data(), size, 1), 1);
    EXPECT_EQ(Korvix_StartPreview(handle), 0);
    EXPECT_EQ(Korvix_Trigger(handle, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(Errors(handle), (std::vector<int>{CAMERR_NOT_READY, CAMERR_NOT_READY}));

    EXPECT_EQ(Korvix_StopPreview(handle), 1);
    EXPECT_EQ(Korvix_StartPreview(handle), 1);
    EXPECT_EQ(Korvix_StartPreview(handle), 1);  // already previewing
    EXPECT_EQ(Korvix_SnapShot(handle, buffer_.data(), size, 1), 0);
    EXPECT_EQ(Korvix_Capture(handle), 0);
    EXPECT_EQ(Korvix_SetDeviceNumber(handle, 0), 0);
    EXPECT_EQ(Errors(handle), (std::vector<int>{CAMERR_NOT_READY, CAMERR_NOT_READY, CAMERR_NOT_READY}));
    EXPECT_EQ(Korvix_StopPreview(handle), 1);
    EXPECT_EQ(Korvix_Close(handle), 1);
}

TEST_F(SystemSessionAcquisition, CaptureWindowChangesWaitUntilTheWorkerHasStopped) {
    const int handle = OpenCamera();
    ASSERT_EQ(Korvix_StartPreview(handle), 1);
    EXPECT_EQ(Korvix_SetCaptureWindowEx(handle, 1280, 0, 640, 1024, 0, 512), 0);
    EXPECT_EQ(Korvix_SetCaptureWindow(handle, 1280, 1024), 0);
    EXPECT_EQ(Errors(handle), (std::vector<int>{CAMERR_NOT_READY, CAMERR_NOT_READY}));
    int width = 0, height = 0;
    EXPECT_EQ(Korvix_GetCaptureWindowEx(handle, nullptr, nullptr, &width, nullptr, nullptr, &height), 1);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 1024);
    ASSERT_EQ(Korvix_StopPreview(handle), 1);

    // This sensor's width is fixed; its height is free.
    EXPECT_EQ(Korvix_SetCaptureWindowEx(handle, 1280, 0, 640, 1024, 0, 512), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_PARAMETER);
    EXPECT_EQ(Korvix_SetCaptureWindowEx(handle, 1280, 0, 1280, 1024, 0, 512), 1);
    EXPECT_EQ(Korvix_Width(handle), 1280);
    EXPECT_EQ(Korvix_Height(handle), 512);
    // Outside the sensor: stored, reported, and refused by the next preparation.
    EXPECT_EQ(Korvix_SetCaptureWindowEx(handle, 1280, 0, 1280, 1024, 700, 512), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_CAPTURE_WINDOW);
    int start = 0;
    EXPECT_EQ(Korvix_GetCaptureWindowEx(handle, nullptr, nullptr, nullptr, nullptr, &start, nullptr), 1);
    EXPECT_EQ(start, 700);
    EXPECT_EQ(Korvix_Capture(handle), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_CAPTURE_WINDOW);
}

TEST_F(SystemSessionAcquisition, SnapshotIntoAShortBufferCanBeFetchedAfterwards) {
    const int handle = OpenCamera();
    const int bytes = 1280 * 1024;
    std::vector<uint8_t> snapshot(bytes, 0xEE);
    EXPECT_EQ(Korvix_SnapShot(handle, snapshot.data(), bytes - 1, 1), 0);
    EXPECT_EQ(Errors(handle), (std::vector<int>{CAMERR_MEMORY, CAMERR_MEMORY}));
    EXPECT_EQ(snapshot[0], 0xEE);  // nothing written

    ASSERT_EQ(Korvix_GetImage(handle, snapshot.data(), bytes, 1), 1);
    // The ramp rises from the left payload column to the right; the camera's sensor is
    // mounted turned by 180 degrees, so the picture falls from left to right.
    EXPECT_EQ(snapshot[0], 4095 >> 4);
    EXPECT_EQ(snapshot[1279], 0);
    EXPECT_EQ(Korvix_GetImage(handle, snapshot.data(), bytes - 1, 1), 0);
    EXPECT_EQ(Errors(handle), (std::vector<int>{CAMERR_MEMORY, CAMERR_MEMORY}));
    EXPECT_EQ(Korvix_GetImage(handle, nullptr, bytes, 1), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_MEMORY});
}

TEST_F(SystemSessionAcquisition, CallbackPreviewAnnouncesFramesAndNothingAfterStop) {
    MessageInbox inbox;
    const int handle = OpenCamera("imx990:scene=ramp", inbox.Window(kNotifyTag));
    const int size = static_cast<int>(buffer_.size());
    ASSERT_EQ(Korvix_CallBackPreview(handle, inbox.Window(kFrameTag), buffer_.data(), size, 1), 1);
    const auto frames = inbox.WaitFor(WM_CAMERA_FRAME, 0, 5);
    ASSERT_GE(MessageInbox::Count(frames, WM_CAMERA_FRAME, 0), 5u);
    for (const auto &m : frames) {
        if (m.message != WM_CAMERA_FRAME) continue;
        EXPECT_EQ(m.window, inbox.Window(kFrameTag));
        EXPECT_EQ(m.info.reserved, 0);
        EXPECT_EQ(m.info.width, 1280);
        EXPECT_EQ(m.info.height, 1024);
        EXPECT_EQ(m.info.bitCount, 8);
        EXPECT_EQ(m.info.userBuffer, buffer_.data());
    }
    EXPECT_EQ(buffer_[0], 4095 >> 4);

    ASSERT_EQ(Korvix_StopPreview(handle), 1);
    const size_t atStop = MessageInbox::Count(inbox.Messages(), WM_CAMERA_FRAME, 0);
    EXPECT_EQ(MessageInbox::Count(Settled(handle, inbox), WM_CAMERA_FRAME, 0), atStop);
    EXPECT_EQ(Errors(handle), std::vector<int>{});
}

TEST_F(SystemSessionAcquisition, CallbackBufferOneByteShortFailsOncePerFrameAtMost) {
    MessageInbox inbox;
    const int handle = OpenCamera("imx990:scene=ramp", inbox.Window(kNotifyTag));
    const int oneByteShort = 1280 * 1024 - 1;
    // Frames far apart (200 ms of exposure each): a worker failing the same frame again and
    // again would post many failures per frame even when its processing is slow.
    ASSERT_EQ(Korvix_SetExposureTime(handle, 2000), 1);
    const uint32_t madeBefore = Camera().FrameCounter(sim::Simulator::NowMs());
    ASSERT_EQ(Korvix_CallBackPreview(handle, inbox.Window(kFrameTag), buffer_.data(), oneByteShort, 1), 1);
    inbox.WaitFor(WM_CAMERA_FRAME, 5, 3);
    ASSERT_EQ(Korvix_StopPreview(handle), 1);
    const auto messages = Settled(handle, inbox);
    const uint32_t made = Camera().FrameCounter(sim::Simulator::NowMs()) - madeBefore;
    // A failed copy still uses up its frame: the worker waits for the next one rather than
    // failing the same frame again and again. The camera may also hand out the one frame it
    // held, not yet delivered, when the preview started.
    const size_t failures = MessageInbox::Count(messages, WM_CAMERA_FRAME, 5);
    EXPECT_GE(failures, 3u);
    EXPECT_LE(failures, made + size_t{1}) << "frames made: " << made;
    EXPECT_EQ(MessageInbox::Count(messages, WM_CAMERA_FRAME, 0), 0u);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_MEMORY);
}

// A handler that keeps the first frame's handler running until the test releases it,
// copying the application's buffer as each of the first two frames' handlers find it.
// Registered for its lifetime; the end releases a held handler first.
struct HeldFrameHandler {
    HeldFrameHandler(const uint8_t *pixels, size_t bytes) : buffer(pixels), frameBytes(bytes) {
        Korvix_SetMessageHandler(&HeldFrameHandler::Handle, this);
    }
    ~HeldFrameHandler() {
        Release();
        Korvix_SetMessageHandler(nullptr, nullptr);
    }
    void Release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    const uint8_t *const buffer;
    const size_t frameBytes;
    bool released = false;
    std::vector<std::vector<uint8_t>> seen;  // the buffer in the first two handlers

    static void Handle(void *, unsigned int message, uintptr_t, intptr_t lParam, void *context) {
        auto *self = static_cast<HeldFrameHandler *>(context);
        if (message != WM_CAMERA_FRAME || lParam != 0) return;
        std::unique_lock lock(self->mutex);
        if (self->seen.size() >= 2) return;
        self->seen.emplace_back(self->buffer, self->buffer + self->frameBytes);
        self->changed.notify_all();
        self->changed.wait(lock, [&] { return self->released; });
    }
};

TEST_F(SystemSessionAcquisition, CallbackBufferIsNotRewrittenWhileAHandlerMayReadIt) {
    constexpr size_t kFrameBytes = 1280 * 1024;
    HeldFrameHandler handler(buffer_.data(), kFrameBytes);
    const int handle = OpenCamera("imx990");  // a moving scene with noise: no two frames alike
    ASSERT_EQ(Korvix_CallBackPreview(handle, kFrameWindow, buffer_.data(),
                                     static_cast<int>(buffer_.size()), 1),
              1);
    std::vector<uint8_t> first;
    {
        std::unique_lock lock(handler.mutex);
        ASSERT_TRUE(handler.changed.wait_for(lock, std::chrono::seconds(20),
                                             [&] { return !handler.seen.empty(); }));
        first = handler.seen[0];
    }
    // While the first handler runs, the worker goes on with newer frames. Korvix_GetImage
    // waits for a frame's pass to end (copy into the buffer included), so once it returns a
    // newer picture, that frame has had its chance to be written into the buffer.
    std::vector<uint8_t> newest(kFrameBytes);
    for (int attempt = 0; attempt < 4000; ++attempt) {
        ASSERT_EQ(Korvix_GetImage(handle, newest.data(), static_cast<int>(kFrameBytes), 1), 1);
        if (newest != first) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_NE(newest, first);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), buffer_.begin()));

    handler.Release();
    {
        std::unique_lock lock(handler.mutex);
        // Frames reach the buffer again once the handler has returned.
        ASSERT_TRUE(handler.changed.wait_for(lock, std::chrono::seconds(20),
                                             [&] { return handler.seen.size() == 2; }));
        EXPECT_NE(handler.seen[1], first);
    }
    EXPECT_EQ(Korvix_StopPreview(handle), 1);
}

TEST_F(SystemSessionAcquisition, DeviceLostDuringPreviewIsAnnounced) {
    MessageInbox inbox;
    const int handle = OpenCamera("imx990:scene=ramp", inbox.Window(kNotifyTag));
    ASSERT_EQ(Korvix_CallBackPreview(handle, inbox.Window(kFrameTag), nullptr, 0, 1), 1);
    inbox.WaitFor(WM_CAMERA_FRAME, 0, 1);
    ASSERT_TRUE(sim::Simulator::Instance().Unplug(0));
    const auto messages = inbox.WaitFor(WM_CAMERA_FRAME, CAMERR_DEVICE_LOST, 1);
    ASSERT_EQ(MessageInbox::Count(messages, WM_CAMERA_FRAME, CAMERR_DEVICE_LOST), 1u);
    Settled(handle, inbox);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_DEVICE_LOST);
    EXPECT_EQ(Korvix_GetColorMode(handle), 8);
    EXPECT_EQ(Korvix_StopPreview(handle), 1);
}

TEST_F(SystemSessionAcquisition, TriggerModeGivesOneFramePerPulse) {
    MessageInbox inbox;
    // An FPGA older than 0x110 switches to external trigger without waiting for a pulse.
    const int handle = OpenCamera("imx990:fpga=0x0100:scene=ramp", inbox.Window(kNotifyTag));
    const int size = static_cast<int>(buffer_.size());
    ASSERT_EQ(Korvix_Trigger(handle, inbox.Window(kFrameTag), buffer_.data(), size, 1), 1);
    Camera().ClearLog();
    EXPECT_EQ(Korvix_Trigger(handle, inbox.Window(kFrameTag), buffer_.data(), size, 1), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_NOT_READY);
    // The worker takes the FPGA's frame count as its starting point after a pause (a pulse
    // before that gives no frame); its read of the counter marks that moment.
    ASSERT_TRUE(WaitForFpgaRead(sim::fpga::kFrameCounter));
    constexpr size_t kPulses = 4;
    for (size_t pulse = 1; pulse <= kPulses; ++pulse) {
        ASSERT_TRUE(sim::Simulator::Instance().FireTrigger(0)) << pulse;

        const auto frames = inbox.WaitFor(WM_CAMERA_FRAME, 0, pulse);
        ASSERT_EQ(MessageInbox::Count(frames, WM_CAMERA_FRAME, 0), pulse);
        EXPECT_EQ(frames.back().info.frameRate10, 0);
        EXPECT_EQ(frames.back().info.userBuffer, buffer_.data());
    }
    ASSERT_EQ(Korvix_StopPreview(handle), 1);
    EXPECT_EQ(MessageInbox::Count(Settled(handle, inbox), WM_CAMERA_FRAME, 0), kPulses);
    EXPECT_EQ(buffer_[0], 4095 >> 4);
    EXPECT_EQ(Errors(handle), std::vector<int>{});
}

TEST_F(SystemSessionAcquisition, ReleaseDuringARunningPreviewStopsIt) {
    MessageInbox inbox;
    const int handle = OpenCamera("imx990:scene=ramp", inbox.Window(kNotifyTag));
    const int witness = NewHandle(inbox.Window(kNotifyTag));
    ASSERT_EQ(Korvix_CallBackPreview(handle, inbox.Window(kFrameTag), buffer_.data(),
                                     static_cast<int>(buffer_.size()), 0), 1);
    inbox.WaitFor(WM_CAMERA_FRAME, 0, 2);
    EXPECT_EQ(Korvix_Release(handle), 1);
    const size_t atRelease = MessageInbox::Count(inbox.Messages(), WM_CAMERA_FRAME, 0);
    EXPECT_EQ(MessageInbox::Count(Settled(witness, inbox), WM_CAMERA_FRAME, 0), atRelease);
}

}  // namespace
}  // namespace korvix::test
