// Two sessions preview two cameras with callbacks while other threads change the exposure
// and fetch images; run under ThreadSanitizer as well.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "SessionSimulated.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/Messages.h"

namespace korvix::test {
namespace {

using SessionStress = SessionSimulatedTest;

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer slows every I2C transfer of the exposure changes and every frame by far
// more than tenfold: a few dozen frames keep the run well inside the test timeout.
constexpr int kFrames = 40;
#else
constexpr int kFrames = 300;
#endif
// A small window: the threads meet as often per frame as at full size, at a fraction of the
// pixel work.
constexpr int kWidth = 1280;  // the IMX990 reads whole rows
constexpr int kHeight = 128;

// Frames announced per camera, with an event for the helper threads, which act once per
// new frame of both cameras: a helper that loops freely keeps the device lock and frameLock
// busy enough to starve the previews on a slow (sanitised, loaded) machine.
struct AnnouncedFrames {
    std::mutex lock;
    std::condition_variable arrived;
    int count[2] = {0, 0};
    bool over = false;

    bool Enough() const { return count[0] >= kFrames && count[1] >= kFrames; }

    // Waits until both cameras have announced a frame after `seen`, then moves `seen` on.
    // False once the run is over.
    bool WaitForNewFrames(int (&seen)[2]) {
        std::unique_lock<std::mutex> guard(lock);
        arrived.wait(guard, [&] { return over || (count[0] > seen[0] && count[1] > seen[1]); });
        seen[0] = count[0];
        seen[1] = count[1];
        return !over;
    }
};
AnnouncedFrames announced;

void CountFrames(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam, void *) {
    if (message != WM_CAMERA_FRAME || lParam != 0 || wParam == 0) return;
    const auto *info = reinterpret_cast<const KorvixFrameInfo *>(wParam);
    if (info->width != kWidth || info->height != kHeight) return;  // a torn record counts nothing
    {
        std::lock_guard<std::mutex> guard(announced.lock);
        ++announced.count[reinterpret_cast<uintptr_t>(window) - 1];
    }
    announced.arrived.notify_all();
}

TEST_F(SessionStress, TwoCallbackPreviewsWhileExposureChangesAndImagesAreFetched) {
    platform::SetMessageHandler(&CountFrames, nullptr);
    CKorvix &first = StartSession("imx990,imx990");
    CKorvix second;
    ASSERT_EQ(second.Initialize(nullptr), 1);
    ASSERT_EQ(second.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    CKorvix *sessions[2] = {&first, &second};
    std::vector<std::vector<uint8_t>> buffers(2, std::vector<uint8_t>(kWidth * kHeight));
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(sessions[i]->SetDeviceNumber(i), 1);
        ASSERT_EQ(sessions[i]->SetColorMode(8), 1);
        ASSERT_EQ(sessions[i]->SetWaitTime(0), 1);
        ASSERT_EQ(sessions[i]->SetCaptureWindowEx(1280, 0, kWidth, 1024, 0, kHeight), 1);
        ASSERT_EQ(sessions[i]->CallBackPreview(reinterpret_cast<KorvixWindow>(uintptr_t(i + 1)),
                                               buffers[i].data(), kWidth * kHeight, 1),
                  1);
    }
    std::thread exposure([&] {
        int seen[2] = {0, 0};
        for (unsigned step = 0; announced.WaitForNewFrames(seen); ++step) {
            for (CKorvix *session : sessions) {
                const unsigned tenthsMs = 20 + step % 50;
                session->Core()->SetExposureTime(tenthsMs);
                session->Settings().UpdateCamera([&](CameraSettings &camera) {
                    camera.exposure = static_cast<int32_t>(tenthsMs);
                });
            }
        }
    });
    std::thread images([&] {
        std::vector<uint8_t> copy(kWidth * kHeight);
        int seen[2] = {0, 0};
        while (announced.WaitForNewFrames(seen)) {
            for (CKorvix *session : sessions) {
                EXPECT_EQ(session->GetImage(copy.data(), kWidth * kHeight, 0), 1);
            }
        }
    });
    bool reached = false;
    int counted[2] = {0, 0};
    {
        std::unique_lock<std::mutex> guard(announced.lock);
        reached = announced.arrived.wait_for(guard, std::chrono::seconds(120),
                                             [] { return announced.Enough(); });
        announced.over = true;
        counted[0] = announced.count[0];
        counted[1] = announced.count[1];
    }
    announced.arrived.notify_all();
    exposure.join();
    images.join();
    EXPECT_TRUE(reached) << counted[0] << " and " << counted[1] << " frames";
    for (CKorvix *session : sessions) {
        EXPECT_EQ(session->StopPreview(), 1);
        EXPECT_EQ(session->GetLastError(), 0);
    }
    platform::SetMessageHandler(nullptr, nullptr);
}

}  // namespace
}  // namespace korvix::test
