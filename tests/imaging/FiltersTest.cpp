#include "imaging/Filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "FilterTestSupport.h"
#include "ImageTestSupport.h"

namespace korvix::imaging {
namespace {

using test::FillRandom;
using test::FilterFamilyCase;
using test::FilterVariants;
using test::kFilterFamilies;
using test::SampleAt;
using test::SetSample;
using test::Snapshot;

const FilterVariants kBrightness{Brightness8, Brightness16, Brightness24, Brightness48};
const FilterVariants kContrast{Contrast8, Contrast16, Contrast24, Contrast48};
const FilterVariants kGamma{Gamma8, Gamma16, Gamma24, Gamma48};
const FilterVariants kSharpness{Sharpness8, Sharpness16, Sharpness24, Sharpness48};

// Straight from the definitions, one sample at a time, in the stated precision.
int ReferenceBrightness(int x, int b, int maximum) {
    double factor = 1.0;
    if (b < 0) factor = 1.0 - std::abs(b) * 0.00392156862745098;
    if (b > 0) factor = 1.0 + b * 0.0392156862745098;
    const float product = static_cast<float>(x) * static_cast<float>(factor);
    return std::clamp(static_cast<int>(std::trunc(product)), 0, maximum);
}

int ReferenceContrast(int x, int m, int maximum) {
    const int t = maximum == 255 ? m : m * 256;
    if (x < t) return 0;
    if (x > maximum - t) return maximum;
    return static_cast<int>(
        std::trunc(double(maximum + 1) / double(maximum + 1 - 2 * t) * (x - t)));
}

int ReferenceGamma(int x, int g, int maximum) {
    if (x == 0) return 0;
    const double value = maximum * std::pow(double(x) / maximum, 1.0 / (g / 100.0));
    return static_cast<int>(std::min<double>(maximum, std::trunc(value)));
}

// Runs `variants` with `parameter` on a random image of every family (seeded by `seed`)
// and compares each used sample with reference(x); a fourth sample of 32/64-bit pixels
// must be left alone.
void ExpectParameterMatchesPerSample(const FilterVariants &variants, void *parameter, int seed,
                                     const std::function<int(int x, int maximum)> &reference) {
    const int value = seed;
    for (const FilterFamilyCase family : kFilterFamilies) {
        FrameImage image, original;
        ASSERT_EQ(image.Create(23, 9, family.bits), 1);
        ASSERT_EQ(original.CopyFormat(image), 1);
        FillRandom(image, 1000 + family.bits + value);
        std::memcpy(original.Bits(), image.Bits(), image.SizeBytes());
        ASSERT_EQ(ConvertImage(image, variants.For(family.bits), image, nullptr, 0, 0, parameter), 1);
        const int samples = image.BytesPerPixel() / (family.maximum == 255 ? 1 : 2);
        for (int row = 0; row < 9; ++row) {
            for (int column = 0; column < 23; ++column) {
                for (int k = 0; k < samples; ++k) {
                    const int x = SampleAt(original, column, row, k);
                    const int expected = k < family.channels ? reference(x, family.maximum) : x;
                    ASSERT_EQ(SampleAt(image, column, row, k), expected)
                        << family.bits << " bits, value " << value << ", sample " << x;
                }
            }
        }
    }
}

void ExpectMatchesPerSample(const FilterVariants &variants, int32_t value,
                            const std::function<int(int x, int maximum)> &reference) {
    ExpectParameterMatchesPerSample(variants, &value, value, reference);
}

TEST(ImagingToneFilters, BrightnessMatchesReference) {
    for (int b : {-255, -200, -1, 1, 37, 255}) {
        ExpectMatchesPerSample(
            kBrightness, b, [b](int x, int maximum) { return ReferenceBrightness(x, b, maximum); });
    }
}

TEST(ImagingToneFilters, BrightnessMinus255IsBlack) {
    FrameImage image;
    ASSERT_EQ(image.Create(5, 5, 24), 1);
    FillRandom(image, 3);
    int32_t value = -255;
    ASSERT_EQ(ConvertImage(image, Brightness24, image, nullptr, 0, 0, &value), 1);
    for (int row = 0; row < 5; ++row) {
        for (int k = 0; k < 15; ++k) EXPECT_EQ(image.Bits()[row * image.Pitch() + k], 0);
    }
}

TEST(ImagingToneFilters, ContrastMatchesReference) {
    for (int m : {-127, -50, 1, 64, 127}) {
        ExpectMatchesPerSample(
            kContrast, m, [m](int x, int maximum) { return ReferenceContrast(x, m, maximum); });
    }
}

// 16-bit contrast is computed per sample where the processor allows it (Contrast16Test runs
// the kernels over every contrast value): through the filter every sample value must still
// give the curve's value in double precision (for fourteen contrast values some exact
// quotients come out one lower), rows must end in part of a vector step that writes nothing
// past the area (its last column stays), and a fourth sample must stay.
TEST(ImagingToneFilters, SixteenBitContrastMatchesReferenceForEverySampleValue) {
    struct Case {
        int bits;
        int width;  // area of width - 1 pixels: used samples per row not a multiple of 32
    };
    for (const Case &c : {Case{16, 258}, Case{48, 86}, Case{64, 68}}) {
        const int used = c.bits == 16 ? 1 : 3;
        const int perPixel = c.bits / 16;
        const int height = 65536 / ((c.width - 1) * used) + 1;
        const PixelRect area{0, 0, c.width - 1, height};
        FrameImage source, image;
        ASSERT_EQ(source.Create(c.width, height, c.bits), 1);
        int next = 0;
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < c.width; ++column) {
                for (int k = 0; k < perPixel; ++k) {
                    SetSample(source, column, row, k, k < used ? (next++ & 0xFFFF) : 0x1234);
                }
            }
        }
        ASSERT_EQ(image.CopyFormat(source), 1);
        std::memcpy(image.Bits(), source.Bits(), source.SizeBytes());
        std::vector<int> expected(65536);
        for (int m : {-127, -68, -1, 1, 30, 127}) {
            for (int x = 0; x < 65536; ++x) expected[x] = ReferenceContrast(x, m, 65535);
            int32_t value = m;
            ASSERT_EQ(ConvertImage(image, kContrast.For(c.bits), source, &area, 0, 0, &value), 1);
            for (int row = 0; row < height; ++row) {
                for (int column = 0; column < c.width; ++column) {
                    for (int k = 0; k < perPixel; ++k) {
                        const int x = SampleAt(source, column, row, k);
                        const bool converted = column < c.width - 1 && k < used;
                        ASSERT_EQ(SampleAt(image, column, row, k), converted ? expected[x] : x)
                            << c.bits << " bits, contrast " << m << ", sample " << x;
                    }
                }
            }
        }
    }
}

TEST(ImagingToneFilters, Contrast127SplitsAtTheMiddle) {
    FrameImage image;
    ASSERT_EQ(image.Create(256, 1, 8), 1);
    for (int x = 0; x < 256; ++x) image.Bits()[x] = static_cast<uint8_t>(x);
    int32_t value = 127;
    ASSERT_EQ(ConvertImage(image, Contrast8, image, nullptr, 0, 0, &value), 1);
    for (int x = 0; x < 256; ++x) {
        EXPECT_EQ(image.Bits()[x], x < 128 ? 0 : x == 128 ? 128 : 255) << x;
    }
    for (int x = 0; x < 256; ++x) image.Bits()[x] = static_cast<uint8_t>(x);
    value = -127;
    ASSERT_EQ(ConvertImage(image, Contrast8, image, nullptr, 0, 0, &value), 1);
    EXPECT_EQ(image.Bits()[0], 63);
    EXPECT_EQ(image.Bits()[255], 191);
}

TEST(ImagingToneFilters, GammaMatchesReference) {
    for (int g : {0, 1, 50, 99, 150, 200}) {
        ExpectMatchesPerSample(kGamma, g,
                               [g](int x, int maximum) { return ReferenceGamma(x, g, maximum); });
    }
}

TEST(ImagingToneFilters, GammaFiftySquaresAndZeroKeepsOnlyTheTop) {
    FrameImage image;
    ASSERT_EQ(image.Create(3, 1, 8), 1);
    image.Bits()[0] = 128;
    image.Bits()[1] = 254;
    image.Bits()[2] = 255;
    int32_t value = 50;
    ASSERT_EQ(ConvertImage(image, Gamma8, image, nullptr, 0, 0, &value), 1);
    EXPECT_EQ(image.Bits()[0], 64);
    value = 0;
    ASSERT_EQ(ConvertImage(image, Gamma8, image, nullptr, 0, 0, &value), 1);
    EXPECT_EQ(image.Bits()[0], 0);
    EXPECT_EQ(image.Bits()[2], 255);
}

// The composed curve equals gamma, contrast and brightness run one after the other,
// each skipped at its neutral value as the single filter would be.
TEST(ImagingToneFilters, ToneCurveEqualsTheFiltersInTurn) {
    const FilterVariants toneCurve{ToneCurve8, ToneCurve16, ToneCurve24, ToneCurve48};
    const ToneCurveParams cases[] = {
        {80, 20, 15}, {170, -30, -100}, {100, 10, 0}, {60, 0, 40}, {100, 0, -5}, {0, 127, 255}};
    int seed = 0;
    for (ToneCurveParams params : cases) {
        ExpectParameterMatchesPerSample(toneCurve, &params, ++seed, [params](int x, int maximum) {
            if (params.gamma != 100) x = ReferenceGamma(x, params.gamma, maximum);
            if (params.contrast != 0) x = ReferenceContrast(x, params.contrast, maximum);
            if (params.brightness != 0) x = ReferenceBrightness(x, params.brightness, maximum);
            return x;
        });
    }
}

TEST(ImagingToneFilters, SixteenBitTablesFollowValueChanges) {
    // The 16-bit tables are kept between calls; a new value must rebuild them.
    FrameImage image;
    ASSERT_EQ(image.Create(1, 1, 16), 1);
    for (int g : {50, 150, 50}) {
        SetSample(image, 0, 0, 0, 30000);
        int32_t value = g;
        ASSERT_EQ(ConvertImage(image, Gamma16, image, nullptr, 0, 0, &value), 1);
        EXPECT_EQ(SampleAt(image, 0, 0, 0), ReferenceGamma(30000, g, 65535)) << g;
    }
}

TEST(ImagingToneFilters, MissingValueOrWrongFamilyChangesNothing) {
    FrameImage image;
    ASSERT_EQ(image.Create(4, 4, 24), 1);
    FillRandom(image, 4);
    const auto before = Snapshot(image);
    int32_t value = 10;
    EXPECT_EQ(ConvertImage(image, Brightness24, image, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(ConvertImage(image, Brightness8, image, nullptr, 0, 0, &value), 0);
    EXPECT_EQ(ConvertImage(image, Contrast48, image, nullptr, 0, 0, &value), 0);
    EXPECT_EQ(ConvertImage(image, Gamma16, image, nullptr, 0, 0, &value), 0);
    EXPECT_EQ(ConvertImage(image, Sharpness16, image, nullptr, 0, 0, &value), 0);
    EXPECT_EQ(Snapshot(image), before);
}

// Sharpness as described: pass 1 writes the 4x4 block mean into the destination, pass 2
// adds the tabled amplified difference T[d] = (d x s) / 10.
void ReferenceSharpness(FrameImage &destination, const FrameImage &copy, int amount,
                        const FilterFamilyCase &family) {
    const int width = copy.Width(), height = copy.Height();
    if (width <= 4) return;
    for (int y = 2; y <= height - 3; ++y) {
        for (int x = 2; x <= width - 3; ++x) {
            for (int k = 0; k < family.channels; ++k) {
                int sum = 0;
                for (int row = y - 2; row <= y + 1; ++row) {
                    for (int column = x - 2; column <= x + 1; ++column) {
                        sum += SampleAt(copy, column, row, k);
                    }
                }
                SetSample(destination, x, y, k, sum >> 4);
            }
        }
    }
    std::vector<int> table(2 * family.maximum + 1);
    for (int d = -family.maximum; d <= family.maximum; ++d)
        table[d + family.maximum] = d * amount / 10;
    for (int y = 2; y <= height - 3; ++y) {
        for (int x = 2; x <= width - 3; ++x) {
            for (int k = 0; k < family.channels; ++k) {
                const int original = SampleAt(copy, x, y, k);
                const int d = original - SampleAt(destination, x, y, k);
                SetSample(destination, x, y, k,
                          std::clamp(original + table[d + family.maximum], 0, family.maximum));
            }
        }
    }
}

TEST(ImagingSharpness, MatchesReference) {
    for (const FilterFamilyCase family : kFilterFamilies) {
        for (int amount : {1, 7, 30}) {
            for (int width : {4, 5, 17}) {
                FrameImage image, copy, expected;
                ASSERT_EQ(image.Create(width, 11, family.bits), 1);
                ASSERT_EQ(copy.CopyFormat(image), 1);
                ASSERT_EQ(expected.CopyFormat(image), 1);
                FillRandom(image, 77 + width + amount);
                std::memcpy(copy.Bits(), image.Bits(), image.SizeBytes());
                std::memcpy(expected.Bits(), image.Bits(), image.SizeBytes());
                ReferenceSharpness(expected, copy, amount, family);
                int32_t value = amount;
                ASSERT_EQ(
                    ConvertImage(image, kSharpness.For(family.bits), copy, nullptr, 0, 0, &value),
                    1);
                ASSERT_EQ(Snapshot(image), Snapshot(expected))
                    << family.bits << " bits, amount " << amount << ", width " << width;
            }
        }
    }
}

TEST(ImagingSharpness, UniformImageIsUnchanged) {
    for (const FilterFamilyCase family : kFilterFamilies) {
        FrameImage image, copy;
        ASSERT_EQ(image.Create(12, 8, family.bits), 1);
        for (int row = 0; row < 8; ++row) {
            for (int column = 0; column < 12; ++column) {
                for (int k = 0; k < family.channels; ++k) {
                    SetSample(image, column, row, k, family.maximum / 3 + k);
                }
            }
        }
        ASSERT_EQ(copy.CopyFormat(image), 1);
        std::memcpy(copy.Bits(), image.Bits(), image.SizeBytes());
        const auto before = Snapshot(image);
        int32_t value = 30;
        ASSERT_EQ(ConvertImage(image, kSharpness.For(family.bits), copy, nullptr, 0, 0, &value), 1);
        EXPECT_EQ(Snapshot(image), before) << family.bits;
    }
}

}  // namespace
}  // namespace korvix::imaging
