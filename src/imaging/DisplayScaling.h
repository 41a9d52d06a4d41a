#pragma once

// Nearest-neighbour resizing for the preview window. Destination pixel (j, i) of the
// destination rectangle takes source column min(trunc(j * rx), Ws - 1) and source row
// Hs - 1 - min(trunc(i * ry), Hs - 1) of the source rectangle (Ws x Hs), with the ratios
// rx = Ws / Wd and ry = Hs / Hd as 32-bit floats. The row reversal leaves the result
// bottom-up, ready for a drawing surface. Run through ConvertImageScaled; no parameter.

#include "imaging/PixelConverter.h"

namespace korvix::imaging {

extern const ScaledPixelConverter Scale8Flip;   // 8 -> 8
extern const ScaledPixelConverter Scale24Flip;  // 24 -> 24, three bytes per pixel

}  // namespace korvix::imaging
