#include "core/FrameCopy.h"

#include <cstring>

namespace korvix::core {
namespace {

// Reverses a row of 8-bit pixels eight at a time: a byte swap of each 64-bit word taken
// from the row's end.
void CopyRowMirrored8(const uint8_t *source, uint8_t *destination, uint32_t width) {
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        uint64_t word;
        std::memcpy(&word, source + width - x - 8, sizeof word);
        word = __builtin_bswap64(word);
        std::memcpy(destination + x, &word, sizeof word);
    }
    for (; x < width; ++x) destination[x] = source[width - 1 - x];
}

template <typename Pixel>
void CopyRowMirrored(const uint8_t *source, uint8_t *destination, uint32_t width) {
    const uint8_t *from = source + static_cast<size_t>(width) * sizeof(Pixel);
    for (uint32_t x = 0; x < width; ++x) {
        from -= sizeof(Pixel);
        std::memcpy(destination + static_cast<size_t>(x) * sizeof(Pixel), from, sizeof(Pixel));
    }
}

}  // namespace

CopyOrientation OrientationFor(int sensorOrientation, int orientationFlag) {
    CopyOrientation orientation;
    orientation.mirror = sensorOrientation == 2 || sensorOrientation == 4;
    bool topDownSensor = sensorOrientation != 3 && sensorOrientation != 4;
    bool rowsKept = (orientationFlag != 0) == topDownSensor;
    orientation.reverseRows = !rowsKept;
    return orientation;
}

void CopyOrientedFrame(const uint8_t *source, uint8_t *destination, uint32_t width, uint32_t height,
                       uint32_t bytesPerPixel, CopyOrientation orientation) {
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
    if (!orientation.mirror && !orientation.reverseRows) {
        std::memcpy(destination, source, rowBytes * height);
        return;
    }
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t *from = source + rowBytes * row;
        uint32_t targetRow = orientation.reverseRows ? height - 1 - row : row;
        uint8_t *to = destination + rowBytes * targetRow;
        if (!orientation.mirror) {
            std::memcpy(to, from, rowBytes);
        } else if (bytesPerPixel == 2) {
            CopyRowMirrored<uint16_t>(from, to, width);
        } else {
            CopyRowMirrored8(from, to, width);
        }
    }
}

}  // namespace korvix::core
