// The parts every head shares: parameter block, register access with the FPGA sensor-bus
// interlock, FPGA routines, temperature, Peltier, and the behaviour without a controller.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/Clock.h"
#include "sensors/RecordingController.h"
#include "sensors/SensorIMX990.h"
#include "sensors/SensorIMX992.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {
namespace {

using test::RecordingController;
using Target = RecordingController::Target;

class SensorsBaseTest : public ::testing::Test {
  protected:
    platform::ManualClock clock;
    platform::ScopedClockOverride clockOverride{clock};
    RecordingController controller;
};

TEST_F(SensorsBaseTest, CopyParamsCopiesTheWholeBlockByteForByte) {
    CSensorIMX990 sensor(&controller);
    sensor.Params().expSec = 0.0123456789;
    sensor.Params().reserved91 = 0x5A5A5A5A;
    SensorParams copy;
    std::memset(&copy, 0xEE, sizeof copy);
    ASSERT_EQ(sensor.CopyParams(&copy), 1);
    EXPECT_EQ(std::memcmp(&copy, &sensor.Params(), sizeof copy), 0);
    EXPECT_EQ(copy.expSec, 0.0123456789);
    EXPECT_EQ(sensor.CopyParams(nullptr), 0);
}

TEST_F(SensorsBaseTest, ModelCodesSetOrientationAndPeltierVariant) {
    CSensorIMX991 sensor(&controller);
    EXPECT_EQ(sensor.SetModelCode(109), 0);  // an IMX990 code is not this head's
    EXPECT_EQ(sensor.Params().orientation, 4);
    EXPECT_EQ(sensor.HasPeltier(), 0);
    EXPECT_EQ(sensor.SetModelCode(112), 1);
    EXPECT_EQ(sensor.Params().orientation, 1);
    EXPECT_EQ(sensor.HasPeltier(), 1);
    EXPECT_EQ(sensor.SetModelCode(111), 1);
    EXPECT_EQ(sensor.Params().orientation, 4);
    EXPECT_EQ(sensor.HasPeltier(), 0);
}

TEST_F(SensorsBaseTest, ArbitratedWriteHoldsTheBusRequestAroundTheTransfer) {
    CSensorIMX992 sensor(&controller);
    ASSERT_EQ(sensor.WriteRegisterArbitrated(0x0714, 0x1AB), 1);
    const std::vector<RecordingController::Write> expected = {
        {Target::kFpga, fpga::kSensorBusRequest, 1},
        {Target::kSensor, 0x0714, 0xAB},
        {Target::kFpga, fpga::kSensorBusRequest, 0}};
    EXPECT_EQ(controller.log, expected);
    EXPECT_EQ(controller.sensorReads, 0);  // the IMX992 does not read back
}

TEST_F(SensorsBaseTest, ArbitratedWriteWaitsForAnIdleBusAndGivesUpAfter100Attempts) {
    CSensorIMX992 sensor(&controller);
    controller.fpga[fpga::kStatus] = 0x02;  // busy
    EXPECT_EQ(sensor.WriteRegisterArbitrated(0x0714, 1), 0);
    EXPECT_TRUE(controller.SensorWrites().empty());
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kSensorBusRequest), (std::vector<unsigned>{1, 0}));
    EXPECT_EQ(clock.SleptMs(), 300u);  // 100 attempts, 3 ms apart
}

TEST_F(SensorsBaseTest, Imx990WriteWhoseReadBackDiffersRetries100TimesAndReleasesTheBus) {
    CSensorIMX990 sensor(&controller);
    controller.stuckSensorReadValue = 0x33;
    EXPECT_EQ(sensor.WriteRegisterArbitrated(0x0714, 0x20), 0);
    EXPECT_EQ(controller.SensorWrites().size(), 100u);
    EXPECT_EQ(controller.sensorReads, 100);
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kSensorBusRequest), (std::vector<unsigned>{1, 0}));
    EXPECT_EQ(controller.Fpga(fpga::kSensorBusRequest), 0);

    controller.stuckSensorReadValue = 0x20;  // now the read-back matches
    EXPECT_EQ(sensor.WriteRegisterArbitrated(0x0714, 0x20), 1);
}

// A read the controller accepts but that brings no byte back confirms nothing: the
// verified write of 0 keeps failing (its read-back preset never matches), and an
// arbitrated read fails with the caller's value untouched.
TEST_F(SensorsBaseTest, Imx990ReadBackWithoutDataNeverConfirmsAWrite) {
    CSensorIMX990 sensor(&controller);
    controller.sensorReadsWithoutData = true;
    EXPECT_EQ(sensor.WriteRegisterArbitrated(0x0714, 0x00), 0);
    EXPECT_EQ(controller.sensorReads, 100);
    EXPECT_EQ(controller.Fpga(fpga::kSensorBusRequest), 0);
    int value = 0x5555;
    EXPECT_EQ(sensor.ReadRegister(0x0714, &value), 0);
    EXPECT_EQ(value, 0x5555);
}

TEST_F(SensorsBaseTest, RawAccessSkipsTheBusRequestAndReadsZeroExtended) {
    CSensorIMX993 sensor(&controller);
    controller.sensor[0x0710] = 0xFE;
    int value = -1;
    ASSERT_EQ(sensor.ReadRegister(0x0710, &value), 1);
    EXPECT_EQ(value, 0xFE);
    ASSERT_EQ(sensor.WriteRegister(0x0710, 0x12), 1);
    EXPECT_TRUE(controller.FpgaWritesTo(fpga::kSensorBusRequest).empty());
    EXPECT_EQ(controller.Sensor(0x0710), 0x12);
    EXPECT_EQ(sensor.ReadRegister(0x0710, nullptr), 0);
}

TEST_F(SensorsBaseTest, FpgaVersionIsRetriedThenCached) {
    CSensorIMX990 sensor(&controller);
    controller.version.reset();
    EXPECT_EQ(sensor.GetFpgaVersion(), 0);
    EXPECT_EQ(controller.versionReads, 10);
    EXPECT_EQ(clock.SleptMs(), 1000u);
    EXPECT_EQ(sensor.IsOldFpga(), 0);  // unreadable counts as not old

    controller.version = 0xC110;
    EXPECT_EQ(sensor.GetFpgaVersion(), 0xC110);
    controller.version = 0x0001;
    EXPECT_EQ(sensor.GetFpgaVersion(), 0xC110);  // cached
    EXPECT_EQ(sensor.IsFastReadout(), 1);
    EXPECT_EQ(sensor.HasInternalCorrection(), 1);
    EXPECT_EQ(sensor.CanOutput16Bit(), 0);
}

TEST_F(SensorsBaseTest, OldFpgaIsAtMost0x110) {
    controller.version = 0x0110;
    CSensorIMX990 oldFpga(&controller);
    EXPECT_EQ(oldFpga.IsOldFpga(), 1);
    controller.version = 0x0111;
    CSensorIMX990 newFpga(&controller);
    EXPECT_EQ(newFpga.IsOldFpga(), 0);
}

// An FPGA register that never takes the value: ten attempts, then failure.
class StuckFpgaController : public RecordingController {
  public:
    int ReadFpgaRegister(uint8_t reg, uint8_t *value) override {
        if (reg == 0x58) {
            *value = 0x77;
            return 1;
        }
        return RecordingController::ReadFpgaRegister(reg, value);
    }
};

TEST_F(SensorsBaseTest, VerifiedFpgaWriteTriesTenTimes) {
    StuckFpgaController stuck;
    CSensorIMX990 sensor(&stuck);
    EXPECT_EQ(sensor.WriteFpgaVerified(0x58, 2), 0);
    EXPECT_EQ(stuck.FpgaWritesTo(0x58).size(), 10u);
    EXPECT_EQ(clock.SleptMs(), 100u);
    EXPECT_EQ(sensor.WriteFpgaVerifiedTimed(0x50, 7), 1);
    EXPECT_EQ(stuck.Fpga(0x50), 7);
}

TEST_F(SensorsBaseTest, RestartPulseOnlyWhenPending) {
    CSensorIMX990 sensor(&controller);
    EXPECT_EQ(sensor.PulseRestart(), 1);
    EXPECT_EQ(controller.FpgaWritesTo(fpga::kRestart), (std::vector<unsigned>{1, 0}));
}

TEST_F(SensorsBaseTest, TemperatureFromTheSensorLatch) {
    CSensorIMX990 sensor(&controller);  // FPGA 0x0200: below 0x8024, the sensor samples
    controller.sensor[reg::kTemperatureLatch] = 0x40;
    controller.sensor[reg::kTemperatureLow] = 0xF8;
    controller.sensor[reg::kTemperatureHigh] = 0x0F;
    double celsius = 99.0;
    ASSERT_EQ(sensor.GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, -1.0);
    EXPECT_EQ(controller.SensorWritesTo({reg::kTemperatureLatch}),
              (std::vector<std::pair<unsigned, unsigned>>{{reg::kTemperatureLatch, 0x41},
                                                          {reg::kTemperatureLatch, 0x40}}));
    controller.sensor[reg::kTemperatureLow] = 0x90;
    controller.sensor[reg::kTemperatureHigh] = 0x01;
    ASSERT_EQ(sensor.GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, 50.0);
    EXPECT_EQ(sensor.GetTemperature(nullptr), 0);
}

TEST_F(SensorsBaseTest, TemperatureFromTheFpgaOnNewerVersions) {
    controller.version = 0x0105;  // IMX992: the FPGA samples from 0x105 on
    CSensorIMX992 sensor(&controller);
    controller.fpga[fpga::kTemperatureLow] = 0x90;
    controller.fpga[fpga::kTemperatureHigh] = 0xF1;  // only the low 4 bits count
    double celsius = 0;
    ASSERT_EQ(sensor.GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, 50.0);
    EXPECT_TRUE(controller.SensorWrites().empty());
}

TEST_F(SensorsBaseTest, PeltierOnlyOnTheSecondModelCode) {
    CSensorIMX992 sensor(&controller);
    EXPECT_EQ(sensor.SetPeltier(1), 0);
    ASSERT_EQ(sensor.SetModelCode(130), 1);
    controller.fpga[fpga::kPeltier] = 0xA0;
    ASSERT_EQ(sensor.SetPeltier(1), 1);
    EXPECT_EQ(controller.Fpga(fpga::kPeltier), 0xA1);  // other bits kept
    EXPECT_EQ(sensor.GetPeltier(), 1);
    ASSERT_EQ(sensor.SetPeltier(0), 1);
    EXPECT_EQ(controller.Fpga(fpga::kPeltier), 0xA0);
    EXPECT_EQ(sensor.GetPeltier(), 0);
}

TEST_F(SensorsBaseTest, CapabilityAnswersOfTheHeads) {
    CSensorIMX990 imx990(&controller);
    CSensorIMX993 imx993(&controller);
    EXPECT_EQ(imx990.GetGainMode(), -1);
    EXPECT_EQ(imx990.HasGainMode(), 0);
    EXPECT_EQ(imx993.HasGainMode(), 1);
    EXPECT_EQ(imx990.CanOutputColor(), 0);
    EXPECT_EQ(imx993.CanOutputColor(), 0);
    EXPECT_EQ(imx990.IsBlackLevelSupported(), 0);
    EXPECT_EQ(imx993.IsBlackLevelSupported(), 1);
    EXPECT_EQ(imx993.IsAuxModeSupported(), 1);
    EXPECT_EQ(imx990.HasTriggerEdge(), 1);  // FPGA version 0x200 >= 5
    EXPECT_EQ(imx993.HasTriggerEdge(), 0);
    controller.version = 0x8200;
    CSensorIMX993 correctedImx993(&controller);
    EXPECT_EQ(correctedImx993.HasInternalCorrection(), 0);
    double value = 0;
    EXPECT_EQ(imx990.GetExposureTimeExMax(&value), 1.0);
    EXPECT_EQ(value, 2.0);
}

// Without a controller every setter fails and the parameter block stays as it was.
template <typename Sensor>
void ExpectSettersFailWithoutController() {
    Sensor sensor(nullptr);
    SensorParams before;
    sensor.CopyParams(&before);
    EXPECT_EQ(sensor.InitSensor(), 0);
    EXPECT_EQ(sensor.SetCaptureWindow(0, 640, 0, 512, 0), 0);
    EXPECT_EQ(sensor.SetTriggerMode(1), 0);
    EXPECT_EQ(sensor.SetBitDepth(1), 0);
    EXPECT_EQ(sensor.SetExposureLines(100), 0);
    EXPECT_EQ(sensor.SetExposureTime(50), 0);
    EXPECT_EQ(sensor.SetExposureTimeEx(0.01), 0);
    EXPECT_EQ(sensor.SetGlobalGain(100), 0);
    EXPECT_EQ(sensor.SetBlackLevel(100), 0);
    EXPECT_EQ(sensor.SetMirrorH(1), 0);
    EXPECT_EQ(sensor.SetMirrorV(1), 0);
    EXPECT_EQ(sensor.SetGainMode(1), 0);
    EXPECT_EQ(sensor.SetPeltier(1), 0);
    EXPECT_EQ(sensor.WriteRegister(0x0200, 1), 0);
    EXPECT_EQ(sensor.WriteRegisterArbitrated(0x0200, 1), 0);
    double celsius = 0;
    EXPECT_EQ(sensor.GetTemperature(&celsius), 0);
    SensorParams after;
    sensor.CopyParams(&after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    int x = -1, width = -1, y = -1, height = -1, mode = -1;
    ASSERT_EQ(sensor.GetCaptureWindow(&x, &width, &y, &height, &mode), 1);
    EXPECT_EQ(width, before.sensorWidth);
    int gain = -1;
    EXPECT_EQ(sensor.GetGlobalGain(&gain), 1);
    EXPECT_EQ(gain, before.gain);
}

TEST_F(SensorsBaseTest, WithoutControllerSettersFailAndKeepTheParameters) {
    ExpectSettersFailWithoutController<CSensorIMX990>();
    ExpectSettersFailWithoutController<CSensorIMX991>();
    ExpectSettersFailWithoutController<CSensorIMX992>();
    ExpectSettersFailWithoutController<CSensorIMX993>();
}

}  // namespace
}  // namespace korvix::sensors
