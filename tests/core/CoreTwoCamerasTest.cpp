#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "CoreSimFixture.h"

namespace korvix::core::test {
namespace {

class CoreTwoCameras : public CoreSimTest {};

// Two cores stream at once from two cameras showing different uniform scenes; each sees
// only its own camera's frames, and stopping one leaves the other streaming.
TEST_F(CoreTwoCameras, StreamAtOnceWithoutInterfering) {
    UseCameras("imx990c:scene=uniform:800,imx990c:scene=uniform:3200");
    auto first = OpenCore(0x3270, 0);
    auto second = OpenCore(0x3270, 1);
    ASSERT_EQ(first->StartTransfer(0), 1);
    ASSERT_EQ(second->StartTransfer(0), 1);

    auto collect = [](CKorvixU3T2Base &core, std::vector<uint8_t> &levels, int frames) {
        std::vector<uint8_t> frame(core.FrameBytes());
        while (static_cast<int>(levels.size()) < frames) {
            if (WaitNewFrame(core) != 3) return;
            core.GetFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1, nullptr);
            // Every 101st sample is enough to tell the two scenes apart.
            uint8_t level = frame[0];
            for (size_t i = 0; i < frame.size(); i += 101) {
                if (frame[i] != level) level = 0;
            }
            levels.push_back(level);
        }
    };
    std::vector<uint8_t> firstLevels, secondLevels;
    std::thread a([&] { collect(*first, firstLevels, 5); });
    std::thread b([&] { collect(*second, secondLevels, 5); });
    a.join();
    b.join();
    ASSERT_EQ(firstLevels.size(), 5u);
    ASSERT_EQ(secondLevels.size(), 5u);
    // 12-bit levels 800 and 3200 arrive as 8-bit samples 50 and 200.
    for (uint8_t level : firstLevels) EXPECT_EQ(level, 800 >> 4);
    for (uint8_t level : secondLevels) EXPECT_EQ(level, 3200 >> 4);

    // Stopping the first (with its thread-end event) does not end the second.
    first->StopTransfer(1);
    EXPECT_FALSE(first->TransferRunning());
    EXPECT_TRUE(second->TransferRunning());
    EXPECT_EQ(WaitNewFrame(*second), 3);
    second->StopTransfer(1);
}

// The end of one camera's acquisition thread is its own news: a second core restarting
// its running transfer must not take the first core's thread-end signal for its own (it
// would then wait for a thread that was never told to stop).
TEST_F(CoreTwoCameras, ThreadEndOfOneCoreIsNotSeenByAnother) {
    UseCameras("imx990,imx990");
    auto first = OpenCore(0x3260, 0);
    auto second = OpenCore(0x3260, 1);
    ASSERT_EQ(second->StartTransfer(0), 1);
    ASSERT_EQ(WaitNewFrame(*second), 3);
    ASSERT_EQ(first->StartTransfer(1), 1);
    for (int i = 0; i < 500 && first->TransferRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(first->TransferRunning());  // its thread ended and signalled its end

    ASSERT_EQ(second->StartTransfer(0), 1);
    EXPECT_TRUE(second->TransferRunning());
    EXPECT_EQ(WaitNewFrame(*second), 3);
    second->StopTransfer(1);
    first->StopTransfer(1);
}

}  // namespace
}  // namespace korvix::core::test
