// Hue rotation and saturation on an integer HSL circle of six sectors of 255 steps.
//
// A pixel is split into its minimum (a gray base), its chroma d = max - min and its
// position n / d inside one of six sectors (which channel is largest and which is
// rising or falling). The rotation adds the hue step to that position; saturation scales
// the chroma, limited by the lightness so the colour stays in gamut. Divisions are
// replaced by a reciprocal table and floating point by fixed point with 16 fraction bits.
// The lookups of gray levels, lightness limits and sector masks are written as the
// arithmetic they table, which lets the per-pixel loop vectorise.
//
// Concurrency: the one table (reciprocals) is built at compile time and everything else
// is computed per pixel, so any number of threads may run the filter at once.

#include <algorithm>
#include <array>

#include "imaging/FilterLoops.h"
#include "imaging/Filters.h"

namespace korvix::imaging {

namespace {

using detail::AsConverter;
using detail::ConversionArea;
using detail::WithPixelSize;

constexpr int32_t kSteps = 1530;  // six sectors of 255

// 0xFF0000 / d, so that n x reciprocal[d] >> 16 is n x 255 / d; entry 0 unused.
constexpr std::array<int32_t, 256> kReciprocal = [] {
    std::array<int32_t, 256> table{};
    for (int32_t d = 1; d < 256; ++d) table[d] = 0xFF0000 / d;
    return table;
}();

// Chroma after the saturation change, i x (256 + saturation) / 256 rounded:
// (scale x i + 0x8000) >> 16 with scale = (saturation + 256) x 256.
inline int32_t SaturatedChroma(int32_t chroma, int32_t scale) {
    return (scale * chroma + 0x8000) >> 16;
}

// The six sectors of the circle (taken modulo 6), as the colours pass them: which channels
// sit at the full chroma above the gray base, and which one moves by the in-sector step
// (rising, or falling from the full chroma).
//   0: red, blue full, blue falling   1: red full, green rising
//   2: green full, red falling        3: green full, blue rising
//   4: blue full, green falling       5: blue full, red rising
// The packed form (0x00RRGGBB) of the same step never borrows or carries between
// channels, so the channels are computed one by one.
struct Rgb {
    int32_t blue, green, red;
};

[[gnu::always_inline]] inline Rgb RotatePixel(int32_t blue, int32_t green, int32_t red,
                                              int32_t shift, int32_t saturationScale) {
    const int32_t maximum = std::max(blue, std::max(green, red));
    const int32_t minimum = std::min(blue, std::min(green, red));
    const int32_t chroma = maximum - minimum;
    const bool blueLargest = blue > red && blue > green;
    const bool redAtLeastGreen = red >= green;
    const int32_t redSide = !blueLargest && redAtLeastGreen;
    const int32_t greenSide = !blueLargest && !redAtLeastGreen;
    int32_t sector = 5 - 4 * redSide - 2 * greenSide;
    int32_t position =
        blueLargest * (red - green) + redSide * (green - blue) + greenSide * (blue - red);
    const int32_t before = position < 0;
    sector -= before;
    position += before * chroma;
    // Twice the lightness, and the largest chroma that lightness allows.
    const int32_t lightness2 = maximum + minimum;
    const int32_t gamut = std::min(lightness2, 511 - lightness2);
    const int32_t newChroma = std::min(gamut, SaturatedChroma(chroma, saturationScale));
    const int32_t base = (lightness2 - newChroma) >> 1;
    // A gray pixel (chroma 0) has reciprocal 0, step shift % 255 and span 0: base alone.
    int32_t step = ((position * kReciprocal[chroma] + 0x8000) >> 16) + shift % 255;
    int32_t k = sector + shift / 255;
    const int32_t carry = step > 254;
    k += carry;
    step -= carry * 255;
    k -= (k >= 6) * 6;
    const int32_t span = ((lightness2 + newChroma) >> 1) - base;
    const int32_t moving = (span * step + 128) >> 8;
    const int32_t falling = span - moving;
    // Sums of products with 0/1 flags rather than chains of selects, so the loop has no
    // branches left to block vectorisation.
    const int32_t redPart = (k <= 1) * span + (k == 2) * falling + (k == 5) * moving;
    const int32_t greenPart = (k == 1) * moving + (k == 2 || k == 3) * span + (k == 4) * falling;
    const int32_t bluePart = (k == 0) * falling + (k == 3) * moving + (k >= 4) * span;
    return {base + bluePart, base + greenPart, base + redPart};
}

// One row of `width` pixels. 16-bit words are rotated on their high byte and stored back
// with a clear low byte (and a fourth word of 0).
template <typename Sample, int Stride>
[[gnu::always_inline]] inline void RotateRow(Sample *out, const Sample *in, int64_t width,
                                             int32_t shift, int32_t saturationScale) {
    constexpr int kShift = sizeof(Sample) == 1 ? 0 : 8;
    for (int64_t j = 0; j < width; ++j) {
        const Rgb rgb = RotatePixel(in[j * Stride] >> kShift, in[j * Stride + 1] >> kShift,
                                    in[j * Stride + 2] >> kShift, shift, saturationScale);
        out[j * Stride] = static_cast<Sample>(rgb.blue << kShift);
        out[j * Stride + 1] = static_cast<Sample>(rgb.green << kShift);
        out[j * Stride + 2] = static_cast<Sample>(rgb.red << kShift);
        if constexpr (sizeof(Sample) == 2 && Stride == 4) out[j * Stride + 3] = 0;
    }
}

KORVIX_HOT_LOOP void RotateRow8x3(uint8_t *out, const uint8_t *in, int64_t width, int32_t shift,
                                  int32_t saturationScale) {
    RotateRow<uint8_t, 3>(out, in, width, shift, saturationScale);
}
KORVIX_HOT_LOOP void RotateRow8x4(uint8_t *out, const uint8_t *in, int64_t width, int32_t shift,
                                  int32_t saturationScale) {
    RotateRow<uint8_t, 4>(out, in, width, shift, saturationScale);
}
KORVIX_HOT_LOOP void RotateRow16x3(uint16_t *out, const uint16_t *in, int64_t width, int32_t shift,
                                   int32_t saturationScale) {
    RotateRow<uint16_t, 3>(out, in, width, shift, saturationScale);
}
KORVIX_HOT_LOOP void RotateRow16x4(uint16_t *out, const uint16_t *in, int64_t width, int32_t shift,
                                   int32_t saturationScale) {
    RotateRow<uint16_t, 4>(out, in, width, shift, saturationScale);
}

template <typename Sample>
int HueSaturation(const ConversionArea &area, void *first, void *) {
    const auto *params = static_cast<const HueSaturationParams *>(first);
    if (params == nullptr || area.destinationBytes != area.sourceBytes) return 0;
    const int32_t shift = HueShiftSteps(params->hue);
    const int32_t saturationScale = (std::clamp(params->saturation, -255, 255) + 256) * 256;
    constexpr int kSampleBytes = sizeof(Sample);
    return WithPixelSize<3 * kSampleBytes, 4 * kSampleBytes>(area.sourceBytes, [&]<int Bytes>() {
        detail::ForEachRow(area, [&](uint8_t *d, const uint8_t *s, int64_t width) {
            auto *out = reinterpret_cast<Sample *>(d);
            const auto *in = reinterpret_cast<const Sample *>(s);
            if constexpr (Bytes == 3) RotateRow8x3(out, in, width, shift, saturationScale);
            if constexpr (Bytes == 4) RotateRow8x4(out, in, width, shift, saturationScale);
            if constexpr (Bytes == 6) RotateRow16x3(out, in, width, shift, saturationScale);
            if constexpr (Bytes == 8) RotateRow16x4(out, in, width, shift, saturationScale);
        });
    });
}

}  // namespace

int32_t HueShiftSteps(int32_t hue) {
    // The angle as a 16-bit fraction of a turn; negative angles wrap to the same turn.
    const auto turn = static_cast<uint16_t>(int64_t{std::clamp(hue, -360, 360)} * 65536 / 360);
    const int32_t q = (int32_t{turn} * 6) >> 8;  // sixth-turns in 1/256
    int32_t p = q & 0x1FF;
    if (p >= 256) p -= 512;
    const int32_t o = ((q + 256) >> 9) % 3;
    int32_t shift = p + 510 * o;
    if (shift < 0) shift += kSteps;
    if (shift >= kSteps) shift -= kSteps;
    return shift;
}

const PixelConverter HueSaturation24 = AsConverter<HueSaturation<uint8_t>>;
const PixelConverter HueSaturation48 = AsConverter<HueSaturation<uint16_t>>;

}  // namespace korvix::imaging
