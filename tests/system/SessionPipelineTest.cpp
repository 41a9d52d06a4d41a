#include <cstdint>
#include <string>
#include <vector>

#include "SimulatedCameras.h"
#include "platform/Registry.h"
#include "support/TestEnvironment.h"

namespace korvix::test {
namespace {

using platform::RegistryKey;
using platform::RegistryResult;

const std::string kGainGroup = "Software\\Velsor\\KorvixTesslin3T2Sdk\\Camera_00\\Gain";

constexpr uint32_t kWidth = 1280;
constexpr uint32_t kHeight = 1024;

// 12-bit levels whose 8-bit frames read 250, 128 and 40.
constexpr uint16_t kBright = 4000;
constexpr uint16_t kMiddle = 2048;
constexpr uint16_t kDark = 640;

// The five areas the automatic exposure measures, as fractions of the frame (left, top,
// right, bottom): four near the corners and the centre.
constexpr double kAreas[5][4] = {
    {0.10, 0.10, 0.20, 0.20}, {0.10, 0.80, 0.20, 0.90}, {0.45, 0.45, 0.55, 0.55},
    {0.80, 0.10, 0.90, 0.20}, {0.80, 0.80, 0.90, 0.90},
};

// A full-size scene at `background` with each measured area (and a margin around it) at
// its own level.
std::vector<uint16_t> AreaScene(uint16_t background, const uint16_t (&levels)[5]) {
    std::vector<uint16_t> pixels(size_t{kWidth} * kHeight, background);
    constexpr int kMargin = 8;
    for (int area = 0; area < 5; ++area) {
        const int left = static_cast<int>(kAreas[area][0] * kWidth) - kMargin;
        const int top = static_cast<int>(kAreas[area][1] * kHeight) - kMargin;
        const int right = static_cast<int>(kAreas[area][2] * kWidth) + kMargin;
        const int bottom = static_cast<int>(kAreas[area][3] * kHeight) + kMargin;
        for (int row = top; row < bottom; ++row) {
            for (int column = left; column < right; ++column) pixels[size_t(row) * kWidth + column] = levels[area];
        }
    }
    return pixels;
}

uint32_t StoredGain(const char *name) {
    auto group = RegistryKey::Open(kGainGroup);
    uint32_t value = 0;
    EXPECT_TRUE(group && group->GetDword(name, value) == RegistryResult::Ok) << name;
    return value;
}

class SystemSessionPipeline : public SimulatedCamerasTest {};

// The automatic exposure measures one 8-bit snapshot of a still scene and scales the
// exposure (or, in gain mode, the global gain) by the factor its five areas give; the
// session keeps the result in the camera's "Gain" group at release.
TEST_F(SystemSessionPipeline, AutomaticExposureScalesByTheFactorOfItsFiveAreas) {
    struct Case {
        const char *name;
        uint16_t levels[5];
        int mode;            // 1: exposure, 2: gain
        uint32_t startGain;  // stored before the session (gain mode)
        int factorPercent;
        uint32_t expectedGain;
    };
    const Case cases[] = {
        {"all bright", {kBright, kBright, kBright, kBright, kBright}, 1, 0, 25, 0},
        {"centre alone bright", {kMiddle, kMiddle, kBright, kMiddle, kMiddle}, 1, 0, 100, 0},
        {"all dark", {kDark, kDark, kDark, kDark, kDark}, 1, 0, 150, 0},
        {"gain 3, all dark", {kDark, kDark, kDark, kDark, kDark}, 2, 3, 100, 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetEnvironmentValue("KORVIX_REGISTRY", FreshRegistryStore(c.name).c_str());
        UseCameras("imx990:noise=off");
        Camera().SetSceneImage(AreaScene(kMiddle, c.levels), kWidth, kHeight);

        // A first session leaves the camera's defaults in the store; the next one starts
        // from them with the automatic exposure switched on.
        const int first = Korvix_Initialize(nullptr);
        ASSERT_EQ(Korvix_Release(first), 1);
        const uint32_t startExposure = StoredGain("Exposure");
        {
            auto group = RegistryKey::Open(kGainGroup);
            ASSERT_NE(group, nullptr);
            ASSERT_TRUE(group->SetDword("AutoIris", static_cast<uint32_t>(c.mode)));
            if (c.mode == 2) {
                ASSERT_TRUE(group->SetDword("Global", c.startGain));
            }
        }

        const int handle = Korvix_Initialize(nullptr);
        ASSERT_NE(handle, 0);
        EXPECT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
        EXPECT_EQ(Korvix_SetColorMode(handle, 8), 1);
        std::vector<uint8_t> frame(size_t{kWidth} * kHeight);
        EXPECT_EQ(Korvix_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1), 1);
        EXPECT_EQ(Korvix_Release(handle), 1);

        EXPECT_EQ(StoredGain("Exposure"), startExposure * c.factorPercent / 100);
        if (c.mode == 2) {
            EXPECT_EQ(StoredGain("Global"), c.expectedGain);
        }
        sim::Simulator::Instance().Reset();
    }
}

}  // namespace
}  // namespace korvix::test
