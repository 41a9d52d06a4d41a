// Unsharp mask: each inner sample moves away from the mean of the 4x4 block around it.

#include <algorithm>
#include <type_traits>

#include "imaging/FilterLoops.h"
#include "imaging/Filters.h"

namespace korvix::imaging {

namespace {

using detail::AsConverter;
using detail::ConversionArea;
using detail::FilterFamily;

// One output row: samples k = kBegin .. kEnd - 1 of the flat row (Stride samples per
// pixel). The rows point at the copy's rows y - 2 .. y + 1. The 4x4 block sum is split
// into column sums of the four rows (kept for a chunk in a stack array) added four at a
// time along the row, so every step is a plain vectorisable loop.
template <typename Sample, int Stride>
struct SharpenRow {
    const Sample *rows[4];
    Sample *out;
    int64_t kBegin, kEnd;
    int32_t amount;
};

template <typename Sample, int Stride>
[[gnu::always_inline]] inline void Sharpen(const SharpenRow<Sample, Stride> &row) {
    // 16 samples of 255 fit int16, of 65535 int32; so does the amplified difference.
    using Sum = std::conditional_t<sizeof(Sample) == 1, int16_t, int32_t>;
    static constexpr int32_t kMaximum = sizeof(Sample) == 1 ? 255 : 65535;
    constexpr int64_t kChunk = 512;
    const Sample *const r0 = row.rows[0], *const r1 = row.rows[1], *const r2 = row.rows[2],
                        *const r3 = row.rows[3];
    Sample *const out = row.out;
    const int64_t kEnd = row.kEnd;
    const Sum amount = static_cast<Sum>(row.amount);
    Sum columns[kChunk + 3 * Stride];
    for (int64_t k0 = row.kBegin; k0 < kEnd; k0 += kChunk) {
        const int64_t count = std::min(kChunk, kEnd - k0);
        // Column sums for samples k0 - 2 Stride .. k0 + count + Stride - 1.
        const int64_t first = k0 - 2 * Stride;
        for (int64_t j = 0; j < count + 3 * Stride; ++j) {
            const int64_t k = first + j;
            columns[j] = static_cast<Sum>(r0[k] + r1[k] + r2[k] + r3[k]);
        }
        for (int64_t j = 0; j < count; ++j) {
            const int64_t k = k0 + j;
            const Sum block = static_cast<Sum>(columns[j] + columns[j + Stride] +
                                               columns[j + 2 * Stride] + columns[j + 3 * Stride]);
            const Sum x = r2[k];
            const Sum difference = static_cast<Sum>((x - (block >> 4)) * amount / 10);
            const auto sharpened =
                static_cast<Sample>(std::clamp<int32_t>(x + difference, 0, kMaximum));
            if constexpr (Stride == 4) {
                out[k] = (k & 3) == 3 ? out[k] : sharpened;
            } else {
                out[k] = sharpened;
            }
        }
    }
}

KORVIX_HOT_LOOP void Sharpen8x1(const SharpenRow<uint8_t, 1> &row) {
    Sharpen(row);
}
KORVIX_HOT_LOOP void Sharpen8x3(const SharpenRow<uint8_t, 3> &row) {
    Sharpen(row);
}
KORVIX_HOT_LOOP void Sharpen8x4(const SharpenRow<uint8_t, 4> &row) {
    Sharpen(row);
}
KORVIX_HOT_LOOP void Sharpen16x1(const SharpenRow<uint16_t, 1> &row) {
    Sharpen(row);
}
KORVIX_HOT_LOOP void Sharpen16x3(const SharpenRow<uint16_t, 3> &row) {
    Sharpen(row);
}
KORVIX_HOT_LOOP void Sharpen16x4(const SharpenRow<uint16_t, 4> &row) {
    Sharpen(row);
}

void SharpenAny(const SharpenRow<uint8_t, 1> &row) {
    Sharpen8x1(row);
}
void SharpenAny(const SharpenRow<uint8_t, 3> &row) {
    Sharpen8x3(row);
}
void SharpenAny(const SharpenRow<uint8_t, 4> &row) {
    Sharpen8x4(row);
}
void SharpenAny(const SharpenRow<uint16_t, 1> &row) {
    Sharpen16x1(row);
}
void SharpenAny(const SharpenRow<uint16_t, 3> &row) {
    Sharpen16x3(row);
}
void SharpenAny(const SharpenRow<uint16_t, 4> &row) {
    Sharpen16x4(row);
}

template <typename Sample, bool Color>
int Sharpness(const ConversionArea &area, void *first, void *) {
    const auto *value = static_cast<const int32_t *>(first);
    if (value == nullptr || area.destinationBytes != area.sourceBytes) return 0;
    const int32_t amount = std::clamp(*value, 0, 30);
    return FilterFamily<Sample, Color>::Dispatch(area.sourceBytes, [&]<int Bytes>() {
        constexpr int kStride = Bytes / static_cast<int>(sizeof(Sample));
        const int64_t width = area.Width();
        const int64_t height = area.Height();
        if (width <= 4) return;
        const auto rowAt = [&](int64_t y) {
            return reinterpret_cast<const Sample *>(area.SourceRow(y));
        };
        for (int64_t y = 2; y <= height - 3; ++y) {
            SharpenAny(
                SharpenRow<Sample, kStride>{{rowAt(y - 2), rowAt(y - 1), rowAt(y), rowAt(y + 1)},
                                            reinterpret_cast<Sample *>(area.DestinationRow(y)),
                                            2 * kStride,
                                            (width - 2) * kStride,
                                            amount});
        }
    });
}

}  // namespace

const PixelConverter Sharpness8 = AsConverter<Sharpness<uint8_t, false>>;
const PixelConverter Sharpness16 = AsConverter<Sharpness<uint16_t, false>>;
const PixelConverter Sharpness24 = AsConverter<Sharpness<uint8_t, true>>;
const PixelConverter Sharpness48 = AsConverter<Sharpness<uint16_t, true>>;

}  // namespace korvix::imaging
