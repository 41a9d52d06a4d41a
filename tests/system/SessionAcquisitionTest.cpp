#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "SessionAcquisitionFixture.h"

namespace korvix::test {
namespace {

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
