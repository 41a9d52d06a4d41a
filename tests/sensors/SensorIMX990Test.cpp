// Exact register writes of the IMX990/991 driver against a recording controller.
#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "sensors/RecordingController.h"
#include "sensors/SensorIMX990.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {
namespace {

using test::RecordingController;
using Writes = std::vector<std::pair<unsigned, unsigned>>;

const std::vector<unsigned> kWindowRegisters = {0x023C, 0x0304, 0x0320, 0x0321, 0x0322,
                                                0x0323, 0x0324, 0x0325, 0x0326, 0x0327,
                                                0x02D4, 0x02D5, 0x02D8, 0x02D9};
const std::vector<unsigned> kExposureRegisters = {0x02D4, 0x02D5, 0x02D6, 0x0440, 0x0441, 0x0442};

class SensorsImx990Test : public ::testing::Test {
  protected:
    platform::ManualClock clock;
    platform::ScopedClockOverride clockOverride{clock};
    RecordingController controller;
    CSensorIMX990 sensor{&controller};
};

TEST_F(SensorsImx990Test, FullWindowProgramsVmax1078AndFullHeightMode) {
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 1024, 0), 1);
    const Writes expected = {{0x023C, 0},    {0x0304, 0},   {0x0320, 0},    {0x0321, 0},
                             {0x0322, 0},    {0x0323, 0},   {0x0324, 0x00}, {0x0325, 5},
                             {0x0326, 0x00}, {0x0327, 4},   {0x02D4, 0x36}, {0x02D5, 0x04},
                             {0x02D8, 0xCC}, {0x02D9, 0x03}};  // VMAX 1078, HMAX 972
    EXPECT_EQ(controller.SensorWrites(), expected);
    EXPECT_EQ(sensor.Params().vmaxValue, 1078);
    EXPECT_EQ(sensor.Params().hmaxValue, 972);
}

TEST_F(SensorsImx990Test, HalfHeightWindowUsesItsOwnFrameLengthAndShiftsTheTopEdge) {
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 512, 0), 1);
    // L = 512 + 36 = 548 lines -> VMAX 553; y = 1024 - 512 - 0 = 512 (flipped), + 4.
    const Writes expected = {{0x023C, 0},    {0x0304, 2},   {0x0320, 0},    {0x0321, 0},
                             {0x0322, 0x04}, {0x0323, 2},   {0x0324, 0x00}, {0x0325, 5},
                             {0x0326, 0x00}, {0x0327, 2},   {0x02D4, 0x29}, {0x02D5, 0x02},
                             {0x02D8, 0xCC}, {0x02D9, 0x03}};
    EXPECT_EQ(controller.SensorWrites(), expected);
    EXPECT_EQ(sensor.Params().y, 516);
    EXPECT_EQ(sensor.Params().height, 512);
}

TEST_F(SensorsImx990Test, OrientationOneKeepsTheTopEdge) {
    ASSERT_EQ(sensor.SetModelCode(110), 1);
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 64, 512, 0), 1);
    EXPECT_EQ(sensor.Params().y, 68);
}

TEST_F(SensorsImx990Test, SubsamplingHalvesTheRequestBeforeAlignmentAndRangeChecks) {
    // 1284 / 2 = 642 -> 640 (multiple of 4); 1030 / 2 = 515 -> 512 (multiple of 8). Checked
    // against the array only after halving, so the oversized request fits.
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1284, 0, 1030, 1), 1);
    EXPECT_EQ(sensor.Params().width, 640);
    EXPECT_EQ(sensor.Params().height, 512);
    EXPECT_EQ(controller.Sensor(0x023C), 0x11);
    EXPECT_EQ(controller.Sensor(0x0304), 0);
    EXPECT_EQ(sensor.Params().vmaxValue, 557);  // 552 lines scaled
    controller.ClearLog();
    EXPECT_EQ(sensor.SetCaptureWindow(8, 2560, 0, 2048, 1), 0);  // 8 + 1280 > 1280
    EXPECT_TRUE(controller.SensorWrites().empty());
}

TEST_F(SensorsImx990Test, WindowsThatDoNotFitAreRejectedWithoutWrites) {
    EXPECT_EQ(sensor.SetCaptureWindow(8, 1280, 0, 1024, 0), 0);
    EXPECT_EQ(sensor.SetCaptureWindow(0, 1280, 1, 1024, 0), 0);  // y rounds up to 8
    EXPECT_EQ(sensor.SetCaptureWindow(-8, 640, 0, 512, 0), 0);
    EXPECT_EQ(sensor.SetCaptureWindow(0, 2, 0, 512, 0), 0);  // no width left after alignment
    EXPECT_TRUE(controller.SensorWrites().empty());
    EXPECT_EQ(sensor.Params().width, 1280);
}

TEST_F(SensorsImx990Test, BitDepthChangeReappliesTheWindowAsRequested) {
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 1024, 1), 1);
    ASSERT_EQ(sensor.SetBitDepth(1), 1);
    EXPECT_EQ(sensor.Params().bitDepth, 16);
    EXPECT_EQ(sensor.Params().width, 640);  // halved once, not twice
    EXPECT_EQ(sensor.Params().height, 512);

    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 512, 0), 1);
    ASSERT_EQ(sensor.SetBitDepth(0), 1);
    EXPECT_EQ(sensor.Params().y, 516);  // not flipped and shifted a second time
    EXPECT_EQ(sensor.Params().height, 512);
    EXPECT_EQ(sensor.Params().bitDepth, 8);
}

TEST_F(SensorsImx990Test, ExposureWithinTheFrameKeepsVmax) {
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 1024, 0), 1);
    controller.ClearLog();
    ASSERT_EQ(sensor.SetExposureLines(1078 - 15), 1);
    const Writes expected = {{0x02D6, 0},  {0x02D5, 0x04}, {0x02D4, 0x36},
                             {0x0440, 15}, {0x0441, 0},    {0x0442, 0}};
    EXPECT_EQ(controller.SensorWritesTo(kExposureRegisters), expected);
    EXPECT_EQ(sensor.Params().expLines, 1063);
    EXPECT_EQ(sensor.Params().vmaxValue, 1078);
}

TEST_F(SensorsImx990Test, LongExposureStretchesTheFrameWithTheByteOrderRule) {
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 1024, 0), 1);
    controller.ClearLog();
    // V - 14: the frame grows to 1064 + 15 = 1079 (0x437); same middle byte as V = 0x436,
    // so the zero high byte goes first.
    ASSERT_EQ(sensor.SetExposureLines(1078 - 14), 1);
    Writes expected = {{0x02D6, 0},  {0x02D5, 0x04}, {0x02D4, 0x37},
                       {0x0440, 15}, {0x0441, 0},    {0x0442, 0}};
    EXPECT_EQ(controller.SensorWritesTo(kExposureRegisters), expected);
    EXPECT_EQ(sensor.Params().expLines, 1064);
    EXPECT_EQ(sensor.Params().vmaxValue, 1078);  // the window's frame length stays

    // A frame with a non-zero high byte: high byte first, then the middle byte.
    controller.ClearLog();
    ASSERT_EQ(sensor.SetExposureLines(0x12345), 1);  // N = 0x12354
    expected = {{0x02D6, 0x01}, {0x02D5, 0x23}, {0x02D4, 0x54},
                {0x0440, 15},   {0x0441, 0},    {0x0442, 0}};
    EXPECT_EQ(controller.SensorWritesTo(kExposureRegisters), expected);
}

TEST_F(SensorsImx990Test, ExposureWritesPauseAndStopAtTheFirstFailure) {
    ASSERT_EQ(sensor.SetExposureLines(100), 1);
    controller.failSensorWrites = true;
    controller.ClearLog();
    const uint64_t sleptBefore = clock.SleptMs();
    EXPECT_EQ(sensor.SetExposureLines(200), 0);
    EXPECT_EQ(sensor.Params().expLines, 100);
    // The first write fails all of its 100 attempts; nothing is tried after it.
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kSensorBusRequest).size(), 2u);
    EXPECT_GE(clock.SleptMs() - sleptBefore, 300u);
}

TEST_F(SensorsImx990Test, ExposureTimeConvertsWithTheFullHeightLinePeriod) {
    ASSERT_EQ(sensor.SetExposureTime(138), 1);
    // (13.8 ms - 7372 ns) / 12959.94 ns = 1064 lines at full height.
    EXPECT_EQ(sensor.Params().expLines, 1064);
    EXPECT_EQ(sensor.Params().expTime, 138);
    EXPECT_DOUBLE_EQ(sensor.Params().expSec, 0.0138);
    ASSERT_EQ(sensor.SetExposureTime(0), 1);  // clamped to the minimum
    EXPECT_EQ(sensor.Params().expTime, 1);
    ASSERT_EQ(sensor.SetExposureTimeEx(5.0), 1);  // clamped to 2 s
    EXPECT_DOUBLE_EQ(sensor.Params().expSec, 2.0);
    EXPECT_EQ(sensor.Params().expTime, 20000);
}

TEST_F(SensorsImx990Test, Imx991ShortExposureAndTwelveBitShutter) {
    RecordingController imx991Controller;
    CSensorIMX991 imx991(&imx991Controller);
    ASSERT_EQ(imx991.SetExposureTime(1), 1);
    // trunc((100000 - 7372) / 12961.774681455678) = 7 lines.
    EXPECT_EQ(imx991.Params().expLines, 7);
    const unsigned v = static_cast<unsigned>(imx991.Params().vmaxValue);  // 536
    EXPECT_EQ(imx991Controller.SensorWritesTo({0x0440, 0x0441, 0x0442}),
              (Writes{{0x0440, (v - 7) & 0xFF}, {0x0441, ((v - 7) >> 8) & 0x0F}, {0x0442, 0}}));
}

TEST_F(SensorsImx990Test, GainIsLimitedAndMirrorsMoveTheFpgaStartOffset) {
    ASSERT_EQ(sensor.SetGlobalGain(1000), 1);
    EXPECT_EQ(sensor.Params().gain, 420);
    EXPECT_EQ(controller.Sensor(0x0714), 420 & 0xFF);
    EXPECT_EQ(controller.Sensor(0x0715), 1);

    ASSERT_EQ(sensor.SetMirrorV(1), 1);
    ASSERT_EQ(sensor.SetMirrorH(1), 1);
    EXPECT_EQ(controller.Sensor(0x0404), 3);
    EXPECT_EQ(controller.Fpga(fpga::kStartOffsetLow), 104);
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 1024, 1), 1);
    ASSERT_EQ(sensor.SetMirrorH(0), 1);
    EXPECT_EQ(controller.Sensor(0x0404), 1);
    EXPECT_EQ(controller.Fpga(fpga::kStartOffsetLow), 4);
}

TEST_F(SensorsImx990Test, Imx991FastReadoutUsesItsOwnStartOffsets) {
    RecordingController fastController;
    fastController.version = 0x4200;
    CSensorIMX991 imx991(&fastController);
    ASSERT_EQ(imx991.SetMirrorH(1), 1);
    EXPECT_EQ(fastController.Fpga(fpga::kStartOffsetLow), 100);
    EXPECT_EQ(imx991.CanOutput16Bit(), 0);
}

TEST_F(SensorsImx990Test, InitSensorProgramsThePowerUpDefaults) {
    ASSERT_EQ(sensor.InitSensor(), 1);
    const Writes writes = controller.SensorWrites();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[0], (std::pair<unsigned, unsigned>{0x0702, 0}));
    EXPECT_EQ(writes[1], (std::pair<unsigned, unsigned>{0x07C0, 60}));
    EXPECT_EQ(writes[2], (std::pair<unsigned, unsigned>{0x07C1, 0}));
    EXPECT_EQ(sensor.Params().expLines, 1064);
    EXPECT_EQ(sensor.Params().vmaxValue, 1078);
    // The default exposure is one line longer than the full frame allows: frame 1079.
    EXPECT_EQ(controller.Sensor(0x0440), 15);
    EXPECT_EQ(controller.Sensor(0x02D4), 0x37);
    EXPECT_DOUBLE_EQ(sensor.Params().expSecMin, 0.000020333);
}

}  // namespace
}  // namespace korvix::sensors
