// Trigger-mode sequences of the IMX990/991 driver, run on the manual clock.
#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "sensors/RecordingController.h"
#include "sensors/SensorIMX990.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {
namespace {

using test::RecordingController;
using Writes = std::vector<std::pair<unsigned, unsigned>>;
const std::vector<unsigned> kTriggerRegisters = {0x0200, 0x0430, 0x0600};

class SensorsImx990TriggerTest : public ::testing::Test {
  protected:
    platform::ManualClock clock;
    platform::ScopedClockOverride clockOverride{clock};
    RecordingController controller;
    CSensorIMX990 sensor{&controller};
};

TEST_F(SensorsImx990TriggerTest, EnteringTriggerModeProgramsFpgaThenSensor) {
    ASSERT_EQ(sensor.SetExposureLines(100), 1);
    controller.ClearLog();
    const uint64_t before = clock.SleptMs();
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerMode), (std::vector<unsigned>{0, 2}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerExposure0), (std::vector<unsigned>{100}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerLineTimingLow), (std::vector<unsigned>{0xC3}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerLineTimingHigh), (std::vector<unsigned>{2}));
    // Frame length for the trigger logic: exposure + height + 9.
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerFrameLength0),
              (std::vector<unsigned>{(100 + 1024 + 9) & 0xFF}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerFrameLength1),
              (std::vector<unsigned>{(100 + 1024 + 9) >> 8}));
    EXPECT_EQ(controller.SensorWritesTo(kTriggerRegisters),
              (Writes{{0x0200, 1}, {0x0430, 0x13}, {0x0600, 1}, {0x0200, 0}}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerEdge), (std::vector<unsigned>{0}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kRestart), (std::vector<unsigned>{1, 0}));
    int mode = -1;
    ASSERT_EQ(sensor.GetTriggerMode(&mode), 1);
    EXPECT_EQ(mode, 1);
    // Three 100 ms steps and the settling frame: seconds of camera time, none of real time.
    EXPECT_GE(clock.SleptMs() - before, 310u);
}

TEST_F(SensorsImx990TriggerTest, TriggerEdgeSelectsTheFpgaEdgeValue) {
    ASSERT_EQ(sensor.SetTriggerEdge(1), 1);
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerEdge), (std::vector<unsigned>{4}));
}

TEST_F(SensorsImx990TriggerTest, ExposureInTriggerModeReprogramsTheTriggerLogic) {
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    controller.ClearLog();
    ASSERT_EQ(sensor.SetExposureLines(300), 1);
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerExposure0),
              (std::vector<unsigned>{300 & 0xFF}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerExposure1), (std::vector<unsigned>{1}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerMode), (std::vector<unsigned>{0, 2}));
}

TEST_F(SensorsImx990TriggerTest, FreeRunningWhenAlreadyFreeRunningDoesNothing) {
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    EXPECT_TRUE(controller.SensorWrites().empty());
    EXPECT_EQ(sensor.GetTriggerModeValue(), 15);  // only the FPGA is known to run free
    // A changed window forces the full sequence even though the FPGA runs free.
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 512, 0), 1);
    controller.ClearLog();
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    EXPECT_EQ(controller.SensorWritesTo(kTriggerRegisters),
              (Writes{{0x0200, 1}, {0x0430, 0x11}, {0x0600, 0}, {0x0200, 0}}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kRestart), (std::vector<unsigned>{1, 0}));
}

TEST_F(SensorsImx990TriggerTest, LeavingTriggerModeRestoresFreeRunning) {
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    controller.ClearLog();
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerMode), (std::vector<unsigned>{0}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerEdge), (std::vector<unsigned>{0}));
    EXPECT_EQ(controller.SensorWritesTo(kTriggerRegisters),
              (Writes{{0x0200, 1}, {0x0430, 0x11}, {0x0600, 0}, {0x0200, 0}}));
}

TEST_F(SensorsImx990TriggerTest, OldFpgaSkipsEdgeAndRestart) {
    RecordingController oldController;
    oldController.version = 0x0100;
    CSensorIMX990 oldSensor(&oldController);
    ASSERT_EQ(oldSensor.SetTriggerMode(1), 1);
    EXPECT_TRUE(oldController.FpgaWritesTo(fpga::kTriggerEdge).empty());
    EXPECT_TRUE(oldController.FpgaWritesTo(fpga::kRestart).empty());
}

TEST_F(SensorsImx990TriggerTest, Imx991LeavesTheModeRegisterWhileTheFpgaStatusBitIsSet) {
    RecordingController imx991Controller;
    imx991Controller.fpga[fpga::kStatus2] = 1;
    CSensorIMX991 imx991(&imx991Controller);
    ASSERT_EQ(imx991.SetTriggerMode(1), 1);  // from the start value 15: not free-running
    EXPECT_TRUE(imx991Controller.FpgaWritesTo(fpga::kTriggerMode).empty());
    EXPECT_EQ(imx991Controller.FpgaWritesTo(fpga::kTriggerExposure0).size(), 1u);
    EXPECT_EQ(imx991Controller.FpgaWritesTo(fpga::kRestart).size(), 2u);
    // Free-running again: no restart on the IMX991.
    imx991Controller.fpga[fpga::kTriggerMode] = 2;
    imx991Controller.ClearLog();
    ASSERT_EQ(imx991.SetTriggerMode(0), 1);
    EXPECT_EQ(imx991Controller.FpgaWritesTo(fpga::kTriggerMode), (std::vector<unsigned>{0}));
    EXPECT_TRUE(imx991Controller.FpgaWritesTo(fpga::kRestart).empty());
}

TEST_F(SensorsImx990TriggerTest, FpgaControlBitNeedsAPlainNewEnoughFpga) {
    RecordingController newController;
    newController.version = 0x0126;
    newController.fpga[fpga::kControl] = 0x80;
    CSensorIMX990 imx990(&newController);
    ASSERT_EQ(imx990.HasFpgaControlBit(), 1);
    ASSERT_EQ(imx990.SetFpgaControlBit(), 1);
    EXPECT_EQ(newController.Fpga(fpga::kControl), 0x81);

    RecordingController olderController;
    olderController.version = 0x0125;
    CSensorIMX990 older(&olderController);
    EXPECT_EQ(older.HasFpgaControlBit(), 0);
    EXPECT_EQ(older.SetFpgaControlBit(), 0);
    RecordingController correctedController;
    correctedController.version = 0x8200;  // internal correction present
    CSensorIMX990 corrected(&correctedController);
    EXPECT_EQ(corrected.HasFpgaControlBit(), 0);
}

}  // namespace
}  // namespace korvix::sensors
