#include "imaging/Demosaic.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "imaging/BayerSites.h"
#include "imaging/PixelRows.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVIX_DEMOSAIC_AVX2 1
#endif

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

// Weighted() for the row kernel. For 8-bit samples it stays in 16-bit lanes:
// (W x k) >> 11 = ((16 W) x (2 k)) >> 16 exactly, with 16 W < 2^16 and 2 k <= 1024, and a
// result of 256 or more is the product limit of 2^19 reached.
template <typename Sample>
inline Sample WeightedRow(int32_t weightedSum, int32_t gain) {
    if constexpr (sizeof(Sample) == 1) {
        const auto high = static_cast<uint16_t>((uint32_t{static_cast<uint16_t>(weightedSum << 4)} *
                                                 static_cast<uint16_t>(gain << 1)) >>
                                                16);
        return static_cast<Sample>(std::min<uint16_t>(high, 255));
    } else {
        return Weighted<Sample>(weightedSum, gain);
    }
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

// One output row of the inner pass, x = xBegin .. xEnd - 1 (xBegin even). The four raw
// rows y - 2 .. y + 1 point at column 0 of the rectangle.
//
// The 9-3-3-1 weighting is separable: with V(c) = 3 P(c, b) + P(c, b2) (the two raw rows
// of the colour, nearer one first), W = 3 V(x + a) + V(x + a2). A colour whose samples lie
// in row y (and y - 2) uses V1 = 3 C + A, the other colour V2 = 3 B + D; a colour whose
// column parity is that of x uses 3 V(x) + V(x - 2), the other 3 V(x - 1) + V(x + 1).
// The row is worked in chunks whose V values sit in small stack arrays, every step a plain
// loop over samples, so the compiler vectorises it.
template <typename Sample, int OutStride>
struct InnerRow {
    const Sample *a, *b, *c, *d;  // rows y - 2, y - 1, y, y + 1
    Sample *out;                  // output row y, column 0
    int64_t xBegin, xEnd;
    int redColumnParity;
    bool redInRowY;
    int32_t redGain, blueGain;
};

constexpr int64_t kRowChunk = 256;

// A run of kRowChunk values, all ones on the positions of the given parity, zero on the
// others.
template <typename Sum>
const Sum *AlternatingMask(int parity) {
    static constexpr auto kMasks = [] {
        std::array<std::array<Sum, kRowChunk>, 2> masks{};
        for (int64_t j = 0; j < kRowChunk; ++j) {
            masks[0][j] = (j & 1) == 0 ? Sum{-1} : Sum{0};
            masks[1][j] = (j & 1) == 1 ? Sum{-1} : Sum{0};
        }
        return masks;
    }();
    return kMasks[parity & 1].data();
}

// One chunk of an output row: the V values of its columns and the rows and masks the
// pixels read. Index j is column x0 + j.
template <typename Sample, int OutStride, typename Sum>
struct RowChunk {
    const Sum *vRed, *vBlue;         // V of column x0 - 2 + j at index j
    const Sample *bx, *cx;           // rows y - 1 and y from column x0
    const Sum *redColumns;           // all-ones where column x0 + j has red's parity
    const Sum *mainGreens;           // all-ones where the greens lie on the main diagonal
    Sample *out;                     // output pixel of column x0
    int32_t redGain, blueGain;
};

// Pixels j = begin .. end - 1 of a chunk, as plain loops over samples.
template <typename Sample, int OutStride, typename Sum>
[[gnu::always_inline]] inline void InterpolateChunkPixels(
    const RowChunk<Sample, OutStride, Sum> &chunk, int64_t begin, int64_t end) {
    const Sum *const vRed = chunk.vRed, *const vBlue = chunk.vBlue;
    const Sample *const bx = chunk.bx, *const cx = chunk.cx;
    const Sum *const redColumns = chunk.redColumns, *const mainGreens = chunk.mainGreens;
    Sample *const __restrict out = chunk.out;
    const int32_t redGain = chunk.redGain, blueGain = chunk.blueGain;
    for (int64_t j = begin; j < end; ++j) {
        const Sum redColumn = redColumns[j];
        const Sum mainGreen = mainGreens[j];
        const Sum redSame = static_cast<Sum>(3 * vRed[j + 2] + vRed[j]);
        const Sum redOther = static_cast<Sum>(3 * vRed[j + 1] + vRed[j + 3]);
        const Sum blueSame = static_cast<Sum>(3 * vBlue[j + 2] + vBlue[j]);
        const Sum blueOther = static_cast<Sum>(3 * vBlue[j + 1] + vBlue[j + 3]);
        // Red takes the "same" form on its own columns, blue the "other", and back.
        const Sum red = static_cast<Sum>((redSame & redColumn) | (redOther & ~redColumn));
        const Sum blue = static_cast<Sum>((blueOther & redColumn) | (blueSame & ~redColumn));
        const Sum mainDiagonal = static_cast<Sum>(bx[j - 1] + cx[j]);
        const Sum antiDiagonal = static_cast<Sum>(bx[j] + cx[j - 1]);
        const Sum green =
            static_cast<Sum>((mainDiagonal & mainGreen) | (antiDiagonal & ~mainGreen));
        out[j * OutStride + 0] = WeightedRow<Sample>(blue, blueGain);
        out[j * OutStride + 1] = static_cast<Sample>(green >> 1);
        out[j * OutStride + 2] = WeightedRow<Sample>(red, redGain);
    }
}

// The row in chunks: V values into stack arrays, then pixels(chunk, count) writes the
// chunk's count pixels.
template <typename Sample, int OutStride, typename Pixels>
[[gnu::always_inline]] inline void InterpolateInnerRow(const InnerRow<Sample, OutStride> &row,
                                                       Pixels pixels) {
    // 16 x 255 fits int16; 16 x 65535 needs int32.
    using Sum = std::conditional_t<sizeof(Sample) == 1, int16_t, int32_t>;
    constexpr int64_t kChunk = kRowChunk;
    // Local copies: stores through a byte pointer could otherwise alias the record's fields
    // and force a reload per pixel.
    const Sample *const a = row.a, *const b = row.b, *const c = row.c, *const d = row.d;
    const int64_t xEnd = row.xEnd;
    const bool redInRowY = row.redInRowY;
    Sum v1[kChunk + 3], v2[kChunk + 3];
    // Column x0 + j has the parity of j (x0 is even), so the masks start at index 0.
    const Sum *redColumns = AlternatingMask<Sum>(row.redColumnParity);
    const Sum *mainGreens =
        AlternatingMask<Sum>(redInRowY ? 1 - row.redColumnParity : row.redColumnParity);
    for (int64_t x0 = row.xBegin; x0 < xEnd; x0 += kChunk) {
        const int64_t count = std::min(kChunk, xEnd - x0);
        // V for columns x0 - 2 .. x0 + count, stored from index 0.
        for (int64_t j = 0; j < count + 3; ++j) {
            const int64_t column = x0 - 2 + j;
            v1[j] = static_cast<Sum>(3 * c[column] + a[column]);
            v2[j] = static_cast<Sum>(3 * b[column] + d[column]);
        }
        pixels(RowChunk<Sample, OutStride, Sum>{redInRowY ? v1 : v2, redInRowY ? v2 : v1, b + x0,
                                                c + x0, redColumns, mainGreens,
                                                row.out + x0 * OutStride, row.redGain,
                                                row.blueGain},
               count);
    }
}

template <typename Sample, int OutStride>
[[gnu::always_inline]] inline void InterpolateInnerRow(const InnerRow<Sample, OutStride> &row) {
    InterpolateInnerRow(row, [](const auto &chunk, int64_t count) {
        InterpolateChunkPixels(chunk, 0, count);
    });
}

KORVIX_HOT_LOOP void InterpolateInnerRow8x3(const InnerRow<uint8_t, 3> &row) {
    InterpolateInnerRow(row);
}
KORVIX_HOT_LOOP void InterpolateInnerRow8x4(const InnerRow<uint8_t, 4> &row) {
    InterpolateInnerRow(row);
}
KORVIX_HOT_LOOP void InterpolateInnerRow16x3(const InnerRow<uint16_t, 3> &row) {
    InterpolateInnerRow(row);
}
KORVIX_HOT_LOOP void InterpolateInnerRow16x4(const InnerRow<uint16_t, 4> &row) {
    InterpolateInnerRow(row);
}

#ifdef KORVIX_DEMOSAIC_AVX2
// An explicit AVX2 kernel for the 8-bit, three-channel row: 32 pixels per step with the
// very operations of InterpolateChunkPixels in 16-bit lanes, then the three channels
// interleaved with byte shuffles and written as 16-byte blocks (the compiler's own
// interleaving of three-byte stores was the slow part of the plain loop).
#define KORVIX_AVX2 __attribute__((target("avx2")))

KORVIX_AVX2 inline __m256i LoadSums(const int16_t *values) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(values));
}
KORVIX_AVX2 inline __m256i LoadWidened(const uint8_t *samples) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(samples)));
}
// 3 near + far.
KORVIX_AVX2 inline __m256i NearFar(__m256i near, __m256i far) {
    return _mm256_add_epi16(_mm256_add_epi16(near, _mm256_add_epi16(near, near)), far);
}
// WeightedRow<uint8_t> of 16 lanes; `gainTwice` holds 2 k.
KORVIX_AVX2 inline __m256i WeightedLanes(__m256i sum, __m256i gainTwice) {
    return _mm256_min_epu16(_mm256_mulhi_epu16(_mm256_slli_epi16(sum, 4), gainTwice),
                            _mm256_set1_epi16(255));
}
// Bytes of two 16-lane halves, in pixel order: the pack interleaves the halves' 128-bit
// lanes, the 64-bit permutation puts them back in order.
KORVIX_AVX2 inline __m256i NarrowLanes(__m256i first, __m256i second) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
}

// Byte k of output block o (k + 16 o = 3 p + c) takes byte p of channel c: the shuffle of
// channel c for block o, 0x80 (zero) elsewhere; the same in both 128-bit lanes.
alignas(32) constexpr auto kInterleaveShuffles = [] {
    std::array<std::array<std::array<uint8_t, 32>, 3>, 3> shuffles{};
    for (int block = 0; block < 3; ++block) {
        for (int channel = 0; channel < 3; ++channel) {
            for (int k = 0; k < 16; ++k) {
                const int position = 16 * block + k;
                const auto source =
                    position % 3 == channel ? static_cast<uint8_t>(position / 3) : uint8_t{0x80};
                shuffles[block][channel][k] = shuffles[block][channel][k + 16] = source;
            }
        }
    }
    return shuffles;
}();

// Writes 32 pixels whose channels hold pixels 0..15 in the low lane and 16..31 in the high
// lane: each lane is interleaved on its own into 48 bytes.
KORVIX_AVX2 inline void StoreInterleaved(uint8_t *out, __m256i blue, __m256i green, __m256i red) {
    const __m256i channels[3] = {blue, green, red};
    for (int block = 0; block < 3; ++block) {
        __m256i bytes = _mm256_setzero_si256();
        for (int channel = 0; channel < 3; ++channel) {
            const __m256i shuffle = _mm256_load_si256(
                reinterpret_cast<const __m256i *>(kInterleaveShuffles[block][channel].data()));
            bytes = _mm256_or_si256(bytes, _mm256_shuffle_epi8(channels[channel], shuffle));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 16 * block),
                         _mm256_castsi256_si128(bytes));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 48 + 16 * block),
                         _mm256_extracti128_si256(bytes, 1));
    }
}

// Blue, green and red of 16 pixels from j on, in 16-bit lanes.
struct PixelLanes {
    __m256i blue, green, red;
};

KORVIX_AVX2 inline PixelLanes InterpolateLanes(const RowChunk<uint8_t, 3, int16_t> &chunk,
                                               int64_t j, __m256i blueGain, __m256i redGain) {
    const int16_t *vRed = chunk.vRed, *vBlue = chunk.vBlue;
    const __m256i redColumn = LoadSums(chunk.redColumns + j);
    const __m256i mainGreen = LoadSums(chunk.mainGreens + j);
    const __m256i redSame = NearFar(LoadSums(vRed + j + 2), LoadSums(vRed + j));
    const __m256i redOther = NearFar(LoadSums(vRed + j + 1), LoadSums(vRed + j + 3));
    const __m256i blueSame = NearFar(LoadSums(vBlue + j + 2), LoadSums(vBlue + j));
    const __m256i blueOther = NearFar(LoadSums(vBlue + j + 1), LoadSums(vBlue + j + 3));
    const __m256i red = _mm256_blendv_epi8(redOther, redSame, redColumn);
    const __m256i blue = _mm256_blendv_epi8(blueSame, blueOther, redColumn);
    const __m256i mainDiagonal =
        _mm256_add_epi16(LoadWidened(chunk.bx + j - 1), LoadWidened(chunk.cx + j));
    const __m256i antiDiagonal =
        _mm256_add_epi16(LoadWidened(chunk.bx + j), LoadWidened(chunk.cx + j - 1));
    const __m256i green = _mm256_blendv_epi8(antiDiagonal, mainDiagonal, mainGreen);
    return {WeightedLanes(blue, blueGain), _mm256_srli_epi16(green, 1),
            WeightedLanes(red, redGain)};
}

struct ChunkPixels8x3Avx2 {
    KORVIX_AVX2 void operator()(const RowChunk<uint8_t, 3, int16_t> &chunk, int64_t count) const {
        const __m256i redGain = _mm256_set1_epi16(static_cast<int16_t>(chunk.redGain << 1));
        const __m256i blueGain = _mm256_set1_epi16(static_cast<int16_t>(chunk.blueGain << 1));
        int64_t j = 0;
        for (; j + 32 <= count; j += 32) {
            const PixelLanes first = InterpolateLanes(chunk, j, blueGain, redGain);
            const PixelLanes second = InterpolateLanes(chunk, j + 16, blueGain, redGain);
            StoreInterleaved(chunk.out + 3 * j, NarrowLanes(first.blue, second.blue),
                             NarrowLanes(first.green, second.green),
                             NarrowLanes(first.red, second.red));
        }
        InterpolateChunkPixels(chunk, j, count);
    }
};

KORVIX_AVX2 void InterpolateInnerRow8x3Avx2(const InnerRow<uint8_t, 3> &row) {
    InterpolateInnerRow(row, ChunkPixels8x3Avx2{});
}

bool HasAvx2() {
    static const bool kHasAvx2 = __builtin_cpu_supports("avx2");
    return kHasAvx2;
}
#undef KORVIX_AVX2
#endif

template <typename Sample, int OutStride>
void RunInnerRow(const InnerRow<Sample, OutStride> &row) {
#ifdef KORVIX_DEMOSAIC_AVX2
    if constexpr (sizeof(Sample) == 1 && OutStride == 3) {
        if (HasAvx2()) {
            InterpolateInnerRow8x3Avx2(row);
            return;
        }
    }
#endif
    if constexpr (sizeof(Sample) == 1 && OutStride == 3) InterpolateInnerRow8x3(row);
    if constexpr (sizeof(Sample) == 1 && OutStride == 4) InterpolateInnerRow8x4(row);
    if constexpr (sizeof(Sample) == 2 && OutStride == 3) InterpolateInnerRow16x3(row);
    if constexpr (sizeof(Sample) == 2 && OutStride == 4) InterpolateInnerRow16x4(row);
}

// Output row y, columns 2 .. width - 3, through the row kernel; raw rows outside the
// frame are read four rows further inside.
template <typename Sample, int OutStride>
void InterpolateRowMiddle(const ConversionArea &area, const DemosaicParams &params, int64_t y) {
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    if (width <= 4) return;
    const auto rowAt = [&](int64_t row) {
        return reinterpret_cast<const Sample *>(area.SourceRow(ReflectTap(row, height)));
    };
    const CellPhase phase = PhaseOf(params.bayerMode, 0, static_cast<int>(y & 1));
    const Gains<Sample> gains = GainsOf<Sample>(params);
    // Red's column parity: the red tap of an even column is at x or x - 1.
    RunInnerRow(InnerRow<Sample, OutStride>{rowAt(y - 2), rowAt(y - 1), rowAt(y), rowAt(y + 1),
                                            reinterpret_cast<Sample *>(area.DestinationRow(y)), 2,
                                            width - 2, phase.redColumn == 0 ? 0 : 1,
                                            phase.redRow == 0, gains.red, gains.blue});
}

template <typename Sample, int OutStride>
void InterpolateInner(const ConversionArea &area, const DemosaicParams &params) {
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    if (width <= 4 || height <= 4) return;
    for (int64_t y = 2; y <= height - 3; ++y)
        InterpolateRowMiddle<Sample, OutStride>(area, params, y);
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
    // Top two and bottom two rows over the full width (their middle through the row
    // kernel), then the left two and right two columns over the full height (corners
    // twice, with the same result).
    for (int64_t y : {int64_t{0}, int64_t{1}, height - 2, height - 1}) {
        if (y < 0 || y >= height) continue;
        InterpolateRowMiddle<Sample, OutStride>(area, params, y);
        if (width <= 4) {
            for (int64_t x = 0; x < width; ++x) pixel(x, y);
        }
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
