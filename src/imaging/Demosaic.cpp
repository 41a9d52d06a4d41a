#include "imaging/Demosaic.h"

#include <algorithm>

#include "imaging/BayerSites.h"
#include "imaging/PixelRows.h"

namespace korvix::imaging {

namespace {

using detail::AsConverter;
using detail::ConversionArea;
using detail::WithPixelSize;

// Fixed-point gains (x 128) and the interpolation constants of one sample depth.
template <typename Sample>
struct Gains {
    int32_t red;
    int32_t blue;
    // A weighted sum (weight 16) times a gain (x 128) is shifted right by 11; products
    // from this limit on would exceed the sample maximum.
    static constexpr int32_t kProductLimit = sizeof(Sample) == 1 ? (1 << 19) : (1 << 27);
    static constexpr int32_t kMaximum = sizeof(Sample) == 1 ? 255 : 65535;
};

template <typename Sample>
Gains<Sample> GainsOf(const DemosaicParams &params) {
    // Gains outside 0..400 percent are held at the ends so the products stay in int32.
    const auto fixed = [](int32_t percent) {
        return static_cast<int32_t>(std::clamp(percent, 0, 400) * 1.28);
    };
    return {fixed(params.redGain), fixed(params.blueGain)};
}

// Where the red sample of the 2x2 cell of output pixel (x, y) lies: column offset -1 or
// 0 and row offset -1 or 0. Blue is on the other corner of the same diagonal.
struct CellPhase {
    int redColumn;
    int redRow;
};

CellPhase PhaseOf(int bayerMode, int columnParity, int rowParity) {
    // The cell spans columns x-1, x and rows y-1, y; find the red one.
    for (int dy = -1; dy <= 0; ++dy) {
        for (int dx = -1; dx <= 0; ++dx) {
            if (DemosaicSiteColor(bayerMode, columnParity + dx + 2, rowParity + dy + 2) ==
                BayerColor::kRed) {
                return {dx, dy};
            }
        }
    }
    return {0, 0};  // unreachable: every cell holds one red sample
}

template <typename Sample>
inline Sample Weighted(int32_t weightedSum, int32_t gain) {
    const int32_t product = weightedSum * gain;
    return product >= Gains<Sample>::kProductLimit ? Gains<Sample>::kMaximum
                                                   : static_cast<Sample>(product >> 11);
}

// One output pixel. tap(dx, dy) reads the raw sample at (x + dx, y + dy). RedColumn and
// RedRow place the red sample of the cell (CellPhase).
template <int RedColumn, int RedRow, typename Sample, typename Tap>
inline void InterpolatePixel(Sample *out, const Tap &tap, const Gains<Sample> &gains) {
    constexpr int kBlueColumn = -1 - RedColumn;
    constexpr int kBlueRow = -1 - RedRow;
    // The second tap of each axis lies on the far side of the corner point.
    constexpr auto far = [](int offset) { return offset == -1 ? 1 : -2; };
    const auto weightedSum = [&]<int Column, int Row>() {
        return 9 * int32_t{tap(Column, Row)} + 3 * int32_t{tap(far(Column), Row)} +
               3 * int32_t{tap(Column, far(Row))} + int32_t{tap(far(Column), far(Row))};
    };
    // The greens lie on the diagonal that does not hold red and blue.
    const int32_t greenSum =
        RedColumn != RedRow ? int32_t{tap(-1, -1)} + tap(0, 0) : int32_t{tap(0, -1)} + tap(-1, 0);
    out[0] = Weighted<Sample>(weightedSum.template operator()<kBlueColumn, kBlueRow>(), gains.blue);
    out[1] = static_cast<Sample>(greenSum >> 1);
    out[2] = Weighted<Sample>(weightedSum.template operator()<RedColumn, RedRow>(), gains.red);
}

// Calls body.template operator()<RedColumn, RedRow>() for a runtime phase.
template <typename Body>
inline void WithPhase(CellPhase phase, Body body) {
    if (phase.redColumn == 0) {
        if (phase.redRow == 0) {
            body.template operator()<0, 0>();
        } else {
            body.template operator()<0, -1>();
        }
    } else if (phase.redRow == 0) {
        body.template operator()<-1, 0>();
    } else {
        body.template operator()<-1, -1>();
    }
}

template <typename Sample, int OutStride>
void InterpolateInner(const ConversionArea &area, const DemosaicParams &params) {
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    if (width <= 4 || height <= 4) return;
    const Gains<Sample> gains = GainsOf<Sample>(params);
    for (int64_t y = 2; y <= height - 3; ++y) {
        const Sample *rows[4];
        for (int k = 0; k < 4; ++k) {
            rows[k] = reinterpret_cast<const Sample *>(area.SourceRow(y - 2 + k));
        }
        auto *out = reinterpret_cast<Sample *>(area.DestinationRow(y));
        const int rowParity = static_cast<int>(y & 1);
        // Columns alternate between two phases; x = 2 is even.
        const CellPhase evenPhase = PhaseOf(params.bayerMode, 0, rowParity);
        const CellPhase oddPhase = PhaseOf(params.bayerMode, 1, rowParity);
        WithPhase(evenPhase, [&]<int EvenColumn, int Row>() {
            WithPhase(oddPhase, [&]<int OddColumn, int>() {
                int64_t x = 2;
                const auto pixel = [&]<int RedColumn>(int64_t column) {
                    const auto tap = [&](int dx, int dy) { return rows[dy + 2][column + dx]; };
                    InterpolatePixel<RedColumn, Row>(out + column * OutStride, tap, gains);
                };
                for (; x + 1 <= width - 3; x += 2) {
                    pixel.template operator()<EvenColumn>(x);
                    pixel.template operator()<OddColumn>(x + 1);
                }
                if (x <= width - 3) pixel.template operator()<EvenColumn>(x);
            });
        });
    }
}

// Index of a tap at `index` on an axis of `count` samples: outside taps are read four
// samples further inside, which keeps the mosaic site. Frames narrower than four have
// no such sample; there the nearest in-range sample of the same parity is taken.
inline int64_t ReflectTap(int64_t index, int64_t count) {
    if (index < 0) {
        index += 4;
    } else if (index >= count) {
        index -= 4;
    }
    if (index >= 0 && index < count) return index;
    const int64_t parity = index & 1;
    const int64_t last = ((count - 1) & 1) == parity ? count - 1 : count - 2;
    return std::max<int64_t>(last, 0);
}

template <typename Sample, int OutStride>
void InterpolateBorderPixel(const ConversionArea &area, const DemosaicParams &params,
                            const Gains<Sample> &gains, int64_t x, int64_t y) {
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    const auto tap = [&](int dx, int dy) {
        const int64_t row = ReflectTap(y + dy, height);
        const int64_t column = ReflectTap(x + dx, width);
        return reinterpret_cast<const Sample *>(area.SourceRow(row))[column];
    };
    auto *out = reinterpret_cast<Sample *>(area.DestinationRow(y)) + x * OutStride;
    const CellPhase phase =
        PhaseOf(params.bayerMode, static_cast<int>(x & 1), static_cast<int>(y & 1));
    WithPhase(phase, [&]<int RedColumn, int RedRow>() {
        InterpolatePixel<RedColumn, RedRow>(out, tap, gains);
    });
}

template <typename Sample, int OutStride>
void InterpolateBorder(const ConversionArea &area, const DemosaicParams &params) {
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    const Gains<Sample> gains = GainsOf<Sample>(params);
    const auto pixel = [&](int64_t x, int64_t y) {
        InterpolateBorderPixel<Sample, OutStride>(area, params, gains, x, y);
    };
    // Top two and bottom two rows over the full width, then the left two and right two
    // columns over the full height (corners twice, with the same result).
    for (int64_t y : {int64_t{0}, int64_t{1}, height - 2, height - 1}) {
        if (y < 0 || y >= height) continue;
        for (int64_t x = 0; x < width; ++x) pixel(x, y);
    }
    for (int64_t x : {int64_t{0}, int64_t{1}, width - 2, width - 1}) {
        if (x < 0 || x >= width) continue;
        for (int64_t y = 0; y < height; ++y) pixel(x, y);
    }
}

template <typename Sample, bool Border>
int Demosaic(const ConversionArea &area, void *first, void *) {
    const auto *params = static_cast<const DemosaicParams *>(first);
    if (params == nullptr || area.sourceBytes != static_cast<int>(sizeof(Sample))) return 0;
    constexpr int kSampleBytes = sizeof(Sample);
    return WithPixelSize<3 * kSampleBytes, 4 * kSampleBytes>(
        area.destinationBytes, [&]<int OutBytes>() {
            constexpr int kStride = OutBytes / kSampleBytes;
            if constexpr (Border) {
                InterpolateBorder<Sample, kStride>(area, *params);
            } else {
                InterpolateInner<Sample, kStride>(area, *params);
            }
        });
}

}  // namespace

const PixelConverter Demosaic8Inner = AsConverter<Demosaic<uint8_t, false>>;
const PixelConverter Demosaic8Border = AsConverter<Demosaic<uint8_t, true>>;
const PixelConverter Demosaic16Inner = AsConverter<Demosaic<uint16_t, false>>;
const PixelConverter Demosaic16Border = AsConverter<Demosaic<uint16_t, true>>;

}  // namespace korvix::imaging
