// Exact register writes of the IMX992/993 driver against a recording controller.
#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "sensors/RecordingController.h"
#include "sensors/SensorIMX992.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {
namespace {

using test::RecordingController;
using Writes = std::vector<std::pair<unsigned, unsigned>>;
const std::vector<unsigned> kExposureRegisters = {0x02D4, 0x02D5, 0x02D6, 0x0440, 0x0441, 0x0442};
const std::vector<unsigned> kWindowRegisters = {0x0320, 0x0321, 0x0322, 0x0323,
                                                0x0324, 0x0325, 0x0326, 0x0327};

class SensorsImx992Test : public ::testing::Test {
  protected:
    void EightBitFullFrame() {
        ASSERT_EQ(sensor.SetBitDepth(0), 1);
        ASSERT_EQ(sensor.SetCaptureWindow(0, 2560, 0, 2048, 0), 1);
        controller.ClearLog();
    }

    platform::ManualClock clock;
    platform::ScopedClockOverride clockOverride{clock};
    RecordingController controller;
    CSensorIMX992 sensor{&controller};
};

TEST_F(SensorsImx992Test, LongExposureStretchesTheFrameToAnEvenLength) {
    EightBitFullFrame();
    ASSERT_EQ(sensor.SetExposureLines(3000), 1);  // 3000 > 2140 - 52
    // N = 3052 (0xBEC), SHS = 52.
    EXPECT_EQ(
        controller.SensorWritesTo(kExposureRegisters),
        (Writes{
            {0x02D6, 0}, {0x02D5, 0x0B}, {0x02D4, 0xEC}, {0x0440, 52}, {0x0441, 0}, {0x0442, 0}}));
    int lines = 0;
    ASSERT_EQ(sensor.GetExposureLines(&lines), 1);
    EXPECT_EQ(lines, 3000);
}

TEST_F(SensorsImx992Test, ShortExposureIsAlignedToEvenLines) {
    EightBitFullFrame();
    ASSERT_EQ(sensor.SetExposureLines(1001), 1);
    // N = 2140 (0x85C), S = 1140 (0x474), exposure 1000.
    EXPECT_EQ(controller.SensorWritesTo(kExposureRegisters), (Writes{{0x02D6, 0},
                                                                     {0x02D5, 0x08},
                                                                     {0x02D4, 0x5C},
                                                                     {0x0440, 0x74},
                                                                     {0x0441, 0x04},
                                                                     {0x0442, 0}}));
    EXPECT_EQ(sensor.Params().expLines, 1000);
    // The trigger logic follows every exposure: lines, 8-bit line timing, frame length.
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerExposure0), (std::vector<unsigned>{0xE8}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerExposure1), (std::vector<unsigned>{0x03}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerLineTimingLow), (std::vector<unsigned>{0x64}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerLineTimingHigh), (std::vector<unsigned>{1}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerFrameLength0), (std::vector<unsigned>{0x2B}));
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kTriggerFrameLength1), (std::vector<unsigned>{0x08}));
}

TEST_F(SensorsImx992Test, ShorterLongExposureWritesTheSmallerMiddleByteFirst) {
    EightBitFullFrame();
    ASSERT_EQ(sensor.SetExposureLines(3000), 1);  // frame 0xBEC in force
    controller.ClearLog();
    ASSERT_EQ(sensor.SetExposureLines(2500), 1);  // frame 2552 = 0x9F8
    EXPECT_EQ(controller.SensorWritesTo({0x02D4, 0x02D5, 0x02D6}),
              (Writes{{0x02D5, 0x09}, {0x02D6, 0}, {0x02D4, 0xF8}}));
}

TEST_F(SensorsImx992Test, ExposureIsClampedToTheLimits) {
    EightBitFullFrame();
    ASSERT_EQ(sensor.SetExposureLines(0), 1);
    EXPECT_EQ(sensor.Params().expLines, 2);
    ASSERT_EQ(sensor.SetExposureLines(0xFFFFFFFF), 1);
    EXPECT_EQ(controller.Sensor(0x02D6), 0xFF);  // the frame length still fits 24 bits
    EXPECT_EQ(sensor.Params().expLines % 2, 0);
}

TEST_F(SensorsImx992Test, WindowAlignmentAndRangeChecks) {
    EXPECT_EQ(sensor.SetCaptureWindow(0, 2564, 0, 2048, 0), 0);   // width not a multiple of 8
    EXPECT_EQ(sensor.SetCaptureWindow(0, 2688, 0, 2048, 0), 0);   // wider than the array
    EXPECT_EQ(sensor.SetCaptureWindow(0, 2560, 2, 2044, 0), 0);   // y not a multiple of 4
    EXPECT_EQ(sensor.SetCaptureWindow(16, 2560, 0, 2048, 1), 0);  // mode 1 starts at 0
    EXPECT_EQ(sensor.SetCaptureWindow(0, 2560, 0, 2048, 2), 0);   // no such mode
    EXPECT_EQ(sensor.SetCaptureWindow(0, 2560, 0, 2040, 17), 0);  // 2040 not a multiple of 32
    EXPECT_TRUE(controller.log.empty());
}

TEST_F(SensorsImx992Test, SubsampledReadoutIsTheWholeArrayFromLineFour) {
    ASSERT_EQ(sensor.SetCaptureWindow(0, 2560, 0, 2048, 1), 1);
    EXPECT_EQ(controller.SensorWritesTo(kWindowRegisters), (Writes{{0x0320, 0},
                                                                   {0x0321, 0},
                                                                   {0x0322, 4},
                                                                   {0x0323, 0},
                                                                   {0x0324, 0x00},
                                                                   {0x0325, 0x0A},
                                                                   {0x0326, 0x00},
                                                                   {0x0327, 0x08}}));
    EXPECT_EQ(controller.Sensor(0x023C), 0x11);
    EXPECT_EQ(controller.Sensor(0x0400), 0x24);
    EXPECT_EQ(controller.Fpga(fpga::kSubsampleMode), 1);
    EXPECT_EQ(controller.SensorWritesTo({0x02D4, 0x02D5, 0x02D6}),
              (Writes{{0x02D4, 1116 & 0xFF}, {0x02D5, 1116 >> 8}, {0x02D6, 0}}));
    int x, width, y, height, mode;
    ASSERT_EQ(sensor.GetCaptureWindow(&x, &width, &y, &height, &mode), 1);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 1024);
    EXPECT_EQ(mode, 1);
    // Re-applied after a bit-depth change, the readout stays the same.
    ASSERT_EQ(sensor.SetBitDepth(1), 1);
    EXPECT_EQ(sensor.Params().width, 1280);
    EXPECT_EQ(sensor.Params().subsampleMode, 1);
}

TEST_F(SensorsImx992Test, PartialWindowIsFlippedAndGetsItsOwnFrameLength) {
    ASSERT_EQ(sensor.SetBitDepth(0), 1);
    ASSERT_EQ(sensor.SetCaptureWindow(0, 2560, 8, 1000, 0), 1);
    EXPECT_EQ(controller.Sensor(0x0304), 2);
    const int flippedY = 2048 - 8 - 1000;
    EXPECT_EQ(controller.Sensor(0x0322), flippedY & 0xFF);
    EXPECT_EQ(controller.Sensor(0x0323), flippedY >> 8);
    EXPECT_EQ(sensor.Params().y, 8);  // stored as requested
    EXPECT_EQ(controller.Sensor(0x02D4), (1000 + 84) & 0xFF);
}

TEST_F(SensorsImx992Test, ReconfigurationBitDepthIsRememberedPerSensorObject) {
    RecordingController otherController;
    CSensorIMX992 other(&otherController);
    ASSERT_EQ(sensor.SetBitDepth(0), 1);  // this sensor sees 8 bits
    ASSERT_EQ(other.SetBitDepth(1), 1);   // the other camera sees 16 bits
    controller.ClearLog();
    ASSERT_EQ(sensor.SetCaptureWindow(0, 2560, 0, 2048, 0), 1);
    // Same mode and same bit depth as this sensor's previous call: no standby bracket.
    EXPECT_TRUE(controller.SensorWritesTo({0x0200, 0x020C}).empty());

    controller.ClearLog();
    ASSERT_EQ(sensor.SetBitDepth(1), 1);
    EXPECT_EQ(controller.SensorWritesTo({0x0200, 0x020C}), (Writes{{0x0200, 1},
                                                                   {0x020C, 1},
                                                                   {0x0200, 0},
                                                                   {0x020C, 0},  // line length
                                                                   {0x0200, 1},
                                                                   {0x020C, 1},
                                                                   {0x0200, 0},
                                                                   {0x020C, 0}}));  // new depth
    // Written by the bit-depth change and again by the re-applied window.
    EXPECT_EQ(
        controller.SensorWritesTo({0x02D8, 0x02D9}),
        (Writes{
            {0x02D8, 978 & 0xFF}, {0x02D9, 978 >> 8}, {0x02D8, 978 & 0xFF}, {0x02D9, 978 >> 8}}));
    EXPECT_NEAR(sensor.Params().expSecMin, 2 * 978.0 / 489 * 355.7 * 1000 / 54545 / 1e6, 1e-12);
}

TEST_F(SensorsImx992Test, GainModeRoundTripKeepsTheOtherBits) {
    controller.sensor[0x0710] = 0xF0;
    ASSERT_EQ(sensor.SetGainMode(0), 1);
    EXPECT_EQ(controller.Sensor(0x0710), 0xF1);
    EXPECT_EQ(sensor.GetGainMode(), 0);
    ASSERT_EQ(sensor.SetGainMode(1), 1);
    EXPECT_EQ(controller.Sensor(0x0710), 0xF0);
    EXPECT_EQ(sensor.GetGainMode(), 1);
    EXPECT_EQ(sensor.SetGainMode(2), 0);  // no such mode: register untouched
    EXPECT_EQ(controller.Sensor(0x0710), 0xF0);
    EXPECT_FALSE(controller.FpgaWritesTo(fpga::kSensorBusRequest).empty());  // arbitrated
}

TEST_F(SensorsImx992Test, Imx993GainModeUsesRawAccess) {
    RecordingController imx993Controller;
    CSensorIMX993 imx993(&imx993Controller);
    ASSERT_EQ(imx993.SetGainMode(1), 1);
    EXPECT_EQ(imx993.GetGainMode(), 1);
    EXPECT_TRUE(imx993Controller.FpgaWritesTo(fpga::kSensorBusRequest).empty());
}

TEST_F(SensorsImx992Test, MirrorStartOffsetsFollowTheMode) {
    ASSERT_EQ(sensor.SetMirrorH(1), 1);
    EXPECT_EQ(controller.Fpga(fpga::kStartOffsetLow), 16);
    ASSERT_EQ(sensor.SetMirrorH(0), 1);
    EXPECT_EQ(controller.Fpga(fpga::kStartOffsetLow), 112);
    ASSERT_EQ(sensor.SetCaptureWindow(0, 2560, 0, 2048, 17), 1);
    ASSERT_EQ(sensor.SetMirrorH(1), 1);
    EXPECT_EQ(controller.Fpga(fpga::kStartOffsetLow), 8);
    EXPECT_EQ(controller.Fpga(fpga::kStartOffsetHigh), 0);
    EXPECT_EQ(controller.Fpga(fpga::kSubsampleMode), 2);
    EXPECT_EQ(controller.Sensor(0x0400), 0xAC);
}

TEST_F(SensorsImx992Test, Imx993InitIdentifiesTheAuxModeAndSetsTheBlackLevel) {
    RecordingController imx993Controller;
    imx993Controller.sensor[0x0720] = 0x50;
    imx993Controller.sensor[0x0740] = 1;
    imx993Controller.sensor[0x0430] = 0x03;
    CSensorIMX993 imx993(&imx993Controller);
    ASSERT_EQ(imx993.InitSensor(), 1);
    int aux = 0;
    EXPECT_EQ(imx993.GetAuxMode(&aux), 1);
    EXPECT_EQ(aux, 1);
    EXPECT_EQ(imx993Controller.SensorWritesTo({0x07C0, 0x07C1}),
              (Writes{{0x07C0, 240}, {0x07C1, 0}}));
    // The window code puts 10 into 0x0430 bits 2..7, keeping bits 0..1.
    EXPECT_EQ(imx993Controller.Sensor(0x0430), 0x2B);
    EXPECT_EQ(imx993Controller.Sensor(0x0431), 0);
    EXPECT_EQ(imx993Controller.SensorWrites().front(), (std::pair<unsigned, unsigned>{0x0702, 0}));

    ASSERT_EQ(imx993.SetBlackLevel(5000), 1);
    int black = 0;
    imx993.GetBlackLevel(&black);
    EXPECT_EQ(black, 4095);
    EXPECT_EQ(imx993Controller.Sensor(0x07C1), 0x0F);
    EXPECT_EQ(sensor.SetBlackLevel(100), 0);  // the IMX992 has no black level
}

TEST_F(SensorsImx992Test, Imx993ExposureTimeSubtractsItsOffset) {
    RecordingController imx993Controller;
    CSensorIMX993 imx993(&imx993Controller);
    ASSERT_EQ(imx993.SetExposureTime(1), 1);
    // trunc((100 - 14.802) / 6.5212...) = 13 lines, aligned down to 12.
    EXPECT_EQ(imx993.Params().expLines, 12);
    EXPECT_EQ(imx993.Params().expTime, 1);
    EXPECT_DOUBLE_EQ(imx993.Params().expSec, 0.0001);
}

}  // namespace
}  // namespace korvix::sensors
