#pragma once

#include <cstdint>

#include "imaging/FrameImage.h"

namespace korvix::imaging {

// The calling convention shared by every pixel routine (format converters, measurements,
// the Bayer interpolation and the image filters).
//
// A converter walks i = 0 .. rect.Height() - 1 and j = 0 .. rect.Width() - 1, reads the
// source pixel at column rect.left + j, row rect.top + i and writes the destination pixel
// at column x + j, row y + i (a flipping converter reads source row rect.bottom - 1 - i).
// The rectangle is already clipped to both images. Pitches are in bytes. `first` and
// `second` are opaque: a routine that takes a parameter record receives the record's
// address in `first` (see each routine). In-place routines get the same image twice, so
// `destination` and `source` may alias.
//
// Converters keep no state, allocate nothing and return 1 unless their description says
// otherwise. Not thread-affine: each call touches only the memory it is given.
using PixelConverter = int (*)(uint8_t *destination, const uint8_t *source, const PixelRect &rect,
                               int32_t x, int32_t y, uint16_t destinationBytesPerPixel,
                               uint16_t sourceBytesPerPixel, int32_t destinationPitch,
                               int32_t sourcePitch, void *first, void *second);

// The resizing converters receive a destination and a source rectangle instead of a
// position; each rectangle lies inside its image.
using ScaledPixelConverter = int (*)(uint8_t *destination, const uint8_t *source,
                                     const PixelRect &destinationRect, const PixelRect &sourceRect,
                                     uint16_t destinationBytesPerPixel,
                                     uint16_t sourceBytesPerPixel, int32_t destinationPitch,
                                     int32_t sourcePitch, void *first, void *second);

// Places `rect` (in the source) at (x, y) in the destination and clips the destination
// area to the destination size and the rectangle to the source size, each cut carried
// over to the other. Returns false, with an empty rectangle and x = y = 0, when nothing
// is left.
bool ClipConversion(PixelRect &rect, int32_t &x, int32_t &y, int32_t destinationWidth,
                    int32_t destinationHeight, int32_t sourceWidth, int32_t sourceHeight);

// Runs `converter` from `source` into `destination`. `sourceRect` defaults to the whole
// source image. The rectangle and position are given as a bottom-up surface sees them
// (rectangle row r is memory row height - 1 - r); after clipping they are turned into
// memory rows, which changes nothing for whole-image conversions. Returns the converter's
// result, or 0 without calling it when the converter is missing or nothing is left after
// clipping (for example an empty image or a rectangle wholly outside either image).
int64_t ConvertImage(FrameImage &destination, PixelConverter converter, const FrameImage &source,
                     const PixelRect *sourceRect, int32_t x, int32_t y, void *first = nullptr,
                     void *second = nullptr);

// Runs a resizing converter; each missing rectangle defaults to its whole image. Returns
// the converter's result, or 0 without calling it when the converter is missing, either
// image is empty or a rectangle is empty or reaches outside its image.
int64_t ConvertImageScaled(FrameImage &destination, ScaledPixelConverter converter,
                           const FrameImage &source, const PixelRect *sourceRect,
                           const PixelRect *destinationRect, void *first = nullptr,
                           void *second = nullptr);

}  // namespace korvix::imaging
