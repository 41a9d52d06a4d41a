// The device core's thread-safety contract as the session uses it: an acquisition worker
// waits for and reads frames while other threads change settings (stopping and restarting
// the transfer around a window change, as the session does) and read registers. Run under
// ThreadSanitizer this also proves the operations free of data races.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "CoreSimFixture.h"

namespace korvix::core::test {
namespace {

using CoreConcurrency = CoreSimTest;

TEST_F(CoreConcurrency, SettingsAndRegistersWhileFramesStream) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->StartTransfer(0), 1);

    std::atomic<bool> done{false};
    std::atomic<int> framesRead{0};
    std::atomic<int> badLayouts{0};
    std::thread worker([&] {
        std::vector<uint8_t> frame(1280 * 1024);
        while (!done.load()) {
            if (core->WaitFrame(100) != 3) continue;
            FrameLayout layout;
            if (core->GetFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1, &layout) !=
                1) {
                continue;
            }
            if (layout.width != 1280 || (layout.height != 1024 && layout.height != 512)) {
                ++badLayouts;
            }
            ++framesRead;
        }
    });

    constexpr int kRounds = 8;
    std::thread settings([&] {
        for (int round = 0; round < kRounds; ++round) {
            core->SetExposureTime(100 + 10 * round);
            core->SetGlobalGain(static_cast<unsigned>(round));
            core->SetMirrorH(round % 2);
            core->SetMirrorV(round % 2);
            // A window change as the session makes it: stop, change, start again.
            core->StopTransfer(1);
            core->SetCaptureWindow(0, 0, 1280, round % 2 ? 512 : 1024, 0);
            core->StartTransfer(0);
        }
    });
    std::thread registers([&] {
        for (int round = 0; round < 4 * kRounds; ++round) {
            int ok = 0;
            core->ReadFpgaRegister(0x3C, &ok);
            core->ReadSensorRegister(0x3000, &ok);
            core->GetGlobalGain();
            core->GetExposureTime();
            core->GetMirrorH();
            int x = 0, y = 0, width = 0, height = 0, mode = 0;
            core->GetCaptureWindow(&x, &y, &width, &height, &mode);
        }
    });
    settings.join();
    registers.join();

    // The last restart streams: the worker reads frames of it.
    const int before = framesRead.load();
    for (int i = 0; i < 1000 && framesRead.load() < before + 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    done = true;
    worker.join();
    EXPECT_GE(framesRead.load(), before + 3);
    EXPECT_EQ(badLayouts.load(), 0);
    EXPECT_EQ(core->StopTransfer(1), 1);
}

// Two threads stopping at once (the session's stop and a worker's) both return, once.
TEST_F(CoreConcurrency, StopFromTwoThreadsAtOnce) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->StartTransfer(0), 1);
    ASSERT_EQ(WaitNewFrame(*core), 3);
    std::thread first([&] { EXPECT_EQ(core->StopTransfer(1), 1); });
    std::thread second([&] { EXPECT_EQ(core->StopTransfer(0), 1); });
    first.join();
    second.join();
    EXPECT_FALSE(core->TransferRunning());
    EXPECT_EQ(core->WaitFrame(10), 2);
}

}  // namespace
}  // namespace korvix::core::test
