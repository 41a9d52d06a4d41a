// Settings addressed by id, through the generic pair and the named exports, against a
// simulated IMX990.
#include <climits>
#include <string>
#include <vector>

#include "CatalogueFixture.h"

namespace korvix::test {
namespace {

using Getter = int (*)(int handle, int *ok);
using Setter = int (*)(int handle, int value);

// Where the accepted range of an id comes from.
enum class Bounds { Fixed, GlobalGain, ColorGain, Exposure };

struct RangedSetting {
    int id;
    Getter get;
    Setter set;
    Bounds bounds;
    int min;  // for Bounds::Fixed
    int max;
};

// Every id whose set accepts a range.
const RangedSetting kRanged[] = {
    {1, Korvix_GetBrightness, Korvix_SetBrightness, Bounds::Fixed, -255, 255},
    {2, Korvix_GetContrast, Korvix_SetContrast, Bounds::Fixed, -127, 127},
    {3, Korvix_GetHue, Korvix_SetHue, Bounds::Fixed, -360, 360},
    {4, Korvix_GetSaturation, Korvix_SetSaturation, Bounds::Fixed, -255, 255},
    {5, Korvix_GetSharpness, Korvix_SetSharpness, Bounds::Fixed, 0, 30},
    {7, Korvix_GetBayerGainRed, Korvix_SetBayerGainRed, Bounds::Fixed, 0, 400},
    {8, Korvix_GetBayerGainGreen, Korvix_SetBayerGainGreen, Bounds::Fixed, 0, 400},
    {9, Korvix_GetBayerGainBlue, Korvix_SetBayerGainBlue, Bounds::Fixed, 0, 400},
    {11, Korvix_GetGamma, Korvix_SetGamma, Bounds::Fixed, 0, 200},
    {12, Korvix_GetBayerMode, Korvix_SetBayerMode, Bounds::Fixed, 0, 3},
    {13, Korvix_GetGlobalGain, Korvix_SetGlobalGain, Bounds::GlobalGain, 0, 0},
    {14, Korvix_GetColorGainRed, Korvix_SetColorGainRed, Bounds::ColorGain, 0, 0},
    {15, Korvix_GetColorGainGreen1, Korvix_SetColorGainGreen1, Bounds::ColorGain, 0, 0},
    {16, Korvix_GetColorGainGreen2, Korvix_SetColorGainGreen2, Bounds::ColorGain, 0, 0},
    {17, Korvix_GetColorGainBlue, Korvix_SetColorGainBlue, Bounds::ColorGain, 0, 0},
    {18, Korvix_GetExposureTime, Korvix_SetExposureTime, Bounds::Exposure, 0, 0},
    {19, Korvix_GetGrayMode, Korvix_SetGrayMode, Bounds::Fixed, 0, 2},
    {20, Korvix_GetGrayGainR, Korvix_SetGrayGainR, Bounds::Fixed, 0, 255},
    {21, Korvix_GetGrayGainG1, Korvix_SetGrayGainG1, Bounds::Fixed, 0, 255},
    {22, Korvix_GetGrayGainG2, Korvix_SetGrayGainG2, Bounds::Fixed, 0, 255},
    {23, Korvix_GetGrayGainB, Korvix_SetGrayGainB, Bounds::Fixed, 0, 255},
    {24, Korvix_GetGrayOffsetR, Korvix_SetGrayOffsetR, Bounds::Fixed, -255, 255},
    {25, Korvix_GetGrayOffsetG1, Korvix_SetGrayOffsetG1, Bounds::Fixed, -255, 255},
    {26, Korvix_GetGrayOffsetG2, Korvix_SetGrayOffsetG2, Bounds::Fixed, -255, 255},
    {27, Korvix_GetGrayOffsetB, Korvix_SetGrayOffsetB, Bounds::Fixed, -255, 255},
    {102, Korvix_GetDotFilter, Korvix_SetDotFilter, Bounds::Fixed, 0, 1},
    {103, Korvix_GetMaskFilter, Korvix_SetMaskFilter, Bounds::Fixed, 0, 1},
};

class SystemSettingsById : public CatalogueTest {
  protected:
    void SetUp() override {
        UseCameras("imx990");
        handle = NewHandle();  // the one camera is selected
        info.size = sizeof info;
        ASSERT_EQ(Korvix_GetCameraInfo(handle, &info), 1);
        ASSERT_LT(info.minGlobalGain, info.maxGlobalGain);
        ASSERT_LT(info.minExposure, info.maxExposure);
    }

    void Limits(const RangedSetting &row, int *min, int *max) const {
        switch (row.bounds) {
            case Bounds::Fixed:
                *min = row.min, *max = row.max;
                break;
            case Bounds::GlobalGain:
                *min = info.minGlobalGain, *max = info.maxGlobalGain;
                break;
            case Bounds::ColorGain:
                *min = info.minColorGain, *max = info.maxColorGain;
                break;
            case Bounds::Exposure:
                *min = info.minExposure, *max = info.maxExposure;
                break;
        }
    }

    // The value of an id through the generic getter and its named twin, which must agree;
    // both report success through ok.
    int Read(const RangedSetting &row) {
        int okGeneric = -1;
        int okNamed = -1;
        const int generic = Korvix_GetFilterValue(handle, row.id, &okGeneric);
        const int named = row.get(handle, &okNamed);
        EXPECT_EQ(okGeneric, 1) << "id " << row.id;
        EXPECT_EQ(okNamed, 1) << "id " << row.id;
        EXPECT_EQ(generic, named) << "id " << row.id;
        return named;
    }

    int handle = 0;
    KorvixCameraInfo info{};
};

// The edges of every range are accepted through both exports; one below and one above are
// refused with CAMERR_PARAMETER and change nothing.
TEST_F(SystemSettingsById, RangeEdgesAcceptedAndNeighboursRefused) {
    for (const RangedSetting &row : kRanged) {
        SCOPED_TRACE("id " + std::to_string(row.id));
        int min = 0, max = 0;
        Limits(row, &min, &max);
        // The colour gains of this monochrome camera have an empty range that the device
        // refuses: the edges pass the range check and come back as CAMERR_IO.
        const bool deviceRefuses = row.bounds == Bounds::ColorGain;
        const int accepted = deviceRefuses ? 0 : 1;
        const std::vector<int> codes = deviceRefuses ? Codes(CAMERR_IO) : Codes();

        EXPECT_EQ(Korvix_SetFilterValue(handle, row.id, min), accepted);
        EXPECT_EQ(Errors(handle), codes);
        if (!deviceRefuses) {
            EXPECT_EQ(Read(row), min);
        }
        EXPECT_EQ(row.set(handle, max), accepted);
        EXPECT_EQ(Errors(handle), codes);
        if (!deviceRefuses) {
            EXPECT_EQ(Read(row), max);
        }

        const int kept = Read(row);
        for (const int outside : {min - 1, max + 1}) {
            EXPECT_EQ(Korvix_SetFilterValue(handle, row.id, outside), 0) << outside;
            EXPECT_EQ(row.set(handle, outside), 0) << outside;
            EXPECT_EQ(Errors(handle), Codes(CAMERR_PARAMETER, CAMERR_PARAMETER)) << outside;
            EXPECT_EQ(Read(row), kept) << outside;
        }
    }
}

TEST_F(SystemSettingsById, BrightnessEdges) {
    EXPECT_EQ(Korvix_SetBrightness(handle, 256), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_PARAMETER);
    EXPECT_EQ(Korvix_SetBrightness(handle, -255), 1);
    int ok = 0;
    EXPECT_EQ(Korvix_GetBrightness(handle, &ok), -255);
    EXPECT_EQ(ok, 1);
}

TEST_F(SystemSettingsById, PackedBalanceCarriesTheLowByteOfEachValue) {
    const int packed = 16 + 32 * 256 + 48 * 65536;
    EXPECT_EQ(Korvix_SetBayerGainRGB(handle, packed), 1);
    EXPECT_EQ(Korvix_GetBayerGainRGB(handle, nullptr), packed);
    EXPECT_EQ(Korvix_GetBayerGainRed(handle, nullptr), 16);
    EXPECT_EQ(Korvix_GetBayerGainGreen(handle, nullptr), 32);
    EXPECT_EQ(Korvix_GetBayerGainBlue(handle, nullptr), 48);
    // Bits above 23 are not part of any value.
    EXPECT_EQ(Korvix_SetFilterValue(handle, 6, packed | INT_MIN), 1);
    EXPECT_EQ(Korvix_GetFilterValue(handle, 6, nullptr), packed);

    EXPECT_EQ(Korvix_SetBayerGainRed(handle, 300), 1);
    EXPECT_EQ(Korvix_GetBayerGainRGB(handle, nullptr) & 0xFF, 44);
    EXPECT_EQ(Korvix_GetBayerGainRed(handle, nullptr), 300);
    EXPECT_EQ(Errors(handle), Codes());
}

TEST_F(SystemSettingsById, AutomaticBalanceStoresAFlag) {
    for (const auto &[value, stored] : {std::pair{0, 0}, {1, 1}, {-7, 1}, {INT_MAX, 1}}) {
        EXPECT_EQ(Korvix_SetBayerGainAuto(handle, value), 1);
        EXPECT_EQ(Korvix_GetFilterValue(handle, 10, nullptr), stored) << value;
    }
}

// The global gain is applied by the device to every channel: the cached colour gains take
// its value, which the settings store keeps for the camera.
TEST_F(SystemSettingsById, GlobalGainReachesTheDevice) {
    const int gain = (info.minGlobalGain + info.maxGlobalGain) / 2;
    EXPECT_EQ(Korvix_SetGlobalGain(handle, gain), 1);
    EXPECT_EQ(Korvix_GetGlobalGain(handle, nullptr), gain);
    const auto camera = Session(handle).Settings().Camera();
    EXPECT_EQ(camera.globalGain, gain);
    for (int cached : {camera.colorGainRed, camera.colorGainGreen1, camera.colorGainGreen2,
                       camera.colorGainBlue}) {
        EXPECT_EQ(cached, gain);
    }
}

TEST_F(SystemSettingsById, IdsWithoutAGetterOrSetter) {
    int ok = -1;
    // The gray one-shot counter is settable, not readable.
    EXPECT_EQ(Korvix_SetFilterValue(handle, 28, 1), 1);
    EXPECT_EQ(Korvix_SetFilterValue(handle, 28, 2), 0);
    EXPECT_EQ(Korvix_GetFilterValue(handle, 28, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Errors(handle), Codes(CAMERR_PARAMETER, CAMERR_PARAMETER));

    // The temperature is only read as a real number.
    ok = -1;
    EXPECT_EQ(Korvix_GetTemperature(handle, &ok), -1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Korvix_SetFilterValue(handle, 101, 20), 0);
    EXPECT_EQ(Errors(handle), Codes(CAMERR_PARAMETER, CAMERR_NOT_SUPPORTED));

    for (const int id : {0, 29, 36, 37, 99, 107, -1}) {
        ok = -1;
        EXPECT_EQ(Korvix_GetFilterValue(handle, id, &ok), 0) << id;
        EXPECT_EQ(ok, 0) << id;
        EXPECT_EQ(Korvix_SetFilterValue(handle, id, 0), 0) << id;
        EXPECT_EQ(Errors(handle), Codes(CAMERR_PARAMETER, CAMERR_PARAMETER)) << id;
    }
}

// Channels 1 to 4 reach ids this camera does not have; other channels reach nothing.
TEST_F(SystemSettingsById, ChannelGainAndOffset) {
    using ChannelGetter = int (*)(int, int, int *);
    using ChannelSetter = int (*)(int, int, int);
    const std::pair<ChannelGetter, ChannelSetter> kPairs[] = {
        {Korvix_GetChannelGain, Korvix_SetChannelGain},
        {Korvix_GetChannelOffset, Korvix_SetChannelOffset}};
    for (const auto &[get, set] : kPairs) {
        for (int channel = 1; channel <= 4; ++channel) {
            int ok = -1;
            EXPECT_EQ(get(handle, channel, &ok), 0);
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(set(handle, channel, 0), 0);
            EXPECT_EQ(Errors(handle), Codes(CAMERR_PARAMETER, CAMERR_PARAMETER)) << channel;
        }
        for (const int channel : {0, 5}) {
            int ok = -1;
            EXPECT_EQ(get(handle, channel, &ok), 0);
            EXPECT_EQ(ok, -1);
            EXPECT_EQ(set(handle, channel, 0), 0);
            EXPECT_EQ(Errors(handle), Codes()) << channel;
        }
    }
}

// The settings only some heads have, on this IMX990 without them.
TEST_F(SystemSettingsById, SettingsThisCameraLacks) {
    int ok = -1;
    EXPECT_EQ(Korvix_GetPeltier(handle, &ok), -1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Korvix_SetPeltier(handle, 1), 0);
    EXPECT_EQ(Errors(handle), Codes(CAMERR_NOT_SUPPORTED, CAMERR_NOT_SUPPORTED));

    for (const int id : {105, 106}) {
        ok = -1;
        EXPECT_EQ(Korvix_GetFilterValue(handle, id, &ok), 0) << id;
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(Korvix_SetFilterValue(handle, id, 1), 0) << id;
        EXPECT_EQ(Errors(handle), Codes(CAMERR_NOT_SUPPORTED, CAMERR_NOT_SUPPORTED)) << id;
    }
    // Gain mode: the device refuses, and reports no mode.
    EXPECT_EQ(Korvix_SetFilterValue(handle, 104, 1), 0);
    EXPECT_EQ(Errors(handle), Codes(CAMERR_IO));
}

// A camera that refuses a setting: the call fails with CAMERR_IO, the cache keeps its value.
TEST_F(SystemSettingsById, RefusedDeviceSettingKeepsTheCachedValue) {
    const int before = Session(handle).Settings().Camera().globalGain;
    const int gain = before == info.maxGlobalGain ? info.minGlobalGain : info.maxGlobalGain;
    Camera().InjectI2cNak(sim::i2c::kSensor, -1);
    EXPECT_EQ(Korvix_SetGlobalGain(handle, gain), 0);
    Camera().ClearFaults();
    EXPECT_EQ(Errors(handle), Codes(CAMERR_IO));
    EXPECT_EQ(Session(handle).Settings().Camera().globalGain, before);
}

TEST_F(SystemSettingsById, WithoutACameraTheDeviceSettingsFail) {
    UseCameras("");
    const int lonely = NewHandle();
    int ok = -1;
    // The image settings live in the session and work without a camera.
    EXPECT_EQ(Korvix_SetContrast(lonely, 5), 1);
    EXPECT_EQ(Korvix_GetContrast(lonely, &ok), 5);
    // Device settings have an empty range and nobody to take them.
    EXPECT_EQ(Korvix_SetExposureTime(lonely, 0), 0);
    EXPECT_EQ(Korvix_SetExposureTime(lonely, 1), 0);
    EXPECT_EQ(Errors(lonely), Codes(CAMERR_PARAMETER, CAMERR_IO));
}

}  // namespace
}  // namespace korvix::test
