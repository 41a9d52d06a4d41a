#include <gtest/gtest.h>

#include "CoreSimFixture.h"
#include "sensors/SensorBase.h"

namespace korvix::core::test {
namespace {

// Before Open there is no sensor: every forward answers 0 (the output capabilities 1) and
// leaves the caller's outputs alone.
TEST(CoreForwardsWithoutSensor, AnswerTheirDefaults) {
    CKorvixUSB3T2SimpleSdk core;
    core.SetProductCode(0x3260);
    int out = 77;
    double seconds = 7.5;
    sensors::SensorParams params{};

    EXPECT_EQ(core.CopyParams(&params), 0);
    EXPECT_EQ(core.SetMirrorH(1), 0);
    EXPECT_EQ(core.SetMirrorV(1), 0);
    EXPECT_EQ(core.GetMirrorH(), 0);
    EXPECT_EQ(core.GetMirrorV(), 0);
    EXPECT_EQ(core.GetMirrorHDefault(), 0);
    EXPECT_EQ(core.GetMirrorVDefault(), 0);
    EXPECT_EQ(core.IsMirrorHSupported(), 0);
    EXPECT_EQ(core.IsMirrorVSupported(), 0);
    EXPECT_EQ(core.GetTriggerMode(&out), 0);
    EXPECT_EQ(core.GetWidthVariable(), 0);
    EXPECT_EQ(core.GetHeightVariable(), 0);
    EXPECT_EQ(core.GetSensorWidth(), 0);
    EXPECT_EQ(core.GetSensorHeight(), 0);
    EXPECT_EQ(core.GetDefaultWidth(), 0);
    EXPECT_EQ(core.GetDefaultHeight(), 0);
    EXPECT_EQ(core.GetDefaultX(), 0);
    EXPECT_EQ(core.GetDefaultY(), 0);
    EXPECT_EQ(core.SetGlobalGain(10), 0);
    EXPECT_EQ(core.GetGlobalGain(), 0);
    EXPECT_EQ(core.GetGlobalGainMin(), 0);
    EXPECT_EQ(core.GetGlobalGainMax(), 0);
    EXPECT_EQ(core.GetGlobalGainDefault(), 0);
    EXPECT_EQ(core.SetExposureTime(100), 0);
    EXPECT_EQ(core.GetExposureTime(), 0);
    EXPECT_EQ(core.GetExposureTimeMin(), 0);
    EXPECT_EQ(core.GetExposureTimeMax(), 0);
    EXPECT_EQ(core.GetExposureTimeDefault(), 0);
    EXPECT_EQ(core.SetExposureLines(10), 0);
    EXPECT_EQ(core.GetExposureLines(), 0);
    EXPECT_EQ(core.GetExposureLinesMin(), 0);
    EXPECT_EQ(core.GetExposureLinesMax(), 0);
    EXPECT_EQ(core.GetExposureLinesDefault(), 0);
    EXPECT_EQ(core.IsExposureTimeExSupported(), 0);
    EXPECT_EQ(core.SetExposureTimeEx(1.0), 0);
    EXPECT_EQ(core.GetExposureTimeEx(&seconds), 0);
    EXPECT_EQ(core.GetExposureTimeExMin(&seconds), 0);
    EXPECT_EQ(core.GetExposureTimeExMax(&seconds), 0);
    EXPECT_EQ(core.GetExposureTimeExDefault(&seconds), 0);
    EXPECT_EQ(core.GetChannelGainMin(), 0);
    EXPECT_EQ(core.GetChannelGainMax(), 0);
    EXPECT_EQ(core.GetChannelGainDefault(), 0);
    EXPECT_EQ(core.IsBlackLevelSupported(), 0);
    EXPECT_EQ(core.SetBlackLevel(5), 0);
    EXPECT_EQ(core.GetBlackLevel(), 0);
    EXPECT_EQ(core.GetBlackLevelMin(), 0);
    EXPECT_EQ(core.GetBlackLevelMax(), 0);
    EXPECT_EQ(core.GetBlackLevelDefault(), 0);
    EXPECT_EQ(core.IsAuxModeSupported(), 0);
    EXPECT_EQ(core.GetAuxMode(&out), 0);
    EXPECT_EQ(core.SetAuxMode(1), 0);
    EXPECT_EQ(core.SetColorGain(sensors::ColorGainChannel::Red, 10), 0);
    EXPECT_EQ(core.GetColorGain(sensors::ColorGainChannel::Blue), 0);
    EXPECT_EQ(core.SetSamplingRate(1), 0);
    EXPECT_EQ(core.HasGainMode(), 0);
    EXPECT_EQ(core.SetGainMode(1), 0);
    EXPECT_EQ(core.GetGainMode(), 0);
    EXPECT_EQ(core.HasPeltier(), 0);
    EXPECT_EQ(core.GetPeltier(), 0);
    EXPECT_EQ(core.SetPeltier(1), 0);
    EXPECT_EQ(core.HasTemperature(), 0);
    EXPECT_EQ(core.GetTemperature(&seconds), 0);
    EXPECT_EQ(core.SetTriggerEdge(1), 0);
    EXPECT_EQ(core.PrepareTrigger(), 0);
    EXPECT_EQ(core.HasTriggerEdge(), 0);
    EXPECT_EQ(core.IsGainStepSupported(), 0);
    EXPECT_EQ(core.GetGainStepMin(), 0);
    EXPECT_EQ(core.GetGainStepMax(), 0);
    EXPECT_EQ(core.GetGainStepDefault(), 0);
    EXPECT_EQ(core.SetCaptureWindow(0, 0, 1280, 1024, 0), 0);
    EXPECT_EQ(core.GetCaptureWindow(&out, &out, &out, &out, &out), 0);
    EXPECT_EQ(core.SetTriggerMode(1, 1), 0);
    EXPECT_EQ(core.SetClockMode(2), 0);
    EXPECT_EQ(core.GetClockMode(&out), 0);
    EXPECT_EQ(core.SetBitMode(1), 0);
    EXPECT_EQ(core.HasInternalCorrection(), 0);
    EXPECT_EQ(core.GetInternalCorrection(), 0);
    EXPECT_EQ(core.SetInternalCorrection(1), 0);
    EXPECT_EQ(core.IsCorrectionValueSupported(), 0);
    EXPECT_EQ(core.SetCorrectionValue(3), 0);
    EXPECT_EQ(core.GetCorrectionValue(&out), 0);
    EXPECT_EQ(core.GetCorrectionValueMax(), 0);
    EXPECT_EQ(core.WriteSensorRegister(0x3000, 1), 0);
    EXPECT_EQ(core.ApplyGeometry(), 0);
    EXPECT_EQ(core.CaptureOne(), 2);
    EXPECT_EQ(core.StartTransfer(0), 0);
    EXPECT_EQ(core.WaitFrame(0), 2);
    // The caller's outputs are untouched.
    EXPECT_EQ(out, 77);
    EXPECT_EQ(seconds, 7.5);

    int ok = 5;
    EXPECT_EQ(core.ReadSensorRegister(0x3000, &ok), 0);
    EXPECT_EQ(ok, 5);
    EXPECT_EQ(core.ReadFpgaRegister(0x10, &ok), 0);
    EXPECT_EQ(ok, 0);

    // The output capabilities are assumed present until a sensor says otherwise.
    EXPECT_EQ(core.CanOutput8Bit(), 1);
    EXPECT_EQ(core.CanOutput16Bit(), 1);
    EXPECT_EQ(core.CanOutputColor(), 1);
    EXPECT_EQ(core.HasFpgaControlBit(), 1);
    EXPECT_EQ(core.SetFpgaControlBit(), 1);
}

class CoreForwards : public CoreSimTest {};

TEST_F(CoreForwards, GettersReportTheSensorsValues) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    const sensors::SensorParams &params = core->Sensor()->Params();
    EXPECT_EQ(core->GetSensorWidth(), 1280);
    EXPECT_EQ(core->GetSensorHeight(), 1024);
    EXPECT_EQ(core->GetDefaultWidth(), params.defaultWidth);
    EXPECT_EQ(core->GetHeightVariable(), 1);
    EXPECT_EQ(core->GetWidthVariable(), 0);
    ASSERT_NE(core->SetGlobalGain(params.gainMin + 1), 0);
    EXPECT_EQ(core->GetGlobalGain(), params.gainMin + 1);
    EXPECT_EQ(core->GetGlobalGainMax(), params.gainMax);
    ASSERT_NE(core->SetMirrorH(1), 0);
    EXPECT_EQ(core->GetMirrorH(), 1);
    double limit = 0.0;
    EXPECT_EQ(core->GetExposureTimeExMax(&limit), params.expSecSup);
    EXPECT_EQ(limit, params.expSecMax);
    EXPECT_EQ(core->CanOutputColor(), 0);
    EXPECT_EQ(core->HasTemperature(), 1);
    double celsius = -300.0;
    EXPECT_NE(core->GetTemperature(&celsius), 0);
    EXPECT_GT(celsius, -60.0);
}

// The auxiliary mode, the colour-channel gains and the sampling rate reach the sensor, and
// every IMX99x head refuses them without a register write.
TEST_F(CoreForwards, AuxModeColourGainsAndSamplingRateAreRefusedByEveryHead) {
    UseCameras("imx990,imx991,imx992,imx993");
    const int products[] = {0x3260, 0x3280, 0x3370, 0x33C0};
    for (size_t camera = 0; camera < 4; ++camera) {
        auto core = OpenCore(products[camera]);
        Camera(camera).ClearLog();
        EXPECT_EQ(core->SetAuxMode(1), 0) << camera;
        for (auto channel : {sensors::ColorGainChannel::Red, sensors::ColorGainChannel::Green1,
                             sensors::ColorGainChannel::Green2, sensors::ColorGainChannel::Blue}) {
            EXPECT_EQ(core->SetColorGain(channel, 100), 0) << camera;
            EXPECT_EQ(core->GetColorGain(channel), 0) << camera;
        }
        EXPECT_EQ(core->GetChannelGainMax(), 0) << camera;
        EXPECT_EQ(core->SetSamplingRate(1), 0) << camera;
        EXPECT_TRUE(LogOf(Camera(camera), sim::LogTarget::Sensor, sim::LogAccess::Write).empty())
            << camera;
    }
}

}  // namespace
}  // namespace korvix::core::test
