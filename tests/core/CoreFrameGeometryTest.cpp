#include "core/FrameGeometry.h"

#include <gtest/gtest.h>

#include "core/FrameRateMeter.h"

namespace korvix::core {
namespace {

TEST(CoreFrameGeometry, BufferSizeHasMarginAndWholeGranules) {
    // (1024 + 128) x (1280 + 128) = 1622016 bytes, already a multiple of 8192.
    EXPECT_EQ(TransferBufferSize(1280, 1024, 1), 1622016u);
    EXPECT_EQ(TransferBufferSize(1280, 1024, 2), 2 * 1622016u);
    // (1 + 128) x (1 + 128) = 16641 rounds up to 24576.
    EXPECT_EQ(TransferBufferSize(1, 1, 1), 24576u);
    EXPECT_EQ(TransferBufferSize(0, 1024, 1), 0u);
    EXPECT_EQ(TransferBufferSize(1280, -1, 2), 0u);
}

TEST(CoreFrameGeometry, Imx990OffsetsFollowModeMirrorAndFullHeight) {
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx990, 0, true, false, true).t, 25);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx990, 0, true, false, false).t, 21);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx990, 0, true, false, true).e, 8);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx990, 0, true, true, true).e, 104);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx991, 0, false, true, true).e, 100);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx991, 0, false, false, true).e, 4);
    ReadoutOffsets subsampled = ComputeReadoutOffsets(SensorFamily::Imx990, 1, false, true, false);
    EXPECT_EQ(subsampled.t, 23);
    EXPECT_EQ(subsampled.e, 48);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx990, 1, true, false, false).e, 4);
    ReadoutOffsets binned = ComputeReadoutOffsets(SensorFamily::Imx990, 2, false, true, true);
    EXPECT_EQ(binned.t, 21);
    EXPECT_EQ(binned.e, 104);
}

TEST(CoreFrameGeometry, Imx992AndImx993Offsets) {
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx992, 0, true, false, true).t, 33);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx992, 0, true, false, false).t, 25);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx993, 0, true, false, true).t, 25);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx992, 0, true, false, true).e, 112);
    EXPECT_EQ(ComputeReadoutOffsets(SensorFamily::Imx993, 0, true, true, true).e, 16);
    ReadoutOffsets mode1 = ComputeReadoutOffsets(SensorFamily::Imx993, 1, true, false, true);
    EXPECT_EQ(mode1.t, 31);
    EXPECT_EQ(mode1.e, 52);
    ReadoutOffsets mode17 = ComputeReadoutOffsets(SensorFamily::Imx992, 17, true, true, true);
    EXPECT_EQ(mode17.t, 17);
    EXPECT_EQ(mode17.e, 8);
}

TEST(CoreFrameRateMeter, YieldsRateOncePerSecond) {
    FrameRateMeter meter;
    meter.Restart(5000);
    for (uint32_t tick = 5040; tick < 6000; tick += 40) EXPECT_FALSE(meter.AddFrame(tick));
    std::optional<float> rate = meter.AddFrame(6000);
    ASSERT_TRUE(rate);
    EXPECT_FLOAT_EQ(*rate, 25.0f);
    // Starts over: the next second counts only its own frames.
    EXPECT_FALSE(meter.AddFrame(6500));
    rate = meter.AddFrame(7000);
    ASSERT_TRUE(rate);
    EXPECT_FLOAT_EQ(*rate, 2.0f);
}

TEST(CoreFrameRateMeter, SurvivesTickWrapAround) {
    FrameRateMeter meter;
    meter.Restart(0xFFFFFF00u);
    std::optional<float> rate = meter.AddFrame(0x00000300u);  // 1024 ms later
    ASSERT_TRUE(rate);
    EXPECT_NEAR(*rate, 1000.0f / 1024.0f, 1e-6);
}

}  // namespace
}  // namespace korvix::core
