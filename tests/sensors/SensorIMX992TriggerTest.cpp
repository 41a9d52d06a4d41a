// Trigger-mode sequences of the IMX992/993 driver, run on the manual clock.
#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "sensors/RecordingController.h"
#include "sensors/SensorIMX992.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {
namespace {

using test::RecordingController;
using Writes = std::vector<std::pair<unsigned, unsigned>>;
const std::vector<unsigned> kTriggerRegisters = {0x0200, 0x020C, 0x0430, 0x0432, 0x0600};

class SensorsImx992TriggerTest : public ::testing::Test {
  protected:
    platform::ManualClock clock;
    platform::ScopedClockOverride clockOverride{clock};
    RecordingController controller;
};

TEST_F(SensorsImx992TriggerTest, Imx992EntersTriggerModeAndArmsTheSequence) {
    CSensorIMX992 sensor(&controller);
    ASSERT_EQ(sensor.SetBitDepth(1), 1);
    ASSERT_EQ(sensor.SetExposureLines(1001), 1);
    controller.ClearLog();
    const uint64_t before = clock.SleptMs();
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    EXPECT_EQ(
        controller.SensorWritesTo(kTriggerRegisters),
        (Writes{{0x0200, 1}, {0x020C, 0}, {0x0430, 0x2B}, {0x0432, 1}, {0x0600, 1}, {0x0200, 0}}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerMode), (std::vector<unsigned>{0, 2}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerLineTimingLow).front(), 712u & 0xFF);
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerEdge), (std::vector<unsigned>{4, 0x84, 4, 0}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kRestart), (std::vector<unsigned>{1, 0}));
    // Armed at the shortest exposure, then the exposure is restored.
    EXPECT_EQ(sensor.Params().expLines, 1000);
    EXPECT_EQ(controller.SensorWritesTo({0x0440}).back(),
              (std::pair<unsigned, unsigned>{0x0440, 0x74}));
    EXPECT_GE(clock.SleptMs() - before, 500u);
    int mode = -1;
    sensor.GetTriggerMode(&mode);
    EXPECT_EQ(mode, 1);
}

TEST_F(SensorsImx992TriggerTest, Imx992ReturnsToFreeRunning) {
    CSensorIMX992 sensor(&controller);
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    controller.ClearLog();
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    EXPECT_EQ(
        controller.SensorWritesTo(kTriggerRegisters),
        (Writes{{0x0200, 1}, {0x020C, 1}, {0x0430, 0x29}, {0x0200, 0}, {0x020C, 0}, {0x0600, 0}}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerMode), (std::vector<unsigned>{0}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerEdge), (std::vector<unsigned>{0}));
}

TEST_F(SensorsImx992TriggerTest, SameModeAgainSkipsTheStandbyBracket) {
    CSensorIMX992 sensor(&controller);
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    controller.ClearLog();
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    EXPECT_EQ(controller.SensorWritesTo(kTriggerRegisters),
              (Writes{{0x0430, 0x2B}, {0x0432, 1}, {0x0600, 1}}));
}

TEST_F(SensorsImx992TriggerTest, Imx993SequencesDifferInOrderAndRestart) {
    CSensorIMX993 sensor(&controller);
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);  // from the start value 15: a change
    EXPECT_EQ(
        controller.SensorWritesTo(kTriggerRegisters),
        (Writes{{0x0200, 1}, {0x020C, 0}, {0x0430, 0x2B}, {0x0432, 1}, {0x0600, 1}, {0x0200, 0}}));
    EXPECT_TRUE(controller.FpgaWritesTo(fpga::kTriggerEdge).empty());
    EXPECT_TRUE(controller.FpgaWritesTo(fpga::kRestart).empty());
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerFrameLength0).back(), 0x33u);

    controller.ClearLog();
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    EXPECT_EQ(controller.SensorWritesTo(kTriggerRegisters),
              (Writes{{0x0200, 1}, {0x020C, 0}, {0x0430, 0x29}, {0x0600, 0}, {0x0200, 0}}));
    EXPECT_TRUE(controller.FpgaWritesTo(fpga::kTriggerEdge).empty());
}

// The early exit proves only that the FPGA runs free: the stored mode keeps the start value,
// so the next sequence that does run (after a window change) brackets the sensor in standby
// as a change of mode does.
TEST_F(SensorsImx992TriggerTest, FreeRunningFpgaAndUnchangedWindowNeedNoSequence) {
    CSensorIMX993 sensor(&controller);
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    EXPECT_TRUE(controller.log.empty());
    EXPECT_EQ(sensor.GetTriggerModeValue(), 15);

    ASSERT_EQ(sensor.SetCaptureWindow(0, 640, 0, 256, 0), 1);
    controller.ClearLog();
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    EXPECT_EQ(controller.SensorWritesTo(kTriggerRegisters),
              (Writes{{0x0200, 1}, {0x020C, 0}, {0x0430, 0x29}, {0x0600, 0}, {0x0200, 0}}));
    EXPECT_EQ(sensor.GetTriggerModeValue(), 0);
}

}  // namespace
}  // namespace korvix::sensors
