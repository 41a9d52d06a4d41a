#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "FakeDeviceCore.h"
#include "imaging/BayerSites.h"
#include "imaging/Demosaic.h"
#include "imaging/Filters.h"
#include "imaging/GrayCorrection.h"
#include "imaging/Measurements.h"
#include "session/pipeline/FramePipeline.h"
#include "session/pipeline/GrayStep.h"

namespace korvix::pipeline {
namespace {

using imaging::FrameImage;
using test::FakeDeviceCore;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

void FillRandom(FrameImage &image, uint32_t seed, uint32_t mask) {
    std::mt19937 random(seed);
    for (int row = 0; row < image.Height(); ++row) {
        uint8_t *bytes = image.Bits() + row * image.Pitch();
        if (image.BitCount() == 16) {
            for (int column = 0; column < image.Width(); ++column) {
                const auto value = static_cast<uint16_t>(random() & mask);
                std::memcpy(bytes + 2 * column, &value, 2);
            }
        } else {
            for (int column = 0; column < image.Width(); ++column) {
                bytes[column] = static_cast<uint8_t>(random() & mask);
            }
        }
    }
}

std::vector<uint8_t> Pixels(const FrameImage &image) {
    return std::vector<uint8_t>(image.Bits(), image.Bits() + image.SizeBytes());
}

// Mirrors pixel by pixel into a copy: the reference for the in-place mirror.
void ReferenceMirror(FrameImage &image, bool horizontal, bool vertical) {
    const std::vector<uint8_t> before = Pixels(image);
    const int bytes = image.BytesPerPixel();
    for (int row = 0; row < image.Height(); ++row) {
        for (int column = 0; column < image.Width(); ++column) {
            const int fromRow = vertical ? image.Height() - 1 - row : row;
            const int fromColumn = horizontal ? image.Width() - 1 - column : column;
            std::memcpy(image.Bits() + row * image.Pitch() + column * bytes,
                        before.data() + fromRow * image.Pitch() + fromColumn * bytes, bytes);
        }
    }
}

struct FilterSet {
    imaging::PixelConverter hueSaturation, gamma, contrast, sharpness, brightness;
};

FilterSet FiltersOf(int colorIndex) {
    using namespace imaging;
    switch (colorIndex) {
    case 0: return {nullptr, Gamma8, Contrast8, Sharpness8, Brightness8};
    case 1: return {nullptr, Gamma16, Contrast16, Sharpness16, Brightness16};
    case 2:
    case 3: return {HueSaturation24, Gamma24, Contrast24, Sharpness24, Brightness24};
    default: return {HueSaturation48, Gamma48, Contrast48, Sharpness48, Brightness48};
    }
}

// The documented pipeline, step by step from the imaging routines: gray gain and offset,
// mirror, white balance and demosaic in the mirrored phase, then each filter not at its
// neutral value. Returns the output pixels; `balance` receives the balance used.
std::vector<uint8_t> ReferenceOutput(const FrameImage &rawInput, int colorIndex,
                                     ImageSettings image, const CameraSettings &camera,
                                     bool softwareMirror, int (&balance)[3]) {
    FrameImage raw;
    raw.CopyFormat(rawInput);
    std::memcpy(raw.Bits(), rawInput.Bits(), rawInput.SizeBytes());
    const bool sixteenBit = raw.BitCount() == 16;
    if (colorIndex <= 1 && image.grayMode == 1 && !IsGrayGainOffsetSkipped(image)) {
        imaging::GrayGainParams params;
        params.bayerMode = image.bayerMode;
        std::memcpy(params.gain, image.grayGain, sizeof params.gain);
        std::memcpy(params.offset, image.grayOffset, sizeof params.offset);
        params.sampleDepth = sixteenBit ? 12 : 8;
        imaging::ConvertImage(raw, sixteenBit ? imaging::GrayGainOffset16 : imaging::GrayGainOffset8,
                              raw, nullptr, 0, 0, &params);
    }
    if (softwareMirror) ReferenceMirror(raw, camera.mirrorH != 0, camera.mirrorV != 0);

    FrameImage color;
    FrameImage *output = &raw;
    if (colorIndex >= 2) {
        const int phase = imaging::MirroredBayerMode(image.bayerMode, camera.mirrorV != 0,
                                                     camera.mirrorH != 0);
        if (image.autoBalance) {
            imaging::WhiteBalanceResult result{image.balanceBlue, 100, image.balanceRed, phase};
            imaging::ConvertImage(raw, sixteenBit ? imaging::WhiteBalanceMeasure16
                                                  : imaging::WhiteBalanceMeasure8,
                                  raw, nullptr, 0, 0, &result);
            image.balanceRed = std::min(result.redGain, 400);
            image.balanceGreen = 100;
            image.balanceBlue = std::min(result.blueGain, 400);
        }
        EXPECT_EQ(color.Create(raw.Width(), raw.Height(), BitsOfColorIndex(colorIndex)), 1);
        imaging::DemosaicParams params{phase, image.balanceRed, image.balanceGreen,
                                       image.balanceBlue};
        const bool wide = colorIndex >= 4;
        imaging::ConvertImage(color, wide ? imaging::Demosaic16Inner : imaging::Demosaic8Inner,
                              raw, nullptr, 0, 0, &params);
        imaging::ConvertImage(color, wide ? imaging::Demosaic16Border : imaging::Demosaic8Border,
                              raw, nullptr, 0, 0, &params);
        output = &color;
    }
    balance[0] = image.balanceRed;
    balance[1] = image.balanceGreen;
    balance[2] = image.balanceBlue;

    const FilterSet filters = FiltersOf(colorIndex);
    const auto run = [&](imaging::PixelConverter filter, int32_t value) {
        imaging::ConvertImage(*output, filter, *output, nullptr, 0, 0, &value);
    };
    if (filters.hueSaturation && (image.hue != 0 || image.saturation != 0)) {
        imaging::HueSaturationParams params{image.hue, image.saturation};
        imaging::ConvertImage(*output, filters.hueSaturation, *output, nullptr, 0, 0, &params);
    }
    if (image.gamma != 100) run(filters.gamma, image.gamma);
    if (image.contrast != 0) run(filters.contrast, image.contrast);
    if (image.sharpness != 0) {
        FrameImage work;
        work.CopyFormat(*output);
        std::memcpy(work.Bits(), output->Bits(), output->SizeBytes());
        int32_t value = image.sharpness;
        imaging::ConvertImage(*output, filters.sharpness, work, nullptr, 0, 0, &value);
    }
    if (image.brightness != 0) run(filters.brightness, image.brightness);
    return Pixels(*output);
}

// Session images as Prepare leaves them for a colour index: raw, output and work image.
SessionImages PreparedImages(int colorIndex) {
    SessionImages images;
    EXPECT_TRUE(images.CreateAll());
    const bool sixteenBit = IsSixteenBitIndex(colorIndex);
    FrameImage &raw = *images.RawImageOf(colorIndex);
    EXPECT_EQ(raw.Create(kWidth, kHeight, sixteenBit ? 16 : 8), 1);
    FillRandom(raw, 1234u + static_cast<uint32_t>(colorIndex), sixteenBit ? 0x0FFF : 0xFF);
    FrameImage &output = *images.OutputImageOf(colorIndex);
    if (&output != &raw) {
        EXPECT_EQ(output.Create(kWidth, kHeight, BitsOfColorIndex(colorIndex)), 1);
    }
    EXPECT_EQ(images.workImage->CopyFormat(output), 1);
    return images;
}

ImageSettings NeutralImage() {
    ImageSettings image;
    image.balanceRed = image.balanceGreen = image.balanceBlue = 100;
    image.gamma = 100;
    image.bayerMode = 1;
    for (int site = 0; site < 4; ++site) image.grayGain[site] = image.grayOffset[site] = 128;
    return image;
}

struct PipelineCase {
    const char *name;
    int colorIndex;
    int hue, saturation, gamma, contrast, sharpness, brightness;
    bool mirrorH, mirrorV;
    bool deviceMirrors;
    bool autoBalance;
    int grayMode;
};

class SessionFramePipeline : public ::testing::TestWithParam<PipelineCase> {};

TEST_P(SessionFramePipeline, OutputEqualsTheStepsRunOneByOne) {
    const PipelineCase &c = GetParam();
    SessionImages images = PreparedImages(c.colorIndex);
    SessionSettings settings;
    ImageSettings image = NeutralImage();
    image.hue = c.hue;
    image.saturation = c.saturation;
    image.gamma = c.gamma;
    image.contrast = c.contrast;
    image.sharpness = c.sharpness;
    image.brightness = c.brightness;
    image.balanceRed = 130;
    image.balanceBlue = 85;
    image.autoBalance = c.autoBalance;
    image.autoBalanceOnceA = image.autoBalanceOnceB = c.autoBalance;
    image.grayMode = c.grayMode;
    image.grayGain[imaging::kSiteR] = 150;
    image.grayGain[imaging::kSiteB] = 110;
    image.grayOffset[imaging::kSiteG1] = 3;
    settings.SetImage(image);
    CameraSettings camera;
    camera.mirrorH = c.mirrorH;
    camera.mirrorV = c.mirrorV;
    settings.SetCamera(camera);
    FakeDeviceCore core;
    core.mirrorsItself = c.deviceMirrors;

    int balance[3];
    const std::vector<uint8_t> expected =
        ReferenceOutput(*images.RawImageOf(c.colorIndex), c.colorIndex, image, camera,
                        !c.deviceMirrors, balance);
    ProcessFrame(images, settings, &core, c.colorIndex);

    EXPECT_EQ(Pixels(*images.OutputImageOf(c.colorIndex)), expected);
    const ImageSettings after = settings.Image();
    EXPECT_EQ(after.balanceRed, balance[0]);
    EXPECT_EQ(after.balanceGreen, balance[1]);
    EXPECT_EQ(after.balanceBlue, balance[2]);
    // A one-shot balance ends after its measurement.
    EXPECT_EQ(after.autoBalance + after.autoBalanceOnceA + after.autoBalanceOnceB, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionFramePipeline,
    ::testing::Values(
        PipelineCase{"Gray8AllSteps", 0, 0, 0, 80, 10, 5, 20, false, true, false, false, 1},
        PipelineCase{"Gray16AllSteps", 1, 0, 0, 150, -20, 12, -40, true, true, false, false, 1},
        PipelineCase{"Gray8Neutral", 0, 0, 0, 100, 0, 0, 0, false, false, false, false, 0},
        PipelineCase{"Color24ToneWithoutSharpness", 2, 0, 0, 70, 15, 0, -20, false, false, false,
                     false, 0},
        PipelineCase{"Color48ToneWithoutSharpness", 4, 0, 0, 130, -25, 0, 60, false, false, false,
                     false, 0},
        PipelineCase{"Gray16ToneWithoutSharpness", 1, 0, 0, 90, 40, 0, 9, false, false, false,
                     false, 0},
        PipelineCase{"Color24Hue", 2, 45, 0, 100, 0, 0, 0, false, false, false, false, 0},
        PipelineCase{"Color24Saturation", 2, 0, -60, 100, 0, 0, 0, false, false, false, false, 0},
        PipelineCase{"Color24Gamma", 2, 0, 0, 60, 0, 0, 0, false, false, false, false, 0},
        PipelineCase{"Color24Contrast", 2, 0, 0, 100, 30, 0, 0, false, false, false, false, 0},
        PipelineCase{"Color24Sharpness", 2, 0, 0, 100, 0, 20, 0, false, false, false, false, 0},
        PipelineCase{"Color24Brightness", 2, 0, 0, 100, 0, 0, 50, false, false, false, false, 0},
        PipelineCase{"Color24MirrorH", 2, 0, 0, 100, 0, 0, 0, true, false, false, false, 0},
        PipelineCase{"Color24MirrorV", 2, 0, 0, 100, 0, 0, 0, false, true, false, false, 0},
        PipelineCase{"Color24DeviceMirrors", 2, 0, 0, 100, 0, 0, 0, true, true, true, false, 0},
        PipelineCase{"Color32AllSteps", 3, 20, 30, 120, 5, 8, 10, true, true, false, true, 0},
        PipelineCase{"Color48Neutral", 4, 0, 0, 100, 0, 0, 0, false, false, false, false, 0},
        PipelineCase{"Color48Hue", 4, -90, 0, 100, 0, 0, 0, false, false, false, false, 0},
        PipelineCase{"Color48Gamma", 4, 0, 0, 170, 0, 0, 0, false, false, false, false, 0},
        PipelineCase{"Color48Contrast", 4, 0, 0, 100, -15, 0, 0, false, false, false, false, 0},
        PipelineCase{"Color48Sharpness", 4, 0, 0, 100, 0, 30, 0, false, false, false, false, 0},
        PipelineCase{"Color48Brightness", 4, 0, 0, 100, 0, 0, -100, false, false, false, false, 0},
        PipelineCase{"Color64AllSteps", 5, 10, 20, 90, 12, 3, 7, true, true, false, true, 0}),
    [](const auto &info) { return std::string(info.param.name); });

// Gray gains and offsets at 128 skip the gray step; the blue offset is not looked at.
TEST(SessionGrayStep, SkipRuleComparesWithOneHundredTwentyEight) {
    ImageSettings image = NeutralImage();
    EXPECT_TRUE(IsGrayGainOffsetSkipped(image));
    image.grayOffset[imaging::kSiteB] = 0;
    EXPECT_TRUE(IsGrayGainOffsetSkipped(image));
    for (int site = 0; site < 4; ++site) {
        ImageSettings changed = NeutralImage();
        changed.grayGain[site] = 127;
        EXPECT_FALSE(IsGrayGainOffsetSkipped(changed)) << "gain " << site;
        if (site == imaging::kSiteB) continue;
        changed = NeutralImage();
        changed.grayOffset[site] = 0;
        EXPECT_FALSE(IsGrayGainOffsetSkipped(changed)) << "offset " << site;
    }
}

// A one-shot request measures the 16-bit samples, stores the gains, is counted down and
// the new gains are applied to the same frame; a negative count measures and stays.
TEST(SessionGrayStep, OneShotMeasuresSixteenBitFramesAndCountsDown) {
    for (int32_t request : {1, -1}) {
        SessionImages images = PreparedImages(1);
        FrameImage &raw = *images.rawImage16;
        const int levels[4] = {1000, 2000, 500, 4000};  // R, G1, G2, B
        for (int row = 0; row < kHeight; ++row) {
            for (int column = 0; column < kWidth; ++column) {
                const auto value =
                    static_cast<uint16_t>(levels[imaging::GrayGainSite(0, column, row)]);
                std::memcpy(raw.Bits() + row * raw.Pitch() + 2 * column, &value, 2);
            }
        }
        SessionSettings settings;
        ImageSettings image = NeutralImage();
        image.bayerMode = 0;
        image.grayMode = 1;
        image.grayOneShot = request;
        for (int32_t &offset : image.grayOffset) offset = 0;
        settings.SetImage(image);
        ProcessFrame(images, settings, nullptr, 1);

        const ImageSettings after = settings.Image();
        EXPECT_EQ(after.grayOneShot, request > 0 ? 0 : request);
        EXPECT_EQ(after.grayGain[imaging::kSiteR], 256);
        EXPECT_EQ(after.grayGain[imaging::kSiteG1], 128);
        EXPECT_EQ(after.grayGain[imaging::kSiteG2], 512);
        EXPECT_EQ(after.grayGain[imaging::kSiteB], 64);
        // Every site now sits at the G1 level.
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 2; ++column) {
                uint16_t value;
                std::memcpy(&value, raw.Bits() + row * raw.Pitch() + 2 * column, 2);
                EXPECT_EQ(value, 2000) << column << "," << row;
            }
        }
    }
}

// The worker writes back only the fields it measures: an application thread's settings
// stored meanwhile survive the automatic balance and automatic exposure of every frame.
TEST(SessionFramePipelineThreads, WorkerUpdatesKeepApplicationSettings) {
    SessionImages images = PreparedImages(2);
    SessionSettings settings;
    ImageSettings image = NeutralImage();
    image.autoBalance = 1;
    settings.SetImage(image);
    CameraSettings camera;
    camera.autoExposureMode = 2;
    settings.SetCamera(camera);
    FakeDeviceCore core;
    core.gain = 10;
    constexpr int kFrames = 60;
    std::thread worker([&] {
        for (int frame = 0; frame < kFrames; ++frame) ProcessFrame(images, settings, &core, 2);
    });
    for (int value = 1; value <= kFrames; ++value) {
        settings.UpdateImage([value](ImageSettings &stored) { stored.brightness = value; });
        settings.UpdateCamera([value](CameraSettings &stored) { stored.blackLevel = value; });
    }
    worker.join();
    EXPECT_EQ(settings.Image().brightness, kFrames);
    EXPECT_EQ(settings.Camera().blackLevel, kFrames);
    EXPECT_EQ(settings.Image().autoBalance, 1);
}

}  // namespace
}  // namespace korvix::pipeline
