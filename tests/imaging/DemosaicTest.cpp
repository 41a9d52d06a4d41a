#include "imaging/Demosaic.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ImageTestSupport.h"
#include "imaging/BayerSites.h"

namespace korvix::imaging {
namespace {

using test::FillRandom;
using test::Snapshot;

// Raw sample of a gray image (8 or 16 bits) at memory row `row`.
int RawAt(const FrameImage &raw, int column, int row) {
    return raw.BitCount() == 8 ? test::Byte(raw, column, row) : test::Word(raw, column, row);
}

int OutAt(const FrameImage &rgb, int column, int row, int channel) {
    return rgb.BitCount() <= 32 ? test::Byte(rgb, column, row, channel)
                                : test::Word(rgb, column, row, channel);
}

// The interpolation written straight from its definition: find the cell's red, blue
// and green samples, weight the four nearest samples of each colour 9-3-3-1 around the
// corner point, reading outside samples four pixels further inside.
int ReferenceChannel(const FrameImage &raw, const DemosaicParams &params, int x, int y,
                     int channel) {
    const int width = raw.Width(), height = raw.Height();
    const auto sample = [&](int column, int row) {
        if (column < 0) column += 4;
        if (column >= width) column -= 4;
        if (row < 0) row += 4;
        if (row >= height) row -= 4;
        return RawAt(raw, column, row);
    };
    const auto colorAt = [&](int column, int row) {
        return DemosaicSiteColor(params.bayerMode, (column % 2 + 2) % 2, (row % 2 + 2) % 2);
    };
    if (channel == 1) {
        int sum = 0;
        for (int dy = -1; dy <= 0; ++dy) {
            for (int dx = -1; dx <= 0; ++dx) {
                if (colorAt(x + dx, y + dy) == BayerColor::kGreen) sum += sample(x + dx, y + dy);
            }
        }
        return sum / 2;
    }
    const BayerColor wanted = channel == 0 ? BayerColor::kBlue : BayerColor::kRed;
    for (int b = -1; b <= 0; ++b) {
        for (int a = -1; a <= 0; ++a) {
            if (colorAt(x + a, y + b) != wanted) continue;
            const int a2 = a == -1 ? 1 : -2;
            const int b2 = b == -1 ? 1 : -2;
            const int weighted = 9 * sample(x + a, y + b) + 3 * sample(x + a2, y + b) +
                                 3 * sample(x + a, y + b2) + sample(x + a2, y + b2);
            const double percent = channel == 0 ? params.blueGain : params.redGain;
            const long long factor = static_cast<long long>(std::trunc(percent * 1.28));
            const long long value = weighted * factor / 2048;
            const long long maximum = raw.BitCount() == 8 ? 255 : 65535;
            return static_cast<int>(std::min(value, maximum));
        }
    }
    ADD_FAILURE() << "no sample of the wanted colour in the cell";
    return -1;
}

void RunDemosaic(FrameImage &rgb, const FrameImage &raw, DemosaicParams &params) {
    const bool deep = raw.BitCount() == 16;
    ASSERT_EQ(
        ConvertImage(rgb, deep ? Demosaic16Inner : Demosaic8Inner, raw, nullptr, 0, 0, &params), 1);
    ASSERT_EQ(
        ConvertImage(rgb, deep ? Demosaic16Border : Demosaic8Border, raw, nullptr, 0, 0, &params),
        1);
}

struct Format {
    int rawBits;
    int rgbBits;
};
constexpr Format kFormats[] = {{8, 24}, {8, 32}, {16, 48}, {16, 64}};

TEST(ImagingDemosaic, UniformFrameStaysUniformEverywhere) {
    for (const Format format : kFormats) {
        for (int mode = 0; mode < 4; ++mode) {
            const int value = format.rawBits == 8 ? 173 : 0xFFFF;
            FrameImage raw, rgb;
            ASSERT_EQ(raw.Create(9, 7, format.rawBits), 1);
            ASSERT_EQ(rgb.Create(9, 7, format.rgbBits), 1);
            for (int row = 0; row < 7; ++row) {
                for (int column = 0; column < 9; ++column) {
                    if (format.rawBits == 8) {
                        test::Byte(raw, column, row) = static_cast<uint8_t>(value);
                    } else {
                        test::SetWord(raw, column, row, 0, static_cast<uint16_t>(value));
                    }
                }
            }
            DemosaicParams params{mode, 100, 100, 100};
            RunDemosaic(rgb, raw, params);
            for (int row = 0; row < 7; ++row) {
                for (int column = 0; column < 9; ++column) {
                    for (int channel = 0; channel < 3; ++channel) {
                        ASSERT_EQ(OutAt(rgb, column, row, channel), value)
                            << format.rgbBits << " mode " << mode << " at " << column << "," << row
                            << " channel " << channel;
                    }
                    if (format.rgbBits == 32 || format.rgbBits == 64) {
                        ASSERT_EQ(OutAt(rgb, column, row, 3), 0);  // fourth left alone
                    }
                }
            }
        }
    }
}

TEST(ImagingDemosaic, MatchesReferenceOnRandomFrames) {
    const int gains[][2] = {{100, 100}, {0, 400}, {257, 33}, {400, 400}};
    // The wide frame runs the row kernels' vector steps, chunk boundaries and tails.
    const int sizes[][2] = {{13, 10}, {301, 5}};
    for (const auto &size : sizes) {
        const int width = size[0], height = size[1];
        for (const Format format : kFormats) {
            for (int mode = 0; mode < 4; ++mode) {
                for (const auto &gain : gains) {
                    FrameImage raw, rgb;
                    ASSERT_EQ(raw.Create(width, height, format.rawBits), 1);
                    ASSERT_EQ(rgb.Create(width, height, format.rgbBits), 1);
                    FillRandom(raw, 100 + mode * 7 + gain[0] + width);
                    DemosaicParams params{mode, gain[0], 55, gain[1]};
                    RunDemosaic(rgb, raw, params);
                    for (int row = 0; row < height; ++row) {
                        for (int column = 0; column < width; ++column) {
                            for (int channel = 0; channel < 3; ++channel) {
                                ASSERT_EQ(OutAt(rgb, column, row, channel),
                                          ReferenceChannel(raw, params, column, row, channel))
                                    << format.rgbBits << " mode " << mode << " gains " << gain[0]
                                    << "/" << gain[1] << " at " << column << "," << row
                                    << " channel " << channel;
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(ImagingDemosaic, NarrowFramesAreFilledByTheBorderPass) {
    for (int width : {4, 3, 2, 1}) {
        FrameImage raw, rgb;
        ASSERT_EQ(raw.Create(width, 6, 8), 1);
        ASSERT_EQ(rgb.Create(width, 6, 24), 1);
        FillRandom(raw, 8);
        DemosaicParams params{1, 100, 100, 100};
        const auto before = Snapshot(rgb);
        ASSERT_EQ(ConvertImage(rgb, Demosaic8Inner, raw, nullptr, 0, 0, &params), 1);
        EXPECT_EQ(Snapshot(rgb), before) << "inner pass wrote into a frame of width " << width;
        ASSERT_EQ(ConvertImage(rgb, Demosaic8Border, raw, nullptr, 0, 0, &params), 1);
        if (width == 4) {
            for (int row = 0; row < 6; ++row) {
                for (int column = 0; column < 4; ++column) {
                    for (int channel = 0; channel < 3; ++channel) {
                        ASSERT_EQ(OutAt(rgb, column, row, channel),
                                  ReferenceChannel(raw, params, column, row, channel));
                    }
                }
            }
        }
    }
}

TEST(ImagingDemosaic, RefusesMissingParametersAndWrongFormats) {
    FrameImage raw, rgb16, rgb;
    ASSERT_EQ(raw.Create(8, 8, 8), 1);
    ASSERT_EQ(rgb16.Create(8, 8, 16), 1);
    ASSERT_EQ(rgb.Create(8, 8, 24), 1);
    DemosaicParams params;
    EXPECT_EQ(ConvertImage(rgb, Demosaic8Inner, raw, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(ConvertImage(rgb16, Demosaic8Inner, raw, nullptr, 0, 0, &params), 0);
    EXPECT_EQ(ConvertImage(rgb, Demosaic16Border, raw, nullptr, 0, 0, &params), 0);
}

}  // namespace
}  // namespace korvix::imaging
