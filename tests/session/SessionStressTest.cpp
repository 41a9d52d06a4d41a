// Two sessions preview two cameras with callbacks while other threads change the exposure
// and fetch images; run under ThreadSanitizer as well.

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "SessionSimulated.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/Messages.h"

namespace korvix::test {
namespace {

using SessionStress = SessionSimulatedTest;

std::atomic<int> framesOf[2];

void CountFrames(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam, void *) {
    if (message != WM_CAMERA_FRAME || lParam != 0 || wParam == 0) return;
    const auto *info = reinterpret_cast<const KorvixFrameInfo *>(wParam);
    if (info->width != 1280 || info->height != 1024) return;  // a torn record counts nothing
    ++framesOf[reinterpret_cast<uintptr_t>(window) - 1];
}

TEST_F(SessionStress, TwoCallbackPreviewsWhileExposureChangesAndImagesAreFetched) {
    constexpr int kFrames = 200;
    platform::SetMessageHandler(&CountFrames, nullptr);
    CKorvix &first = StartSession("imx990,imx990");
    CKorvix second;
    ASSERT_EQ(second.Initialize(nullptr), 1);
    ASSERT_EQ(second.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    CKorvix *sessions[2] = {&first, &second};
    std::vector<std::vector<uint8_t>> buffers(2, std::vector<uint8_t>(1280 * 1024));
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(sessions[i]->SetDeviceNumber(i), 1);
        ASSERT_EQ(sessions[i]->SetColorMode(8), 1);
        ASSERT_EQ(sessions[i]->SetWaitTime(0), 1);
        ASSERT_EQ(sessions[i]->CallBackPreview(reinterpret_cast<KorvixWindow>(uintptr_t(i + 1)),
                                               buffers[i].data(), 1280 * 1024, 1),
                  1);
    }
    auto enough = [&] { return framesOf[0] >= kFrames && framesOf[1] >= kFrames; };
    std::thread exposure([&] {
        for (unsigned step = 0; !enough(); ++step) {
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
        std::vector<uint8_t> copy(1280 * 1024);
        while (!enough()) {
            for (CKorvix *session : sessions) session->GetImage(copy.data(), 1280 * 1024, 0);
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!enough() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const bool reached = enough();
    // Stop the helpers first: they spin until the frames are there.
    framesOf[0] = framesOf[1] = kFrames;
    exposure.join();
    images.join();
    EXPECT_TRUE(reached);
    for (CKorvix *session : sessions) {
        EXPECT_EQ(session->StopPreview(), 1);
        EXPECT_EQ(session->GetLastError(), 0);
    }
    platform::SetMessageHandler(nullptr, nullptr);
}

}  // namespace
}  // namespace korvix::test
