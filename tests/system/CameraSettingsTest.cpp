// Camera settings reach the simulated camera's registers; the exports outside the id table.
#include <algorithm>
#include <cmath>
#include <limits>

#include "CatalogueFixture.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "sim/SimRegisterMap.h"

namespace korvix::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

class SystemCameraSettings : public CatalogueTest {
  protected:
    static uint32_t SensorWord(uint16_t low, uint8_t highMask = 0xFF) {
        return Camera().SensorRegister(low) | (Camera().SensorRegister(low + 1) & highMask) << 8;
    }
    static uint32_t SensorTriple(uint16_t low) {
        return SensorWord(low) | static_cast<uint32_t>(Camera().SensorRegister(low + 2)) << 16;
    }
    static uint8_t Fpga(uint8_t reg) { return Camera().FpgaRegister(reg, sim::Simulator::NowMs()); }

    // The exposure the sensor registers give, in microseconds.
    static double SensorExposureUs() {
        const uint32_t lines = SensorTriple(sim::sensor::kVmax0) - SensorTriple(sim::sensor::kShs0);
        return lines * LinePeriodUs();
    }
    // The driver converts to whole lines and adds the sensor's fixed offsets: a few lines,
    // and a fraction of a percent of long exposures.
    static double ExposureTolerance(double us) { return 2 * LinePeriodUs() + us * 0.001; }
    static double LinePeriodUs() {
        return SensorWord(sim::sensor::kHmax0) * Camera().Config().model->profile->clockPeriodNs /
               1000.0;
    }
};

TEST_F(SystemCameraSettings, GainExposureAndMirrorsReachTheSensor) {
    const int handle = HandleOn("imx990");
    KorvixCameraInfo info{};
    info.size = sizeof info;
    ASSERT_EQ(Korvix_GetCameraInfo(handle, &info), 1);

    for (const int gain : {info.minGlobalGain, 123, info.maxGlobalGain}) {
        ASSERT_EQ(Korvix_SetGlobalGain(handle, gain), 1);
        EXPECT_EQ(SensorWord(sim::sensor::kGain0, 0x01), static_cast<uint32_t>(gain));
    }
    for (const int tenthsMs : {10, 100, 250}) {
        ASSERT_EQ(Korvix_SetExposureTime(handle, tenthsMs), 1);
        EXPECT_NEAR(SensorExposureUs(), tenthsMs * 100.0, ExposureTolerance(tenthsMs * 100.0))
            << tenthsMs;
    }
    for (const int on : {1, 0}) {
        ASSERT_EQ(Korvix_SetMirrorH(handle, on), 1);
        EXPECT_EQ((Camera().SensorRegister(sim::sensor::kMirror) >> 1) & 1, on);
        EXPECT_EQ(Korvix_GetMirrorH(handle), on);
        ASSERT_EQ(Korvix_SetMirrorV(handle, on), 1);
        EXPECT_EQ(Camera().SensorRegister(sim::sensor::kMirror) & 1, on);
        EXPECT_EQ(Korvix_GetMirrorV(handle), on);
    }
    EXPECT_EQ(Errors(handle), Codes());
}

TEST_F(SystemCameraSettings, CoolerBlackLevelGainModeAndAuxiliarySwitchOnTheCooledImx993) {
    const int handle = HandleOn("imx993c");
    int ok = -1;
    for (const int on : {0, 1}) {
        ASSERT_EQ(Korvix_SetPeltier(handle, on), 1);
        EXPECT_EQ(Fpga(sim::fpga::kPeltier) & 1, on);
        EXPECT_EQ(Korvix_GetPeltier(handle, &ok), on);
        EXPECT_EQ(ok, 1);
    }
    // The black level reports success by recording CAMERR_NONE over an older code.
    Korvix_SetFilterValue(handle, 999, 0);
    ASSERT_EQ(Korvix_SetFilterValue(handle, 106, 321), 1);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_NONE);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_PARAMETER);
    EXPECT_EQ(SensorWord(sim::sensor::kBlackLevel0, 0x0F), 321u);
    EXPECT_EQ(Korvix_GetFilterValue(handle, 106, &ok), 321);
    EXPECT_EQ(Session(handle).Settings().Camera().blackLevel, 321);

    // Gain mode 0 sets bit 0 of the sensor's gain-mode register, mode 1 clears it.
    for (const int mode : {1, 0}) {
        ASSERT_EQ(Korvix_SetFilterValue(handle, 104, mode), 1);
        EXPECT_EQ(Camera().SensorRegister(sim::sensor::kGainMode) & 1, mode == 0 ? 1 : 0);
        EXPECT_EQ(Korvix_GetFilterValue(handle, 104, &ok), mode);
    }
    EXPECT_EQ(Errors(handle), Codes());

    // The auxiliary switch reads the mode the sensor identified at start-up (the simulated
    // head identifies as off) with CAMERR_NONE; the head refuses to change it: CAMERR_IO,
    // and the cached switch stays.
    EXPECT_EQ(Korvix_GetFilterValue(handle, 105, &ok), 0);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_NONE);
    const int cachedSwitch = Session(handle).Settings().Camera().auxSwitch;
    for (const int value : {5, 0}) {
        EXPECT_EQ(Korvix_SetFilterValue(handle, 105, value), 0) << value;
        EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_IO) << value;
    }
    EXPECT_EQ(Session(handle).Settings().Camera().auxSwitch, cachedSwitch);
    EXPECT_EQ(Errors(handle), Codes());
}

// The camera mirrors the picture itself: with a still scene (no temporal noise) the frame
// taken after Korvix_SetMirrorH is the earlier frame with every row reversed.
TEST_F(SystemCameraSettings, FrameAfterMirrorHIsTheFrameMirrored) {
    const int handle = HandleOn("imx990:noise=off");
    ASSERT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Korvix_SetColorMode(handle, 8), 1);
    const int width = Korvix_Width(handle);
    const int height = Korvix_Height(handle);
    ASSERT_GT(width, 0);
    ASSERT_EQ(width % 4, 0);  // rows without padding
    const size_t size = static_cast<size_t>(width) * height;
    std::vector<uint8_t> plain(size), mirrored(size);
    ASSERT_EQ(Korvix_SnapShot(handle, plain.data(), static_cast<int>(size), 1), 1);
    ASSERT_EQ(Korvix_SetMirrorH(handle, 1), 1);
    ASSERT_EQ(Korvix_SnapShot(handle, mirrored.data(), static_cast<int>(size), 1), 1);
    // The session saves its settings at release; leave the next test of this process the
    // default mirror.
    ASSERT_EQ(Korvix_SetMirrorH(handle, 0), 1);

    std::vector<uint8_t> expected(size);
    for (int row = 0; row < height; ++row) {
        const auto begin = plain.begin() + static_cast<ptrdiff_t>(row) * width;
        std::reverse_copy(begin, begin + width,
                          expected.begin() + static_cast<ptrdiff_t>(row) * width);
    }
    ASSERT_FALSE(expected == plain) << "a scene that looks the same mirrored proves nothing";
    size_t differing = 0;
    for (size_t i = 0; i < size; ++i) differing += mirrored[i] != expected[i];
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(Errors(handle), Codes());
}

// A refused mirror or cooler write fails with CAMERR_IO and the cache keeps its value.
TEST_F(SystemCameraSettings, RefusedWritesKeepTheCache) {
    const int handle = HandleOn("imx993c");
    ASSERT_EQ(Korvix_SetPeltier(handle, 1), 1);
    Camera().InjectI2cNak(sim::i2c::kSensor, -1);
    EXPECT_EQ(Korvix_SetMirrorH(handle, 1), 0);
    EXPECT_EQ(Korvix_SetExposureTime(handle, 100), 0);
    EXPECT_EQ(Korvix_SetRealExposureTime(handle, 10000), 0);
    Camera().InjectI2cNak(sim::i2c::kFpga, -1);
    EXPECT_EQ(Korvix_SetPeltier(handle, 0), 0);
    Camera().ClearFaults();
    EXPECT_EQ(Errors(handle), Codes(CAMERR_IO, CAMERR_IO, CAMERR_IO, CAMERR_IO));
    EXPECT_EQ(Korvix_GetMirrorH(handle), 0);
    const CameraSettings camera = Session(handle).Settings().Camera();
    EXPECT_EQ(camera.cooler, 1);
    EXPECT_NE(camera.exposure, 100);
}

TEST_F(SystemCameraSettings, RealExposure) {
    const int handle = HandleOn("imx990");
    KorvixCameraInfo info{};
    info.size = sizeof info;
    ASSERT_EQ(Korvix_GetCameraInfo(handle, &info), 1);
    int ok = -1;

    ASSERT_EQ(Korvix_SetExposureTimeEx(handle, 0.5), 1);
    EXPECT_DOUBLE_EQ(Korvix_GetExposureTimeEx(handle, &ok), 0.5);
    EXPECT_EQ(ok, 1);
    EXPECT_NEAR(SensorExposureUs(), 500000.0, ExposureTolerance(500000.0));
    EXPECT_EQ(Korvix_GetRealExposureTime(handle, &ok), 500000);  // 5000 tenths of a ms

    // Hundredths of a device unit, truncated; the exposure id's range and refreshing.
    ASSERT_EQ(Korvix_SetRealExposureTime(handle, 5099), 1);
    EXPECT_EQ(Korvix_GetExposureTime(handle, &ok), 50);
    EXPECT_EQ(Korvix_GetRealExposureTime(handle, &ok), 5000);
    EXPECT_DOUBLE_EQ(Session(handle).Settings().Camera().exposureSeconds, 0.005);
    EXPECT_EQ(Korvix_SetRealExposureTime(handle, (info.maxExposure + 1) * 100), 0);
    EXPECT_EQ(Errors(handle), Codes(CAMERR_PARAMETER));

    for (const double refused :
         {kNaN, kInfinity, -kInfinity, info.minRealExposure / 2, info.maxRealExposure * 1.5}) {
        EXPECT_EQ(Korvix_SetExposureTimeEx(handle, refused), 0) << refused;
        EXPECT_EQ(Errors(handle), Codes(CAMERR_PARAMETER)) << refused;
    }
    EXPECT_EQ(Korvix_SetExposureTimeEx(handle, info.maxRealExposure), 1);
    EXPECT_EQ(Korvix_GetExposureTime(handle, &ok), info.maxExposure);
}

TEST_F(SystemCameraSettings, AutomaticExposureModeTakesZeroToTwo) {
    const int handle = HandleOn("imx990");
    int ok = -1;
    for (const int mode : {2, 0, 1}) {
        EXPECT_EQ(Korvix_SetAutoIris(handle, mode), 1);
        EXPECT_EQ(Korvix_GetAutoIris(handle, &ok), mode);
        EXPECT_EQ(ok, 1);
    }
    // Announced, not recorded.
    EXPECT_EQ(Korvix_SetAutoIris(handle, 3), 0);
    EXPECT_EQ(Korvix_SetAutoIris(handle, -1), 0);
    EXPECT_EQ(Korvix_GetAutoIris(handle, &ok), 1);
    EXPECT_EQ(Errors(handle), Codes());
}

TEST_F(SystemCameraSettings, TemperatureRecordsSuccessOverAnOlderCode) {
    const int handle = HandleOn("imx990");
    Korvix_SetFilterValue(handle, 999, 0);
    int ok = -1;
    const double celsius = Korvix_GetTemperatureEx(handle, &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_NEAR(celsius, Camera().TemperatureCelsius(sim::Simulator::NowMs()), 1.0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_NONE);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_PARAMETER);

    Camera().InjectI2cNak(sim::i2c::kSensor, -1);  // this FPGA has no temperature sensor
    EXPECT_EQ(Korvix_GetTemperatureEx(handle, &ok), 0.0);
    Camera().ClearFaults();
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Errors(handle), Codes(CAMERR_FAILED));
}

TEST_F(SystemCameraSettings, InternalCorrectionNeedsTheFpgaFeature) {
    int handle = HandleOn("imx990");
    int ok = -1;
    EXPECT_EQ(Korvix_GetInternalCorrection(handle, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Korvix_SetInternalCorrection(handle, 1), 0);
    EXPECT_EQ(Errors(handle), Codes());  // announced only

    handle = HandleOn("imx990:fpga=0x8128");
    for (const int on : {1, 0}) {
        EXPECT_EQ(Korvix_SetInternalCorrection(handle, on), 1);
        EXPECT_EQ(Fpga(sim::fpga::kCorrectionEnable) & 1, on);
        EXPECT_EQ(Korvix_GetInternalCorrection(handle, &ok), on);
        EXPECT_EQ(ok, 1);
    }
}

TEST_F(SystemCameraSettings, SamplingRateVideoFormatAndIoPort) {
    const int handle = HandleOn("imx990");
    for (auto get : {Korvix_GetSamplingRate, Korvix_GetVideoFormat}) {
        int value = 7;
        EXPECT_EQ(get(handle, &value), 0);
        EXPECT_EQ(value, 0);
        EXPECT_EQ(get(handle, nullptr), 0);
    }
    EXPECT_EQ(Korvix_SetSamplingRate(handle, 2), 0);  // no IMX99x head has one

    EXPECT_EQ(Korvix_SetIOPort(handle, 0x1A5), 1);
    EXPECT_EQ(Fpga(sim::fpga::kIoPort), 0xA5);
    uint8_t port = 0;
    EXPECT_EQ(Korvix_GetIOPort(handle, &port), 1);
    EXPECT_EQ(port, 0xA5);
    EXPECT_EQ(Korvix_GetIOPort(handle, nullptr), 0);
    Camera().InjectI2cNak(sim::i2c::kFpga, -1);
    EXPECT_EQ(Korvix_GetIOPort(handle, &port), 0);
    EXPECT_EQ(Korvix_SetIOPort(handle, 1), 0);
    Camera().ClearFaults();
    EXPECT_EQ(Errors(handle), Codes());  // failures are announced, not recorded
}

}  // namespace
}  // namespace korvix::test
