#pragma once

// Row walking shared by the pixel routines (internal to the imaging library).

#include <bit>
#include <cstdint>

#include "imaging/HotLoops.h"
#include "imaging/PixelConverter.h"

namespace korvix::imaging::detail {

static_assert(std::endian::native == std::endian::little,
              "16-bit samples are stored little-endian and read in place");

template <typename T>
T *RowAt(uint8_t *bits, int32_t pitch, int64_t row) {
    return reinterpret_cast<T *>(bits + row * pitch);
}

template <typename T>
const T *RowAt(const uint8_t *bits, int32_t pitch, int64_t row) {
    return reinterpret_cast<const T *>(bits + row * pitch);
}

// The memory of one converter call: both images, the source rectangle, the destination
// position and the pixel sizes in bytes.
struct ConversionArea {
    uint8_t *destination;
    const uint8_t *source;
    PixelRect rect;
    int32_t x;
    int32_t y;
    int destinationBytes;
    int sourceBytes;
    int32_t destinationPitch;
    int32_t sourcePitch;

    int64_t Width() const { return int64_t{rect.right} - rect.left; }
    int64_t Height() const { return int64_t{rect.bottom} - rect.top; }

    // First destination byte of output row i.
    uint8_t *DestinationRow(int64_t i) const {
        return destination + (y + i) * destinationPitch + int64_t{x} * destinationBytes;
    }
    // First source byte of input row i, counted from the top or (flipped) from the bottom.
    template <bool Flip = false>
    const uint8_t *SourceRow(int64_t i) const {
        const int64_t row = Flip ? rect.bottom - 1 - i : rect.top + i;
        return source + row * sourcePitch + int64_t{rect.left} * sourceBytes;
    }
};

// A routine written against ConversionArea, exposed with the PixelConverter signature.
using AreaRoutine = int (*)(const ConversionArea &area, void *first, void *second);

template <AreaRoutine Routine>
int AsConverter(uint8_t *destination, const uint8_t *source, const PixelRect &rect, int32_t x,
                int32_t y, uint16_t destinationBytesPerPixel, uint16_t sourceBytesPerPixel,
                int32_t destinationPitch, int32_t sourcePitch, void *first, void *second) {
    return Routine(ConversionArea{destination, source, rect, x, y, destinationBytesPerPixel,
                                  sourceBytesPerPixel, destinationPitch, sourcePitch},
                   first, second);
}

// Calls rowOp(destinationRow, sourceRow, width) for each row of the area.
template <bool Flip = false, typename RowOp>
int ForEachRow(const ConversionArea &area, RowOp rowOp) {
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    for (int64_t i = 0; i < height; ++i) {
        rowOp(area.DestinationRow(i), area.template SourceRow<Flip>(i), width);
    }
    return 1;
}

// Calls body.template operator()<N>() with N = bytes when bytes is one of the listed
// sizes, so that per-pixel loops see a constant pixel size. Returns false otherwise.
template <int... Sizes, typename Body>
bool WithPixelSize(int bytes, Body body) {
    return ((bytes == Sizes ? (body.template operator()<Sizes>(), true) : false) || ...);
}

// Calls op(destinationPixel, sourcePixel) for each pixel of the area; the strides are in
// samples of the given types, fixed at compile time so that the loops vectorise.
template <typename DstT, typename SrcT, int DstStride, int SrcStride, bool Flip = false,
          typename PixelOp>
int MapPixels(const ConversionArea &area, PixelOp op) {
    return ForEachRow<Flip>(area, [&](uint8_t *d, const uint8_t *s, int64_t width) {
        auto *dst = reinterpret_cast<DstT *>(d);
        const auto *src = reinterpret_cast<const SrcT *>(s);
        for (int64_t j = 0; j < width; ++j) op(dst + j * DstStride, src + j * SrcStride);
    });
}

}  // namespace korvix::imaging::detail
