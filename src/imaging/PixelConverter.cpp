#include "imaging/PixelConverter.h"

#include <algorithm>

namespace korvix::imaging {

namespace {

// Clips one axis: [start, start + length) of the source placed at `position`.
// Returns the surviving length (<= 0 when nothing is left).
int64_t ClipAxis(int64_t &start, int64_t &position, int64_t length, int64_t sourceLimit,
                 int64_t destinationLimit) {
    const int64_t front = std::max({int64_t{0}, -start, -position});
    start += front;
    position += front;
    length -= front;
    return std::min({length, sourceLimit - start, destinationLimit - position});
}

bool LiesInside(const PixelRect &rect, const FrameImage &image) {
    return !rect.IsEmpty() && rect.left >= 0 && rect.top >= 0 && rect.right <= image.Width() &&
           rect.bottom <= image.Height();
}

}  // namespace

bool ClipConversion(PixelRect &rect, int32_t &x, int32_t &y, int32_t destinationWidth,
                    int32_t destinationHeight, int32_t sourceWidth, int32_t sourceHeight) {
    int64_t left = rect.left, top = rect.top;
    int64_t column = x, row = y;
    const int64_t width =
        ClipAxis(left, column, int64_t{rect.right} - rect.left, sourceWidth, destinationWidth);
    const int64_t height =
        ClipAxis(top, row, int64_t{rect.bottom} - rect.top, sourceHeight, destinationHeight);
    if (width <= 0 || height <= 0) {
        rect = PixelRect{};
        x = 0;
        y = 0;
        return false;
    }
    // Every value now lies inside one of the two images, so it fits in 32 bits.
    rect = PixelRect{static_cast<int32_t>(left), static_cast<int32_t>(top),
                     static_cast<int32_t>(left + width), static_cast<int32_t>(top + height)};
    x = static_cast<int32_t>(column);
    y = static_cast<int32_t>(row);
    return true;
}

int64_t ConvertImage(FrameImage &destination, PixelConverter converter, const FrameImage &source,
                     const PixelRect *sourceRect, int32_t x, int32_t y, void *first, void *second) {
    PixelRect rect = sourceRect ? *sourceRect : PixelRect{0, 0, source.Width(), source.Height()};
    if (!ClipConversion(rect, x, y, destination.Width(), destination.Height(), source.Width(),
                        source.Height())) {
        return 0;
    }
    if (converter == nullptr) return 0;
    // Bottom-up surface rows to memory rows.
    const PixelRect memoryRect{rect.left, source.Height() - rect.bottom, rect.right,
                               source.Height() - rect.top};
    const int32_t memoryY = destination.Height() - (y + rect.Height());
    return converter(destination.Bits(), source.Bits(), memoryRect, x, memoryY,
                     destination.BytesPerPixel(), source.BytesPerPixel(), destination.Pitch(),
                     source.Pitch(), first, second);
}

int64_t ConvertImageScaled(FrameImage &destination, ScaledPixelConverter converter,
                           const FrameImage &source, const PixelRect *sourceRect,
                           const PixelRect *destinationRect, void *first, void *second) {
    if (converter == nullptr || destination.IsEmpty() || source.IsEmpty()) return 0;
    const PixelRect from =
        sourceRect ? *sourceRect : PixelRect{0, 0, source.Width(), source.Height()};
    const PixelRect to = destinationRect
                             ? *destinationRect
                             : PixelRect{0, 0, destination.Width(), destination.Height()};
    if (!LiesInside(from, source) || !LiesInside(to, destination)) return 0;
    return converter(destination.Bits(), source.Bits(), to, from, destination.BytesPerPixel(),
                     source.BytesPerPixel(), destination.Pitch(), source.Pitch(), first, second);
}

}  // namespace korvix::imaging
