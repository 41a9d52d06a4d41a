#include "core/FrameCopy.h"

#include <algorithm>
#include <cstring>

namespace korvix::core {
namespace {

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
            std::reverse_copy(from, from + rowBytes, to);
        }
    }
}

}  // namespace korvix::core
