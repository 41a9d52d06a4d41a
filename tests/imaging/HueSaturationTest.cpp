#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <thread>
#include <vector>

#include "FilterTestSupport.h"
#include "ImageTestSupport.h"
#include "imaging/Filters.h"

namespace korvix::imaging {
namespace {

using test::FillRandom;
using test::SampleAt;
using test::SetSample;
using test::Snapshot;

// The rotation written out step by step with its tables as described: gray, reciprocal,
// lightness (value and limit), saturation and sector tables.
class ReferenceHue {
  public:
    ReferenceHue(int hue, int saturation) {
        for (int k = 0; k < 256; ++k) gray_[k] = k * 0x010101;
        for (int d = 1; d < 256; ++d) reciprocal_[d] = 0xFF0000 / d;
        for (int i = 0; i < 512; ++i) {
            lightnessValue_[i] = i;
            lightnessLimit_[i] = i < 256 ? i : 511 - i;
        }
        const long long a = (saturation + 256) * 256;
        for (int i = 0; i < 256; ++i) saturation_[i] = static_cast<int>((a * i + 0x8000) >> 16);
        const auto l = static_cast<uint16_t>(static_cast<long long>(hue) * 65536 / 360);
        const int q = (l * 6) >> 8;
        int p = q & 0x1FF;
        if (p >= 256) p -= 512;
        const int o = ((q + 256) >> 9) % 3;
        shift_ = p + 510 * o;
        while (shift_ < 0) shift_ += 1530;
        while (shift_ > 1529) shift_ -= 1530;
    }

    int Shift() const { return shift_; }

    // Returns blue, green, red.
    std::array<int, 3> Apply(int b, int g, int r) const {
        static const int mask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
        static const int unit[6] = {-1, 0x100, -0x10000, 1, -0x100, 0x10000};
        const int max = std::max({b, g, r}), min = std::min({b, g, r}), d = max - min;
        int sector, n;
        if (b > r && b > g) {
            sector = 5;
            n = r - g;
        } else if (r >= g) {
            sector = 1;
            n = g - b;
        } else {
            sector = 3;
            n = b - r;
        }
        if (n < 0) {
            sector -= 1;
            n += d;
        }
        const int l2 = lightnessValue_[max + min];
        const int c = std::min(lightnessLimit_[max + min], saturation_[d]);
        const int base = gray_[(l2 - c) >> 1];
        int packed = base;
        if (d != 0) {
            int w = ((n * reciprocal_[d] + 0x8000) >> 16) + shift_ % 255;
            int k = sector + shift_ / 255;
            if (w > 254) {
                k += 1;
                w -= 255;
            }
            const int c2 = ((l2 + c) >> 1) - ((l2 - c) >> 1);
            packed = base + (gray_[c2] & mask[k % 6]) + ((c2 * w + 128) >> 8) * unit[k % 6];
        }
        return {packed & 0xFF, (packed >> 8) & 0xFF, (packed >> 16) & 0xFF};
    }

  private:
    int gray_[256];
    int reciprocal_[256] = {};
    int lightnessValue_[512];
    int lightnessLimit_[512];
    int saturation_[256];
    int shift_;
};

std::array<int, 3> RotateOne(int bits, int hue, int saturation, std::array<int, 3> pixel) {
    FrameImage image;
    EXPECT_EQ(image.Create(1, 1, bits), 1);
    for (int k = 0; k < 3; ++k) SetSample(image, 0, 0, k, pixel[k]);
    HueSaturationParams params{hue, saturation};
    EXPECT_EQ(ConvertImage(image, bits <= 32 ? HueSaturation24 : HueSaturation48, image, nullptr, 0,
                           0, &params),
              1);
    return {SampleAt(image, 0, 0, 0), SampleAt(image, 0, 0, 1), SampleAt(image, 0, 0, 2)};
}

TEST(ImagingHueSaturation, ShiftStepsOfTheCircle) {
    EXPECT_EQ(HueShiftSteps(0), 0);
    EXPECT_EQ(HueShiftSteps(360), 0);
    EXPECT_EQ(HueShiftSteps(-360), 0);
    EXPECT_EQ(HueShiftSteps(60), 255);
    for (int hue = -360; hue <= 360; ++hue) {
        EXPECT_EQ(HueShiftSteps(hue), ReferenceHue(hue, 0).Shift()) << hue;
        EXPECT_GE(HueShiftSteps(hue), 0);
        EXPECT_LT(HueShiftSteps(hue), 1530);
    }
}

TEST(ImagingHueSaturation, MatchesReferenceOnRandomImages) {
    const int settings[][2] = {{0, 0},     {360, 0},   {45, 0},   {-90, 30},  {180, -100},
                               {300, 255}, {-1, -255}, {123, 77}, {-360, 200}};
    for (int bits : {24, 32, 48, 64}) {
        for (const auto &setting : settings) {
            FrameImage image, original;
            ASSERT_EQ(image.Create(31, 7, bits), 1);
            ASSERT_EQ(original.CopyFormat(image), 1);
            FillRandom(image, 500 + bits + setting[0]);
            std::memcpy(original.Bits(), image.Bits(), image.SizeBytes());
            HueSaturationParams params{setting[0], setting[1]};
            ASSERT_EQ(ConvertImage(image, bits <= 32 ? HueSaturation24 : HueSaturation48, image,
                                   nullptr, 0, 0, &params),
                      1);
            const ReferenceHue reference(setting[0], setting[1]);
            const int shift = bits >= 48 ? 8 : 0;
            for (int row = 0; row < 7; ++row) {
                for (int column = 0; column < 31; ++column) {
                    const auto expected =
                        reference.Apply(SampleAt(original, column, row, 0) >> shift,
                                        SampleAt(original, column, row, 1) >> shift,
                                        SampleAt(original, column, row, 2) >> shift);
                    for (int k = 0; k < 3; ++k) {
                        ASSERT_EQ(SampleAt(image, column, row, k), expected[k] << shift)
                            << bits << " bits, hue " << setting[0] << ", saturation " << setting[1]
                            << " at " << column << "," << row;
                    }
                    if (bits == 32) {
                        ASSERT_EQ(SampleAt(image, column, row, 3),
                                  SampleAt(original, column, row, 3));
                    }
                    if (bits == 64) {
                        ASSERT_EQ(SampleAt(image, column, row, 3), 0);
                    }
                }
            }
        }
    }
}

TEST(ImagingHueSaturation, GrayPixelsStayGray) {
    for (int level : {0, 1, 100, 128, 254, 255}) {
        for (int hue : {-360, -77, 0, 90, 359, 360}) {
            for (int saturation : {-255, -1, 0, 100, 255}) {
                EXPECT_EQ(RotateOne(24, hue, saturation, {level, level, level}),
                          (std::array<int, 3>{level, level, level}));
            }
        }
    }
}

TEST(ImagingHueSaturation, FullHueTurnEqualsNoRotation) {
    FrameImage turned, still;
    ASSERT_EQ(turned.Create(16, 16, 24), 1);
    ASSERT_EQ(still.Create(16, 16, 24), 1);
    FillRandom(turned, 42);
    std::memcpy(still.Bits(), turned.Bits(), turned.SizeBytes());
    HueSaturationParams full{360, 40}, none{0, 40};
    ASSERT_EQ(ConvertImage(turned, HueSaturation24, turned, nullptr, 0, 0, &full), 1);
    ASSERT_EQ(ConvertImage(still, HueSaturation24, still, nullptr, 0, 0, &none), 1);
    EXPECT_EQ(Snapshot(turned), Snapshot(still));
}

TEST(ImagingHueSaturation, SaturationMinus255TurnsWeakColoursGray) {
    // Chroma below 128 becomes 0: gray at (max + min) >> 1.
    EXPECT_EQ(RotateOne(24, 0, -255, {10, 60, 137}), (std::array<int, 3>{73, 73, 73}));
    // Chroma of 128 or more becomes 1.
    const auto strong = RotateOne(24, 0, -255, {0, 50, 200});
    const int spread = *std::max_element(strong.begin(), strong.end()) -
                       *std::min_element(strong.begin(), strong.end());
    EXPECT_EQ(spread, 1);
}

TEST(ImagingHueSaturation, SixteenBitWordsKeepTheirHighByte) {
    EXPECT_EQ(RotateOne(48, 360, 0, {0x1234, 0x5678, 0x9ABC}),
              (std::array<int, 3>{0x1200, 0x5600, 0x9A00}));
    EXPECT_EQ(RotateOne(64, 360, 0, {0x1234, 0x5678, 0x9ABC}),
              (std::array<int, 3>{0x1200, 0x5600, 0x9A00}));
}

TEST(ImagingHueSaturation, RotatesPrimariesBySectors) {
    // 120 degrees is just short of two sectors (509 of 510 steps): red moves to green.
    const auto green = RotateOne(24, 120, 0, {0, 0, 255});
    EXPECT_EQ(green[0], 0);
    EXPECT_EQ(green[1], 255);
    EXPECT_EQ(green[2], 2);
    // 240 degrees (1019 steps) takes red to blue with the same shortfall in green.
    EXPECT_EQ(RotateOne(24, 240, 0, {0, 0, 255}), (std::array<int, 3>{255, 2, 0}));
}

TEST(ImagingHueSaturation, ConcurrentCallsWithDifferentSettingsDoNotInterfere) {
    // Two sessions filtering at the same time with different saturations must each get
    // their own result (no shared tables rebuilt under the other's feet).
    FrameImage source;
    ASSERT_EQ(source.Create(64, 48, 24), 1);
    FillRandom(source, 314);
    const HueSaturationParams settings[2] = {{30, -200}, {-150, 180}};
    std::vector<uint8_t> expected[2];
    for (int k = 0; k < 2; ++k) {
        FrameImage image;
        ASSERT_EQ(image.CopyFormat(source), 1);
        std::memcpy(image.Bits(), source.Bits(), source.SizeBytes());
        HueSaturationParams params = settings[k];
        ASSERT_EQ(ConvertImage(image, HueSaturation24, image, nullptr, 0, 0, &params), 1);
        expected[k] = Snapshot(image);
    }
    int mismatches[2] = {0, 0};
    const auto work = [&](int k) {
        FrameImage image;
        image.CopyFormat(source);
        for (int round = 0; round < 50; ++round) {
            std::memcpy(image.Bits(), source.Bits(), source.SizeBytes());
            HueSaturationParams params = settings[k];
            ConvertImage(image, HueSaturation24, image, nullptr, 0, 0, &params);
            if (Snapshot(image) != expected[k]) ++mismatches[k];
        }
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    EXPECT_EQ(mismatches[0], 0);
    EXPECT_EQ(mismatches[1], 0);
}

TEST(ImagingHueSaturation, RefusesMissingParametersAndGrayImages) {
    FrameImage gray, color;
    ASSERT_EQ(gray.Create(2, 2, 8), 1);
    ASSERT_EQ(color.Create(2, 2, 24), 1);
    HueSaturationParams params{90, 0};
    EXPECT_EQ(ConvertImage(gray, HueSaturation24, gray, nullptr, 0, 0, &params), 0);
    EXPECT_EQ(ConvertImage(color, HueSaturation48, color, nullptr, 0, 0, &params), 0);
    EXPECT_EQ(ConvertImage(color, HueSaturation24, color, nullptr, 0, 0, nullptr), 0);
}

}  // namespace
}  // namespace korvix::imaging
