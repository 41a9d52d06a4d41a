#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CoreSimFixture.h"
#include "sim/SimRegisterMap.h"

namespace korvix::core::test {
namespace {

using sim::LogAccess;
using sim::LogTarget;

class CoreStreamStatistics : public CoreSimTest {
  protected:
    // Restart pulses the camera saw since its log was cleared: writes of 1, then 0, to the
    // restart register.
    static uint64_t RestartPulsesInLog() {
        uint64_t pulses = 0;
        unsigned previous = 0;
        for (const sim::LogEntry &entry :
             LogOf(Camera(), LogTarget::Fpga, LogAccess::Write, sim::fpga::kRestart)) {
            if (previous == 1 && entry.value == 0) ++pulses;
            previous = entry.value;
        }
        return pulses;
    }
};

// Triggered frames arrive one per pulse, so every gap in their frame counter is one the
// camera made: frames it counted and never sent. The first frame of a transfer has nothing
// before it to miss.
TEST_F(CoreStreamStatistics, SkippedFrameCountsAreLostFrames) {
    struct Case {
        std::string name;
        std::vector<uint32_t> skipsBeforeFrame;
        uint64_t lost;
    };
    const Case cases[] = {
        {"skips add up", {0, 2, 0, 5}, 7},
        {"before the first frame of a transfer", {3, 0}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UseCameras("imx992");
        auto core = OpenCore(0x3370);
        ASSERT_EQ(core->SetTriggerMode(1, 1), 1);
        for (uint32_t skip : c.skipsBeforeFrame) {
            Camera().InjectSkippedFrameCounts(skip);
            ASSERT_EQ(core->StartTransfer(2), 1);
            ASSERT_TRUE(sim::Simulator::Instance().FireTrigger(0));
            ASSERT_EQ(WaitNewFrame(*core), 3);
            core->GetFrame(nullptr, 0, 1, nullptr);
        }
        core->StopTransfer(1);
        const StreamCounts counts = core->StreamStatisticsNow();
        EXPECT_EQ(counts.framesDelivered, c.skipsBeforeFrame.size());
        EXPECT_EQ(counts.framesLost, c.lost);
        EXPECT_EQ(counts.transferFailures, 0u);
        EXPECT_EQ(counts.restartPulses, 0u);
    }
}

// A lost header is one failed attempt, after which the controller restarts the camera's
// frame output; a payload that stops short of its last 512 KiB piece fails the data phase,
// after which the engine restarts the stream. Every restart the camera saw is counted, and
// the frame still arrives.
TEST_F(CoreStreamStatistics, FailuresAndRestartPulsesOfOneFrame) {
    struct Case {
        std::string name;
        std::function<void(sim::SimulatedCamera &)> inject;
        uint64_t failures;
        uint64_t minimumPulses;
        // Only the first header came before the failure: no frame of the transfer can be
        // missed. A failed data phase comes after a header, and the camera goes on making
        // frames (lost ones) while the host waits and restarts.
        bool noneLost;
    };
    // 1280 x 1024 bytes: two whole pieces and 262144 bytes, which never come.
    const Case cases[] = {
        {"two lost headers", [](sim::SimulatedCamera &camera) { camera.InjectLostHeaders(2); }, 2,
         2, true},
        {"a payload without its last piece",
         [](sim::SimulatedCamera &camera) { camera.InjectShortPayloads(1, 262144); }, 1, 0,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UseCameras("imx990");
        auto core = OpenCore(0x3260);
        // The short payload's data phase ends at this limit instead of the default 5 s.
        core->SetDataTimeout(100);
        core->ResetStreamStatistics();
        Camera().ClearLog();
        c.inject(Camera());
        ASSERT_EQ(core->StartTransfer(1), 1);
        ASSERT_EQ(WaitNewFrame(*core), 3);
        core->StopTransfer(1);
        const StreamCounts counts = core->StreamStatisticsNow();
        EXPECT_EQ(counts.framesDelivered, 1u);
        if (c.noneLost) {
            EXPECT_EQ(counts.framesLost, 0u);
        }
        EXPECT_EQ(counts.transferFailures, c.failures);
        EXPECT_EQ(counts.restartPulses, RestartPulsesInLog());
        EXPECT_GE(counts.restartPulses, c.minimumPulses);
        EXPECT_GT(counts.transferRateMBps, 0.0);
    }
}

// A new camera starts new statistics, and frames made while no transfer runs are not lost.
TEST_F(CoreStreamStatistics, OpenStartsAfreshAndAStoppedTransferLosesNothing) {
    UseCameras("imx991");
    auto core = OpenCore(0x3280);
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(core->StartTransfer(1), 1);
        ASSERT_EQ(WaitNewFrame(*core), 3);
        core->StopTransfer(1);
        // Frames the camera makes meanwhile advance its counter.
        Camera().InjectSkippedFrameCounts(10);
    }
    StreamCounts counts = core->StreamStatisticsNow();
    EXPECT_EQ(counts.framesDelivered, 2u);
    EXPECT_EQ(counts.framesLost, 0u);
    ASSERT_NE(core->Open(0), 0);
    counts = core->StreamStatisticsNow();
    EXPECT_EQ(counts.framesDelivered, 0u);
    EXPECT_EQ(counts.transferRateMBps, 0.0);
}

}  // namespace
}  // namespace korvix::core::test
