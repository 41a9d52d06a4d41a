#include "sim/CameraList.h"

#include <gtest/gtest.h>

namespace korvix::sim {
namespace {

TEST(SimCameraList, ModelNamesMapToProductIds) {
    auto result = ParseCameraList("imx990,imx990c,imx991,imx991c,imx992,imx992c,imx993,imx993c");
    ASSERT_TRUE(result.ok()) << result.error;
    const uint16_t expected[] = {0x3260, 0x3270, 0x3280, 0x3290, 0x3370, 0x3380, 0x33C0, 0x33D0};
    ASSERT_EQ(result.cameras.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(result.cameras[i].model->productId, expected[i]);
        EXPECT_EQ(result.cameras[i].model->cooled, (i % 2) == 1);
    }
}

TEST(SimCameraList, DefaultsMakeAHealthyCameraWithUniqueSerials) {
    auto result = ParseCameraList("imx990, imx990");
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.cameras.size(), 2u);
    const CameraConfig &camera = result.cameras[0];
    EXPECT_EQ(camera.firmwareVersion, 0x1101);
    EXPECT_EQ(camera.gpio25Flag, 1);
    EXPECT_GT(camera.fpgaVersion, 0x110);
    EXPECT_EQ(camera.fpgaVersion & (fpga::kVersionFastReadout | fpga::kVersionInternalCorrection),
              0);
    EXPECT_EQ(camera.linkSpeed, kSpeedSuper);
    EXPECT_EQ(camera.scene, SceneKind::Synthetic);
    EXPECT_FALSE(camera.serial.empty());
    EXPECT_NE(result.cameras[0].serial, result.cameras[1].serial);
}

TEST(SimCameraList, OptionsAreApplied) {
    auto result = ParseCameraList(
        "imx992c:serial=CAM-7:fw=0x1100:fpga=0x8024:speed=3:scene=uniform:2000:seed=99,"
        "imx991:scene=ramp:noise=off:trigger=40:unplug_after=3");
    ASSERT_TRUE(result.ok()) << result.error;
    const CameraConfig &first = result.cameras[0];
    EXPECT_EQ(first.serial, "CAM-7");
    EXPECT_EQ(first.firmwareVersion, 0x1100);
    EXPECT_EQ(first.fpgaVersion, 0x8024);
    EXPECT_EQ(first.linkSpeed, kSpeedHigh);
    EXPECT_EQ(first.scene, SceneKind::Uniform);
    EXPECT_EQ(first.uniformLevel, 2000);
    EXPECT_EQ(first.seed, 99u);
    EXPECT_TRUE(first.noise);
    EXPECT_EQ(first.triggerPeriodMs, 0u);
    EXPECT_EQ(first.unplugAfterFrames, 0u);
    const CameraConfig &second = result.cameras[1];
    EXPECT_EQ(second.scene, SceneKind::Ramp);
    EXPECT_FALSE(second.noise);
    EXPECT_EQ(second.triggerPeriodMs, 40u);
    EXPECT_EQ(second.unplugAfterFrames, 3u);
}

TEST(SimCameraList, EmptyTextGivesNoCameras) {
    auto result = ParseCameraList("  ");
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(result.cameras.empty());
}

TEST(SimCameraList, MistakesAreReportedWithTheirCamera) {
    for (const char *bad : {"imx999", "imx990,,imx990", "imx990:speed=2", "imx990:fw=0x10000",
                            "imx990:scene=uniform:5000", "imx990:colour=red", "imx990:seed",
                            "imx990:serial=0123456789012345678901234567890123", "imx990:noise=low",
                            "imx990:trigger=0", "imx990:trigger=3600001", "imx990:unplug_after=0",
                            "imx990:unplug_after=4294967296"}) {
        auto result = ParseCameraList(bad);
        EXPECT_FALSE(result.ok()) << bad;
        EXPECT_TRUE(result.cameras.empty()) << bad;
    }
    EXPECT_NE(ParseCameraList("imx990,imx990:speed=9").error.find("camera 2"), std::string::npos);
}

}  // namespace
}  // namespace korvix::sim
