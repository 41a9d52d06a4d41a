#pragma once

// Converters that only the file writers need: the channel orders of 16-bit samples kept
// at full depth (the shifting variants for 10- and 12-bit samples are general converters)
// and a plain row copy for packing rows without padding. Same calling convention and
// pixel layouts as the general converters; none takes a parameter.

#include "imaging/PixelConverter.h"

namespace korvix::imaging {

// Any format -> same format, rows in order: copies width x bytes per pixel of each row,
// so the destination pitch may be the unpadded row length.
extern const PixelConverter CopyPixelRows;

// 48 -> 48: words blue, green, red become red, green, blue.
extern const PixelConverter Rgb48SwapRB;

// 64 -> 64: words 0..2 copied, word 3 = 65535 (opaque alpha).
extern const PixelConverter Rgb64Opaque;

// 64 -> 64: words 0..2 reordered red, green, blue, word 3 = 65535.
extern const PixelConverter Rgb64SwapRBOpaque;

}  // namespace korvix::imaging
