#include <gtest/gtest.h>

#include <cstring>

#include "FakeDeviceCore.h"
#include "session/pipeline/AutoExposure.h"

namespace korvix::pipeline {
namespace {

using test::FakeDeviceCore;

// A frame at `background` whose five measured regions hold the given levels (8-bit
// levels; 16-bit frames carry them shifted left by 4, as the sensor's 12-bit samples).
// Regions are bottom-up rectangles, so region (l, t, r, b) covers memory rows
// H - b .. H - t.
void FillRegionFrame(imaging::FrameImage &frame, int bits, int background,
                     const int (&levels)[5]) {
    constexpr double kRegions[5][4] = {{0.1, 0.1, 0.2, 0.2}, {0.1, 0.8, 0.2, 0.9},
                                       {0.45, 0.45, 0.55, 0.55}, {0.8, 0.1, 0.9, 0.2},
                                       {0.8, 0.8, 0.9, 0.9}};
    ASSERT_EQ(frame.Create(320, 240, bits), 1);
    const auto put = [&](int column, int row, int level) {
        uint8_t *pixel = frame.Bits() + row * frame.Pitch() + column * frame.BytesPerPixel();
        if (bits == 8) {
            *pixel = static_cast<uint8_t>(level);
        } else {
            const auto word = static_cast<uint16_t>(level << 4 | 0xF);
            std::memcpy(pixel, &word, 2);
        }
    };
    for (int row = 0; row < 240; ++row) {
        for (int column = 0; column < 320; ++column) put(column, row, background);
    }
    for (int region = 0; region < 5; ++region) {
        const auto *f = kRegions[region];
        const int left = static_cast<int>(f[0] * 320), right = static_cast<int>(f[2] * 320);
        const int top = 240 - static_cast<int>(f[3] * 240);
        const int bottom = 240 - static_cast<int>(f[1] * 240);
        for (int row = top; row < bottom; ++row) {
            for (int column = left; column < right; ++column) put(column, row, levels[region]);
        }
    }
}

struct ExposureCase {
    const char *name;
    int bits;
    int mode;
    int levels[5];
    int start;          // device exposure (mode 1) or gain (mode 2)
    int expected;       // value after the step
    bool written;       // whether the device was written at all
};

class SessionAutoExposure : public ::testing::TestWithParam<ExposureCase> {};

TEST_P(SessionAutoExposure, ScalesTheDeviceByTheRegionFactor) {
    const ExposureCase &c = GetParam();
    FakeDeviceCore core;
    core.exposure = core.gain = c.start;
    core.exposureMax = 120000;
    core.gainMax = 48;
    core.realExposure = true;
    SessionSettings settings;
    // Background 120 is neutral: only the regions decide.
    imaging::FrameImage frame;
    FillRegionFrame(frame, c.bits, 120, c.levels);
    RunAutoExposure(frame, c.mode, core, settings);

    const CameraSettings cached = settings.Camera();
    if (c.mode == 1) {
        EXPECT_EQ(core.exposureWrites, c.written ? 1 : 0);
        EXPECT_EQ(core.exposure, c.expected);
        EXPECT_EQ(core.gainWrites, 0);
        if (c.written) {
            EXPECT_EQ(cached.exposure, c.expected);
            EXPECT_DOUBLE_EQ(cached.exposureSeconds, c.expected / 10000.0);
        }
    } else {
        EXPECT_EQ(core.gainWrites, c.written ? 1 : 0);
        EXPECT_EQ(core.gain, c.expected);
        EXPECT_EQ(core.exposureWrites, 0);
        if (c.written) {
            for (int32_t gain : {cached.globalGain, cached.colorGainGreen1, cached.colorGainRed,
                                 cached.colorGainBlue, cached.colorGainGreen2}) {
                EXPECT_EQ(gain, c.expected);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionAutoExposure,
    ::testing::Values(
        ExposureCase{"AllBrightQuarters", 8, 1, {220, 220, 220, 220, 220}, 1000, 250, true},
        ExposureCase{"CentreAloneBrightUnchanged", 8, 1, {120, 120, 220, 120, 120}, 1000, 1000,
                     false},
        ExposureCase{"AllDarkGrowsByHalf", 8, 1, {40, 40, 40, 40, 40}, 1000, 1500, true},
        ExposureCase{"SixteenBitMeansShiftedByFour", 16, 1, {220, 220, 220, 220, 220}, 1000, 250,
                     true},
        // 100000 x 1.5 is limited to the maximum, not cut to its low 16 bits (18928).
        ExposureCase{"LongExposureLimitedToMaximum", 8, 1, {40, 40, 40, 40, 40}, 100000, 120000,
                     true},
        ExposureCase{"ShortExposureAtLeastOne", 8, 1, {220, 220, 220, 220, 220}, 3, 1, true},
        ExposureCase{"GainRaisedToFourFirst", 8, 2, {40, 40, 40, 40, 40}, 3, 6, true},
        ExposureCase{"GainLimitedToMaximum", 8, 2, {40, 40, 40, 40, 40}, 40, 48, true},
        ExposureCase{"ModeOffLeavesDevice", 8, 0, {220, 220, 220, 220, 220}, 1000, 1000, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SessionAutoExposureFactor, BandsOfEachRegion) {
    const int bright[5] = {220, 180, 120, 90, 30};
    // 0.85 - 0.1 + 0 + 0.05 + 0.1
    EXPECT_EQ(ExposureFactorPercent(bright), 90);
    EXPECT_TRUE(IsWithinDeadBand(90));
    EXPECT_FALSE(IsWithinDeadBand(60));
    EXPECT_FALSE(IsWithinDeadBand(120));
}

}  // namespace
}  // namespace korvix::pipeline
