// Hue rotation and saturation on an integer HSL circle of six sectors of 255 steps.
//
// A pixel is split into its minimum (a gray base), its chroma d = max - min and its
// position n / d inside one of six sectors (which channel is largest and which is
// rising or falling). The rotation adds the hue step to that position; saturation scales
// the chroma, limited by the lightness so the colour stays in gamut. Divisions are
// replaced by a reciprocal table and floating point by fixed point with 16 fraction bits.
//
// Concurrency: the constant tables are built at compile time and the saturation table
// lives on the stack of each call, so any number of threads may run the filter at once.

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

// Per sector (two turns, so sector + hue sector needs no wrap): the channels that sit at
// the full chroma and the channel that moves, with its direction, as packed 0x00RRGGBB.
struct SectorStep {
    int32_t mask;
    int32_t unit;
};
constexpr SectorStep kSectors[12] = {
    {0xFF00FF, -1},       {0xFF0000, 0x100},   {0xFFFF00, -0x10000}, {0x00FF00, 1},
    {0x00FFFF, -0x100},   {0x0000FF, 0x10000}, {0xFF00FF, -1},       {0xFF0000, 0x100},
    {0xFFFF00, -0x10000}, {0x00FF00, 1},       {0x00FFFF, -0x100},   {0x0000FF, 0x10000},
};

constexpr int32_t Gray(int32_t level) {
    return level * 0x010101;
}

// Chroma after the saturation change, i x (256 + saturation) / 256 rounded.
using SaturationTable = std::array<int32_t, 256>;

SaturationTable MakeSaturationTable(int32_t saturation) {
    SaturationTable table;
    const int32_t scale = (saturation + 256) * 256;
    for (int32_t i = 0; i < 256; ++i) table[i] = (scale * i + 0x8000) >> 16;
    return table;
}

// The packed 0x00RRGGBB result for one pixel.
inline int32_t RotatePixel(int32_t blue, int32_t green, int32_t red, int32_t shift,
                           const SaturationTable &saturation) {
    const int32_t maximum = std::max({blue, green, red});
    const int32_t minimum = std::min({blue, green, red});
    const int32_t chroma = maximum - minimum;
    int32_t sector;
    int32_t position;
    if (blue > red && blue > green) {
        sector = 5;
        position = red - green;
    } else if (red >= green) {
        sector = 1;
        position = green - blue;
    } else {
        sector = 3;
        position = blue - red;
    }
    if (position < 0) {
        --sector;
        position += chroma;
    }
    // Twice the lightness, and the largest chroma that lightness allows.
    const int32_t lightness2 = maximum + minimum;
    const int32_t gamut = lightness2 < 256 ? lightness2 : 511 - lightness2;
    const int32_t newChroma = std::min(gamut, saturation[chroma]);
    const int32_t base = Gray((lightness2 - newChroma) >> 1);
    if (chroma == 0) return base;
    int32_t step = ((position * kReciprocal[chroma] + 0x8000) >> 16) + shift % 255;
    int32_t k = sector + shift / 255;
    if (step > 254) {
        ++k;
        step -= 255;
    }
    const int32_t span = ((lightness2 + newChroma) >> 1) - ((lightness2 - newChroma) >> 1);
    return base + (Gray(span) & kSectors[k].mask) + ((span * step + 128) >> 8) * kSectors[k].unit;
}

template <typename Sample, int Stride>
void RotateImage(const ConversionArea &area, int32_t shift, const SaturationTable &saturation) {
    // 16-bit words are rotated on their high byte and stored back with a clear low byte.
    constexpr int kShift = sizeof(Sample) == 1 ? 0 : 8;
    detail::ForEachRow(area, [&](uint8_t *d, const uint8_t *s, int64_t width) {
        auto *out = reinterpret_cast<Sample *>(d);
        const auto *in = reinterpret_cast<const Sample *>(s);
        for (int64_t j = 0; j < width; ++j, out += Stride, in += Stride) {
            const auto packed = static_cast<uint32_t>(
                RotatePixel(in[0] >> kShift, in[1] >> kShift, in[2] >> kShift, shift, saturation));
            out[0] = static_cast<Sample>((packed & 0xFF) << kShift);
            out[1] = static_cast<Sample>(((packed >> 8) & 0xFF) << kShift);
            out[2] = static_cast<Sample>(((packed >> 16) & 0xFF) << kShift);
            if constexpr (sizeof(Sample) == 2 && Stride == 4) out[3] = 0;
        }
    });
}

template <typename Sample>
int HueSaturation(const ConversionArea &area, void *first, void *) {
    const auto *params = static_cast<const HueSaturationParams *>(first);
    if (params == nullptr || area.destinationBytes != area.sourceBytes) return 0;
    const int32_t shift = HueShiftSteps(params->hue);
    const SaturationTable saturation =
        MakeSaturationTable(std::clamp(params->saturation, -255, 255));
    constexpr int kSampleBytes = sizeof(Sample);
    return WithPixelSize<3 * kSampleBytes, 4 * kSampleBytes>(area.sourceBytes, [&]<int Bytes>() {
        RotateImage<Sample, Bytes / kSampleBytes>(area, shift, saturation);
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
