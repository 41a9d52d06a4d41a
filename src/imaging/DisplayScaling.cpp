#include "imaging/DisplayScaling.h"

#include <algorithm>
#include <cstdint>

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
int ScaleFlip(uint8_t *destination, const uint8_t *source, const PixelRect &destinationRect,
              const PixelRect &sourceRect, uint16_t destinationBytesPerPixel,
              uint16_t sourceBytesPerPixel, int32_t destinationPitch, int32_t sourcePitch, void *,
              void *) {
    if (destinationBytesPerPixel != Bytes || sourceBytesPerPixel != Bytes) return 0;
    const int32_t sourceWidth = sourceRect.Width();
    const int32_t sourceHeight = sourceRect.Height();
    const int32_t width = destinationRect.Width();
    const int32_t height = destinationRect.Height();
    const float ratioX = static_cast<float>(sourceWidth) / static_cast<float>(width);
    const float ratioY = static_cast<float>(sourceHeight) / static_cast<float>(height);
    for (int32_t i = 0; i < height; ++i) {
        const int32_t sourceRow =
            sourceRect.top + sourceHeight - 1 - ScaledIndex(i, ratioY, sourceHeight);
        const uint8_t *in =
            source + int64_t{sourceRow} * sourcePitch + int64_t{sourceRect.left} * Bytes;
        uint8_t *out = destination + int64_t{destinationRect.top + i} * destinationPitch +
                       int64_t{destinationRect.left} * Bytes;
        for (int32_t j = 0; j < width; ++j) {
            const uint8_t *pixel = in + int64_t{ScaledIndex(j, ratioX, sourceWidth)} * Bytes;
            for (int b = 0; b < Bytes; ++b) out[j * Bytes + b] = pixel[b];
        }
    }
    return 1;
}

}  // namespace

const ScaledPixelConverter Scale8Flip = ScaleFlip<1>;
const ScaledPixelConverter Scale24Flip = ScaleFlip<3>;

}  // namespace korvix::imaging
