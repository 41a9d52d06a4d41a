// The public C API over the libusb backend (KORVIX_SIMULATE unset) against cameras at the
// kernel's USB interface, emulated in a umockdev testbed.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "KorvixSdk_Tesslin.h"
#include "sim/Simulator.h"
#include "system/MessageInbox.h"
#include "usbfs/UsbfsTwinsTest.h"

namespace korvix::test {
namespace {

using sim::Simulator;

constexpr unsigned kDeviceChange = 0x0219;
constexpr uintptr_t kArrival = 0x8000;
constexpr uintptr_t kRemoveComplete = 0x8004;
KorvixWindow const kFrameWindow = reinterpret_cast<KorvixWindow>(uintptr_t{0x5100});
KorvixWindow const kNotifyWindow = reinterpret_cast<KorvixWindow>(uintptr_t{0x7700});

// A static scene (no temporal noise), so two cameras of this list give equal frames.
constexpr char kTwins[] = "imx990:serial=TWIN:noise=off,imx990:serial=TWIN:noise=off";

class SystemUsbfs : public UsbfsTwinsTest {
  protected:
    SystemUsbfs() : UsbfsTwinsTest(kTwins) {}

    void TearDown() override {
        for (int handle : handles_) Korvix_Release(handle);
        UsbfsTwinsTest::TearDown();
    }

    // A session without a preview window, 16 bits per pixel.
    int NewSession(KorvixWindow notifyWindow = nullptr) {
        const int handle = Korvix_Initialize(notifyWindow);
        EXPECT_NE(handle, 0);
        handles_.push_back(handle);
        EXPECT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
        EXPECT_EQ(Korvix_SetColorMode(handle, 16), 1);
        return handle;
    }

    std::vector<int> handles_;
};

TEST_F(SystemUsbfs, SnapshotOverUsbEqualsTheSameCamerasSnapshotThroughTheSimulator) {
    // A window of 256 rows keeps the synthetic scene's rendering short under the sanitizers,
    // well inside the snapshot's frame timeout.
    constexpr int kRows = 256;
    const int size = 1280 * kRows * 2;
    auto snapshot = [&](int handle, std::vector<uint8_t> *frame) {
        ASSERT_EQ(Korvix_SetCaptureWindowEx(handle, 1280, 0, 1280, 1024, 0, kRows), 1);
        ASSERT_EQ(Korvix_SnapShot(handle, frame->data(), size, 1), 1)
            << "error " << Korvix_GetLastError(handle);
    };
    testbed_->Plug(Simulator::Instance().Camera(0), 1);
    const int overUsb = NewSession();
    char name[32] = {};
    ASSERT_EQ(Korvix_GetDeviceName(overUsb, 0, name, sizeof name), 1);
    EXPECT_STREQ(name, "KorvixTesslin_01");
    std::vector<uint8_t> usbFrame(size, 0xEE);
    snapshot(overUsb, &usbFrame);

    // The twin through the simulator's port: its rows follow the libusb camera's row.
    setenv("KORVIX_SIMULATE", kTwins, 1);
    const int overSim = NewSession();
    ASSERT_EQ(Korvix_SetDeviceNumber(overSim, 2), 1);
    std::vector<uint8_t> simFrame(size, 0xDD);
    snapshot(overSim, &simFrame);
    EXPECT_TRUE(usbFrame == simFrame);
    EXPECT_NE(std::count(usbFrame.begin(), usbFrame.end(), usbFrame[0]), size);  // a real picture
}

TEST_F(SystemUsbfs, CallbackPreviewRunsUntilTheCameraIsUnpluggedThenReportsItLost) {
    MessageInbox inbox;
    testbed_->Plug(Simulator::Instance().Camera(0), 1);
    const int handle = NewSession();
    // A short window and exposure keep the frames small and frequent.
    ASSERT_EQ(Korvix_SetCaptureWindowEx(handle, 1280, 0, 1280, 1024, 0, 64), 1);
    ASSERT_EQ(Korvix_SetExposureTime(handle, 10), 1);
    constexpr size_t kFrames = 200;
    ASSERT_EQ(Korvix_CallBackPreview(handle, kFrameWindow, nullptr, 0, 1), 1);
    const auto frames = inbox.WaitFor(WM_CAMERA_FRAME, 0, kFrames);
    ASSERT_GE(MessageInbox::Count(frames, WM_CAMERA_FRAME, 0), kFrames);
    EXPECT_EQ(frames.back().info.height, 64);

    testbed_->Unplug(0);
    const auto messages = inbox.WaitFor(WM_CAMERA_FRAME, CAMERR_DEVICE_LOST, 1);
    EXPECT_EQ(MessageInbox::Count(messages, WM_CAMERA_FRAME, CAMERR_DEVICE_LOST), 1u);
    EXPECT_EQ(MessageInbox::Count(messages, WM_CAMERA_FRAME, 8), 0u);  // no failed reads first
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_DEVICE_LOST);
    EXPECT_EQ(Korvix_StopPreview(handle), 1);
}

TEST_F(SystemUsbfs, PlugAndUnplugPostDeviceChanges) {
    MessageInbox inbox;
    NewSession(kNotifyWindow);
    auto changes = [&](size_t count) {
        std::vector<MessageInbox::Message> seen;
        for (const auto &m : inbox.WaitUntil([&](const std::vector<MessageInbox::Message> &all) {
                 return std::count_if(all.begin(), all.end(), [](const auto &m) {
                            return m.message == kDeviceChange;
                        }) >= static_cast<long>(count);
             })) {
            if (m.message == kDeviceChange) seen.push_back(m);
        }
        return seen;
    };
    const size_t index = testbed_->Plug(Simulator::Instance().Camera(0), 3);
    ASSERT_EQ(changes(1).size(), 1u);
    testbed_->Unplug(index);
    const auto seen = changes(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].window, kNotifyWindow);
    EXPECT_EQ(seen[0].wParam, kArrival);
    EXPECT_EQ(seen[0].lParam, 0x3260);  // the camera's USB product id
    EXPECT_EQ(seen[1].wParam, kRemoveComplete);
    EXPECT_EQ(seen[1].lParam, 0x3260);
}

}  // namespace
}  // namespace korvix::test
