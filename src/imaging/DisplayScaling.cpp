#include "imaging/DisplayScaling.h"

#include <algorithm>
#include <cstdint>

#include "imaging/PixelRows.h"

namespace korvix::imaging {

namespace {

// trunc(index * ratio) limited to 0 .. count - 1; the product is never negative here
// because index and ratio are not.
inline int32_t ScaledIndex(int32_t index, float ratio, int32_t count) {
    const float product = static_cast<float>(index) * ratio;
    if (!(product < static_cast<float>(count))) return count - 1;
    return std::min(static_cast<int32_t>(product), count - 1);
}

template <int Bytes>
KORVIX_SCALAR_LOOP int ScaleFlip(uint8_t *destination, const uint8_t *source,
                                 const PixelRect &destinationRect, const PixelRect &sourceRect,
                                 uint16_t destinationBytesPerPixel, uint16_t sourceBytesPerPixel,
                                 int32_t destinationPitch, int32_t sourcePitch, void *, void *) {
    if (destinationBytesPerPixel != Bytes || sourceBytesPerPixel != Bytes) return 0;
    const int32_t sourceWidth = sourceRect.Width();
    const int32_t sourceHeight = sourceRect.Height();
    const int32_t width = destinationRect.Width();
    const int32_t height = destinationRect.Height();
    const float ratioX = static_cast<float>(sourceWidth) / static_cast<float>(width);
    const float ratioY = static_cast<float>(sourceHeight) / static_cast<float>(height);
    // The column of each destination pixel is the same on every row: work in chunks of
    // destination columns, computing their source offsets once per chunk.
    constexpr int32_t kChunk = 1024;
    int32_t offsets[kChunk];
    for (int32_t j0 = 0; j0 < width; j0 += kChunk) {
        const int32_t count = std::min(kChunk, width - j0);
        for (int32_t j = 0; j < count; ++j) {
            offsets[j] = (sourceRect.left + ScaledIndex(j0 + j, ratioX, sourceWidth)) * Bytes;
        }
        for (int32_t i = 0; i < height; ++i) {
            const int32_t sourceRow =
                sourceRect.top + sourceHeight - 1 - ScaledIndex(i, ratioY, sourceHeight);
            const uint8_t *in = source + int64_t{sourceRow} * sourcePitch;
            uint8_t *out = destination + int64_t{destinationRect.top + i} * destinationPitch +
                           int64_t{destinationRect.left + j0} * Bytes;
#pragma GCC unroll 8
            for (int32_t j = 0; j < count; ++j) {
                for (int b = 0; b < Bytes; ++b) out[j * Bytes + b] = in[offsets[j] + b];
            }
        }
    }
    return 1;
}

}  // namespace

const ScaledPixelConverter Scale8Flip = ScaleFlip<1>;
const ScaledPixelConverter Scale24Flip = ScaleFlip<3>;

}  // namespace korvix::imaging
