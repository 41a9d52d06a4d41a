#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "imaging/BayerSites.h"
#include "imaging/GrayCorrection.h"
#include "imaging/Measurements.h"

namespace korvix::imaging {
namespace {

using test::Byte;
using test::FillRandom;
using test::SetWord;
using test::Snapshot;
using test::Word;

TEST(ImagingBayerSites, TablesAndMirroring) {
    EXPECT_EQ(DemosaicSiteColor(0, 1, 0), BayerColor::kBlue);
    EXPECT_EQ(DemosaicSiteColor(0, 0, 1), BayerColor::kRed);
    EXPECT_EQ(DemosaicSiteColor(1, 0, 0), BayerColor::kRed);
    EXPECT_EQ(DemosaicSiteColor(2, 1, 1), BayerColor::kRed);
    EXPECT_EQ(DemosaicSiteColor(3, 0, 1), BayerColor::kBlue);
    EXPECT_EQ(GrayGainSite(0, 1, 0), kSiteR);
    EXPECT_EQ(GrayGainSite(1, 0, 1), kSiteG1);
    EXPECT_EQ(GrayGainSite(2, 1, 1), kSiteB);
    EXPECT_EQ(GrayGainSite(3, 0, 0), kSiteG2);
    // Mirroring a mosaic and reading it in the mirrored mode gives the same colours.
    for (int mode = 0; mode < 4; ++mode) {
        for (int flags = 0; flags < 4; ++flags) {
            const bool vertical = flags & 1, horizontal = flags & 2;
            const int mirrored = MirroredBayerMode(mode, vertical, horizontal);
            for (int row = 0; row < 2; ++row) {
                for (int column = 0; column < 2; ++column) {
                    EXPECT_EQ(DemosaicSiteColor(mirrored, column, row),
                              DemosaicSiteColor(mode, horizontal ? 1 - column : column,
                                                vertical ? 1 - row : row));
                }
            }
        }
    }
}

TEST(ImagingMeanLevel, AveragesTheAreaAndShiftsSixteenBitSamples) {
    FrameImage gray8, gray16;
    ASSERT_EQ(gray8.Create(3, 2, 8), 1);
    const uint8_t values[6] = {1, 2, 3, 4, 5, 7};
    for (int k = 0; k < 6; ++k) Byte(gray8, k % 3, k / 3) = values[k];
    EXPECT_EQ(ConvertImage(gray8, MeanLevel8, gray8, nullptr, 0, 0), 22 / 6);
    ASSERT_EQ(gray16.Create(2, 1, 16), 1);
    SetWord(gray16, 0, 0, 0, 0xFFFF);
    SetWord(gray16, 1, 0, 0, 0x0010);
    EXPECT_EQ(ConvertImage(gray16, MeanLevel16, gray16, nullptr, 0, 0), (0x0FFF + 1) / 2);
}

TEST(ImagingWhiteBalance, GivesGreenOverRedAndBlue) {
    FrameImage raw;
    ASSERT_EQ(raw.Create(4, 4, 8), 1);
    // Mode 1: R G / G B. Red 50, greens 100, blue 200.
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const BayerColor color = DemosaicSiteColor(1, column, row);
            Byte(raw, column, row) = color == BayerColor::kRed    ? 50
                                     : color == BayerColor::kBlue ? 200
                                                                  : 100;
        }
    }
    WhiteBalanceResult result{1, 1, 1, 1};
    ASSERT_EQ(ConvertImage(raw, WhiteBalanceMeasure8, raw, nullptr, 0, 0, &result), 1);
    EXPECT_EQ(result.blueGain, 50);
    EXPECT_EQ(result.greenGain, 100);
    EXPECT_EQ(result.redGain, 200);
}

TEST(ImagingWhiteBalance, BlackChannelKeepsPreviousGain) {
    FrameImage raw;
    ASSERT_EQ(raw.Create(4, 4, 16), 1);
    // Mode 0: G B / R G. Blue black, red 1000, green 3000.
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const BayerColor color = DemosaicSiteColor(0, column, row);
            SetWord(raw, column, row, 0,
                    color == BayerColor::kBlue  ? 0
                    : color == BayerColor::kRed ? 1000
                                                : 3000);
        }
    }
    WhiteBalanceResult result{123, 77, 45, 0};
    ASSERT_EQ(ConvertImage(raw, WhiteBalanceMeasure16, raw, nullptr, 0, 0, &result), 1);
    EXPECT_EQ(result.blueGain, 123);
    EXPECT_EQ(result.redGain, 300);
    EXPECT_EQ(result.greenGain, 100);

    FrameImage black;
    ASSERT_EQ(black.Create(4, 4, 8), 1);
    WhiteBalanceResult kept{150, 100, 160, 2};
    ASSERT_EQ(ConvertImage(black, WhiteBalanceMeasure8, black, nullptr, 0, 0, &kept), 1);
    EXPECT_EQ(kept.blueGain, 150);
    EXPECT_EQ(kept.redGain, 160);
    EXPECT_EQ(ConvertImage(black, WhiteBalanceMeasure8, black, nullptr, 0, 0, nullptr), 0);
}

// Fills an 8-bit frame so that each gray-gain site of `mode` holds `levels[site]`.
void FillSites(FrameImage &raw, int mode, const int (&levels)[4]) {
    for (int row = 0; row < raw.Height(); ++row) {
        for (int column = 0; column < raw.Width(); ++column) {
            Byte(raw, column, row) = static_cast<uint8_t>(levels[GrayGainSite(mode, column, row)]);
        }
    }
}

TEST(ImagingGrayGainMeasure, SkipsExtremesAndScalesToGreenOne) {
    FrameImage raw;
    ASSERT_EQ(raw.Create(6, 4, 8), 1);
    FillSites(raw, 2, {50, 100, 25, 200});  // R, G1, G2, B
    // Saturated and black samples on the red site must not pull its mean.
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 6; ++column) {
            if (GrayGainSite(2, column, row) == kSiteR && column < 2) {
                Byte(raw, column, row) = row < 2 ? 255 : 0;
            }
        }
    }
    GrayGainParams params;
    params.bayerMode = 2;
    params.gain[kSiteG1] = 7;
    ASSERT_EQ(ConvertImage(raw, GrayGainMeasure8, raw, nullptr, 0, 0, &params), 1);
    EXPECT_EQ(params.gain[kSiteR], 256);
    EXPECT_EQ(params.gain[kSiteG1], 128);
    EXPECT_EQ(params.gain[kSiteG2], 512);
    EXPECT_EQ(params.gain[kSiteB], 64);
}

TEST(ImagingGrayGainMeasure, SixteenBitFramesSkipZeroAndTwelveBitSaturation) {
    FrameImage raw;
    ASSERT_EQ(raw.Create(6, 4, 16), 1);
    // Site levels above 255 catch a routine that reads the words as bytes.
    const int levels[4] = {1000, 2000, 500, 4000};  // R, G1, G2, B
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 6; ++column) {
            const GraySite site = GrayGainSite(1, column, row);
            uint16_t value = static_cast<uint16_t>(levels[site]);
            // Black and saturated samples on the red site must not pull its mean.
            if (site == kSiteR && column < 2) value = row < 2 ? 4095 : 0;
            SetWord(raw, column, row, 0, value);
        }
    }
    GrayGainParams params;
    params.bayerMode = 1;
    ASSERT_EQ(ConvertImage(raw, GrayGainMeasure16, raw, nullptr, 0, 0, &params), 1);
    EXPECT_EQ(params.gain[kSiteR], 256);
    EXPECT_EQ(params.gain[kSiteG1], 128);
    EXPECT_EQ(params.gain[kSiteG2], 512);
    EXPECT_EQ(params.gain[kSiteB], 64);
}

TEST(ImagingGrayGainMeasure, SiteWithoutSamplesKeepsItsGain) {
    FrameImage raw;
    ASSERT_EQ(raw.Create(4, 4, 8), 1);
    FillSites(raw, 0, {255, 100, 0, 50});
    GrayGainParams params;
    params.gain[kSiteR] = 111;
    params.gain[kSiteG2] = 99;
    ASSERT_EQ(ConvertImage(raw, GrayGainMeasure8, raw, nullptr, 0, 0, &params), 1);
    EXPECT_EQ(params.gain[kSiteR], 111);
    EXPECT_EQ(params.gain[kSiteG2], 99);
    EXPECT_EQ(params.gain[kSiteB], 256);

    FillSites(raw, 0, {100, 0, 100, 100});  // no G1 sample: nothing to scale to
    params.gain[kSiteB] = 5;
    params.gain[kSiteG1] = 6;
    ASSERT_EQ(ConvertImage(raw, GrayGainMeasure8, raw, nullptr, 0, 0, &params), 1);
    EXPECT_EQ(params.gain[kSiteB], 5);
    EXPECT_EQ(params.gain[kSiteG1], 6);
}

TEST(ImagingGrayGainOffset, UnityLeavesSamplesUnchanged) {
    FrameImage raw8, raw16;
    ASSERT_EQ(raw8.Create(7, 5, 8), 1);
    ASSERT_EQ(raw16.Create(7, 5, 16), 1);
    FillRandom(raw8, 21);
    FillRandom(raw16, 22, 0x0FFF);
    const auto before8 = Snapshot(raw8);
    const auto before16 = Snapshot(raw16);
    GrayGainParams params;
    params.sampleDepth = 12;
    for (int mode = 0; mode < 4; ++mode) {
        params.bayerMode = mode;
        ASSERT_EQ(ConvertImage(raw8, GrayGainOffset8, raw8, nullptr, 0, 0, &params), 1);
        ASSERT_EQ(ConvertImage(raw16, GrayGainOffset16, raw16, nullptr, 0, 0, &params), 1);
    }
    EXPECT_EQ(Snapshot(raw8), before8);
    EXPECT_EQ(Snapshot(raw16), before16);
}

TEST(ImagingGrayGainOffset, NegativeOffsetClampsToZeroAndLimitsFollowDepth) {
    FrameImage raw8;
    ASSERT_EQ(raw8.Create(2, 2, 8), 1);
    FillSites(raw8, 1, {200, 200, 200, 200});
    GrayGainParams params;
    params.bayerMode = 1;
    params.offset[kSiteR] = -255;
    params.gain[kSiteB] = 255;   // 200 x 255 / 128 = 398 -> 255
    params.gain[kSiteG2] = 100;  // 200 x 100 / 128 = 156
    ASSERT_EQ(ConvertImage(raw8, GrayGainOffset8, raw8, nullptr, 0, 0, &params), 1);
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const GraySite site = GrayGainSite(1, column, row);
            const int expected = site == kSiteR    ? 0
                                 : site == kSiteB  ? 255
                                 : site == kSiteG2 ? 156
                                                   : 200;
            EXPECT_EQ(Byte(raw8, column, row), expected) << site;
        }
    }

    for (const auto &[depth, limit] : {std::pair{10, 1023}, {12, 4095}, {14, 16383}, {16, 65535}}) {
        FrameImage raw16;
        ASSERT_EQ(raw16.Create(2, 2, 16), 1);
        for (int k = 0; k < 4; ++k) SetWord(raw16, k % 2, k / 2, 0, 60000);
        GrayGainParams gain;
        gain.sampleDepth = depth;
        gain.gain[kSiteR] = 255;
        gain.offset[kSiteG1] = -255;
        ASSERT_EQ(ConvertImage(raw16, GrayGainOffset16, raw16, nullptr, 0, 0, &gain), 1);
        for (int k = 0; k < 4; ++k) {
            const GraySite site = GrayGainSite(0, k % 2, k / 2);
            const int expected = site == kSiteG1  ? std::min(60000 - 255, limit)
                                 : site == kSiteR ? limit
                                                  : std::min(60000, limit);
            EXPECT_EQ(Word(raw16, k % 2, k / 2), expected) << depth << " site " << site;
        }
    }
    EXPECT_EQ(ConvertImage(raw8, GrayGainOffset8, raw8, nullptr, 0, 0, nullptr), 0);
}

}  // namespace
}  // namespace korvix::imaging
