#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "CoreSimFixture.h"
#include "platform/Clock.h"
#include "sensors/SensorBase.h"
#include "sim/SimRegisterMap.h"

namespace korvix::core::test {
namespace {

using sim::LogAccess;
using sim::LogTarget;

class CoreSettings : public CoreSimTest {};

TEST_F(CoreSettings, ExposureTimeSetsTheDataTimeLimit) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    core->SetDataTimeout(1234);
    core->SetExposureTime(100);
    EXPECT_EQ(core->DataTimeout(), 5000u);
    core->SetExposureTime(50000);
    EXPECT_EQ(core->DataTimeout(), 5000u);
    core->SetExposureTime(50001);
    EXPECT_EQ(core->DataTimeout(), 10000u);
}

TEST_F(CoreSettings, ExposureInSecondsChangesTheLimitOnlyAboveTwoSeconds) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    core->SetDataTimeout(7777);
    core->SetExposureTimeEx(2.0);
    EXPECT_EQ(core->DataTimeout(), 7777u);
    core->SetExposureTimeEx(2.5);
    EXPECT_EQ(core->DataTimeout(), 3500u);
}

TEST_F(CoreSettings, ExposureInSecondsBeyondAnyDataLimitIsRefusedUnchanged) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    core->SetDataTimeout(7777);
    double before = 0.0;
    core->GetExposureTimeEx(&before);
    for (double seconds : {std::nan(""), HUGE_VAL, 1e300, 5e6}) {
        EXPECT_EQ(core->SetExposureTimeEx(seconds), 0) << seconds;
        EXPECT_EQ(core->DataTimeout(), 7777u) << seconds;
    }
    double after = 0.0;
    core->GetExposureTimeEx(&after);
    EXPECT_EQ(after, before);
}

TEST_F(CoreSettings, UnchangedCaptureWindowLeavesTheGeometryClean) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->ApplyGeometry(), 1);
    ASSERT_EQ(core->GeometryDirty(), 0);
    int x = 0, y = 0, width = 0, height = 0, mode = 0;
    ASSERT_EQ(core->GetCaptureWindow(&x, &y, &width, &height, &mode), 1);
    Camera().ClearLog();
    EXPECT_EQ(core->SetCaptureWindow(x, y, width, height, mode), 1);
    EXPECT_EQ(core->GeometryDirty(), 0);
    EXPECT_TRUE(LogOf(Camera(), LogTarget::Sensor, LogAccess::Write).empty());

    ASSERT_EQ(core->SetCaptureWindow(x, y, width, 512, mode), 1);
    EXPECT_EQ(core->GeometryDirty(), 1);
    int newHeight = 0;
    core->GetCaptureWindow(nullptr, nullptr, nullptr, &newHeight, nullptr);
    EXPECT_EQ(newHeight, 512);
    // The next start rebuilds the buffers for the new window.
    ASSERT_EQ(core->ApplyGeometry(), 1);
    EXPECT_EQ(core->FrameBytes(), width * 512);
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kHeightLow, sim::Simulator::NowMs()), 0x00);
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kHeightHigh, sim::Simulator::NowMs()), 0x02);
    // A window below full height reads out with offset T 21.
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kOffsetTLow, sim::Simulator::NowMs()), 21);
}

TEST_F(CoreSettings, BitModeTwiceWritesTheRegisterTwiceButRebuildsOnce) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->ApplyGeometry(), 1);
    int eightBitFrame = core->FrameBytes();
    Camera().ClearLog();
    ASSERT_EQ(core->SetBitMode(1), 1);
    EXPECT_EQ(LogOf(Camera(), LogTarget::Fpga, LogAccess::Write, sim::fpga::kDataWidth).size(), 1u);
    EXPECT_EQ(LogOf(Camera(), LogTarget::Fpga, LogAccess::Write, sim::fpga::kWidthLow).size(), 1u);
    EXPECT_EQ(core->FrameBytes(), 2 * eightBitFrame);
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kDataWidth, sim::Simulator::NowMs()), 2);

    Camera().ClearLog();
    ASSERT_EQ(core->SetBitMode(1), 1);
    EXPECT_EQ(LogOf(Camera(), LogTarget::Fpga, LogAccess::Write, sim::fpga::kDataWidth).size(), 1u);
    EXPECT_TRUE(LogOf(Camera(), LogTarget::Fpga, LogAccess::Write, sim::fpga::kWidthLow).empty());

    ASSERT_EQ(core->SetBitMode(0), 1);
    EXPECT_EQ(core->FrameBytes(), eightBitFrame);
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kDataWidth, sim::Simulator::NowMs()), 1);
}

// Exposes the clock-mode decision, which no IMX99x head turns into a register write.
class ClockCore : public CKorvixUSB3T2SimpleSdk {
  public:
    using CKorvixU3T2Base::ClockModeForLink;
};

TEST_F(CoreSettings, FastClockNeedsASuperSpeedLink) {
    UseCameras("imx990:speed=3,imx990:speed=4");
    ClockCore slow;
    slow.SetProductCode(0x3260);
    slow.CreateController(nullptr, nullptr);
    slow.CountDevices(0x3260);
    ASSERT_NE(slow.Open(0), 0);
    EXPECT_EQ(slow.ClockModeForLink(2), 0);
    EXPECT_EQ(slow.ClockModeForLink(1), 1);
    EXPECT_EQ(slow.SetClockMode(2), 0);  // the head has no clock to set

    ClockCore fast;
    fast.SetProductCode(0x3260);
    fast.CreateController(nullptr, nullptr);
    fast.CountDevices(0x3260);
    ASSERT_NE(fast.Open(1), 0);
    EXPECT_EQ(fast.ClockModeForLink(2), 2);
}

TEST_F(CoreSettings, TriggerModeOneTakesOneTriggeredFrameOnANewFpga) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    std::atomic<bool> done{false};
    std::atomic<int> pulsesAfterCapture{0};
    std::thread trigger([&] {
        while (!done) {
            sim::Simulator::Instance().FireTrigger(0);
            // A pulse fired while the core had not yet counted its frame came before the
            // frame counter was resynchronised; the first pulse that finds the frame
            // counted may have come after it, and ends the pulses.
            if (core->CountedFrames() != 0) {
                ++pulsesAfterCapture;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    EXPECT_EQ(core->SetTriggerMode(1, 0), 1);
    done = true;
    trigger.join();
    EXPECT_EQ(core->TriggerModeValue(), 1);
    EXPECT_EQ(core->CountedFrames(), 1);
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kTriggerMode, sim::Simulator::NowMs()),
              sim::fpga::kTriggerModeExternal);
    // The resynchronised counter is the FPGA's, give or take the one late pulse.
    const uint8_t counterNow = Camera().FpgaRegister(sim::fpga::kFrameCounter, sim::Simulator::NowMs());
    const auto pulsesSinceResync = static_cast<uint8_t>(counterNow - core->LastFrameCounter());
    EXPECT_LE(pulsesSinceResync, pulsesAfterCapture.load());
    // The same mode again without force changes nothing.
    Camera().ClearLog();
    EXPECT_EQ(core->SetTriggerMode(1, 0), 1);
    EXPECT_TRUE(LogOf(Camera(), LogTarget::Fpga, LogAccess::Write).empty());
}

TEST_F(CoreSettings, TriggerModeOnAnOldFpgaOnlyResynchronisesTheCounter) {
    UseCameras("imx990:fpga=0x0110");
    auto core = OpenCore(0x3260);
    EXPECT_EQ(core->SetTriggerMode(1, 0), 1);
    EXPECT_FALSE(core->TransferRunning());
    EXPECT_EQ(core->CountedFrames(), 0);
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kTriggerMode, sim::Simulator::NowMs()),
              sim::fpga::kTriggerModeExternal);
    EXPECT_EQ(core->LastFrameCounter(),
              Camera().FpgaRegister(sim::fpga::kFrameCounter, sim::Simulator::NowMs()));
    EXPECT_EQ(core->SetTriggerMode(0, 0), 1);
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kTriggerMode, sim::Simulator::NowMs()),
              sim::fpga::kTriggerModeFree);
}

TEST_F(CoreSettings, InternalCorrectionFollowsTheFpgaVersion) {
    UseCameras("imx990:fpga=0x8128,imx990");
    auto corrected = OpenCore(0x3260, 0);
    EXPECT_EQ(corrected->HasInternalCorrection(), 1);
    EXPECT_EQ(corrected->GetInternalCorrection(), 0);
    EXPECT_EQ(corrected->SetInternalCorrection(1), 1);
    EXPECT_EQ(Camera(0).FpgaRegister(sim::fpga::kCorrectionEnable, sim::Simulator::NowMs()) & 1, 1);
    EXPECT_EQ(corrected->GetInternalCorrection(), 1);
    EXPECT_EQ(corrected->SetCorrectionValue(0x1234), 1);
    EXPECT_EQ(Camera(0).FpgaRegister(sim::fpga::kCorrectionLow, sim::Simulator::NowMs()), 0x34);
    EXPECT_EQ(Camera(0).FpgaRegister(sim::fpga::kCorrectionHigh, sim::Simulator::NowMs()), 0x12);
    int value = 0;
    EXPECT_EQ(corrected->GetCorrectionValue(&value), 1);
    EXPECT_EQ(value, 0x1234);
    EXPECT_EQ(corrected->GetCorrectionValueMax(), 0xFFFF);
    EXPECT_EQ(corrected->SetInternalCorrection(0), 1);
    EXPECT_EQ(corrected->GetInternalCorrection(), 0);

    auto plain = OpenCore(0x3260, 1);
    EXPECT_EQ(plain->HasInternalCorrection(), 0);
    EXPECT_EQ(plain->SetInternalCorrection(1), 0);
    EXPECT_EQ(plain->SetCorrectionValue(1), 0);
    EXPECT_EQ(plain->GetCorrectionValueMax(), 0);
}

}  // namespace
}  // namespace korvix::core::test
