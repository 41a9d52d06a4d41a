// The synthetic scene and test patterns.

#include "sim/SyntheticScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace korvix::sim {
namespace {

RenderRequest FullFrame(uint32_t width, uint32_t height) {
    RenderRequest request;
    request.width = width;
    request.height = height;
    request.signalScale = 0.7;
    request.blackLevel = 60;
    request.noiseSigma = 1.5;
    return request;
}

std::vector<uint16_t> Render(SyntheticScene &scene, const RenderRequest &request) {
    std::vector<uint16_t> out(static_cast<size_t>(request.width) * request.height);
    scene.RenderWide(request, out);
    return out;
}

double Mean(const std::vector<uint16_t> &samples) {
    return std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size();
}

TEST(SimSyntheticScene, SameSeedSameFramesOtherSeedOtherScene) {
    SyntheticScene a(640, 512, 7), b(640, 512, 7), c(640, 512, 8);
    RenderRequest request = FullFrame(640, 512);
    request.frameIndex = 3;
    EXPECT_EQ(Render(a, request), Render(b, request));
    EXPECT_NE(Render(a, request), Render(c, request));
}

TEST(SimSyntheticScene, TemporalNoiseChangesFromFrameToFrame) {
    SyntheticScene scene(640, 512, 1);
    RenderRequest request = FullFrame(640, 512);
    const auto first = Render(scene, request);
    request.frameIndex = 1;
    const auto second = Render(scene, request);
    size_t differing = 0;
    double squared = 0;
    for (size_t i = 0; i < first.size(); ++i) {
        const double d = static_cast<double>(first[i]) - second[i];
        differing += d != 0;
        squared += d * d;
    }
    EXPECT_GT(differing, first.size() / 2);
    // The difference of two frames has sqrt(2) times the noise.
    EXPECT_NEAR(std::sqrt(squared / first.size()), 1.5 * std::sqrt(2.0), 0.3);
}

TEST(SimSyntheticScene, ResponseIsProportionalToExposureAboveBlack) {
    SyntheticScene scene(640, 512, 1);
    RenderRequest request = FullFrame(640, 512);
    request.signalScale = 0.3;
    const double low = Mean(Render(scene, request)) - 60;
    request.signalScale = 0.6;
    const double high = Mean(Render(scene, request)) - 60;
    EXPECT_NEAR(high / low, 2.0, 0.05);
}

TEST(SimSyntheticScene, BlackLevelWithoutLightAndHotAndDeadPixels) {
    SyntheticScene scene(1280, 1024, 1);
    RenderRequest request = FullFrame(1280, 1024);
    request.signalScale = 0.0;
    request.noiseSigma = 0.001;
    request.blackLevel = 240;
    EXPECT_NEAR(Mean(Render(scene, request)), 240.0, 1.0);

    request.signalScale = 0.5;
    const auto frame = Render(scene, request);
    size_t hot = 0, dead = 0;
    for (uint32_t y = 0; y < 1024; ++y) {
        for (uint32_t x = 0; x < 1280; ++x) {
            const uint16_t radiance = scene.RadianceAt(x, y);
            if (radiance == 0) ++dead;
            if (radiance > 4095) {
                ++hot;
                EXPECT_EQ(frame[y * 1280 + x], 4095);
            }
        }
    }
    EXPECT_GT(hot, 10u);
    EXPECT_GT(dead, 10u);
}

TEST(SimSyntheticScene, DetailAtFineAndCoarseScales) {
    SyntheticScene scene(1280, 1024, 3);
    // Mean absolute difference between pixels 1 apart and 128 apart: both clearly non-zero.
    double fine = 0, coarse = 0;
    size_t n = 0;
    for (uint32_t y = 0; y < 1024; y += 8) {
        for (uint32_t x = 0; x + 128 < 1280; x += 8) {
            fine += std::abs(scene.RadianceAt(x + 1, y) - scene.RadianceAt(x, y));
            coarse += std::abs(scene.RadianceAt(x + 128, y) - scene.RadianceAt(x, y));
            ++n;
        }
    }
    EXPECT_GT(fine / n, 5.0);
    EXPECT_GT(coarse / n, 3 * fine / n);
}

TEST(SimSyntheticScene, TargetMovesWithTime) {
    SyntheticScene scene(640, 512, 1);
    RenderRequest request = FullFrame(640, 512);
    request.noiseSigma = 0.001;
    const auto early = Render(scene, request);
    request.timeMs = 2000;
    const auto late = Render(scene, request);
    EXPECT_NE(early, late);
}

TEST(SimSyntheticScene, PatternsAreExactInBothSampleWidths) {
    SyntheticScene scene(640, 512, 1);
    RenderRequest request = FullFrame(100, 3);
    scene.SetPattern(SceneKind::Uniform, 2000);
    std::vector<uint16_t> wide(300);
    std::vector<uint8_t> narrow(300);
    scene.RenderWide(request, wide);
    scene.RenderNarrow(request, narrow);
    EXPECT_TRUE(std::all_of(wide.begin(), wide.end(), [](uint16_t v) { return v == 2000; }));
    EXPECT_TRUE(
        std::all_of(narrow.begin(), narrow.end(), [](uint8_t v) { return v == 2000 >> 4; }));

    scene.SetPattern(SceneKind::Ramp);
    scene.RenderWide(request, wide);
    EXPECT_EQ(wide[0], 0);
    EXPECT_EQ(wide[99], 4095);
    EXPECT_EQ(wide[250], 50 * 4095 / 99);

    scene.SetImage({1, 2, 3, 4}, 2, 2);
    scene.RenderWide(request, wide);
    EXPECT_EQ(wide[0], 1);
    EXPECT_EQ(wide[3], 2);    // tiled across
    EXPECT_EQ(wide[100], 3);  // second row
    EXPECT_EQ(wide[200], 1);  // tiled down
}

}  // namespace
}  // namespace korvix::sim
