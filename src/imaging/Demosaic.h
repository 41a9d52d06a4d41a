#pragma once

// Bayer interpolation of a raw frame (8 bits -> 24 or 32; 16 bits -> 48 or 64). First
// parameter: a DemosaicParams. Output and input have the same size; output pixel (x, y)
// takes the colour at the corner shared by raw pixels (x-1, y-1), (x, y-1), (x-1, y)
// and (x, y): green is the mean of the cell's two green samples; red and blue are the
// bilinear 9-3-3-1 interpolation of the four nearest samples, multiplied by
// trunc(gain x 1.28) and shifted right by 11, limited to the sample maximum. Channels
// are stored blue, green, red; a fourth byte or word is left as it is.
//
// The inner routine fills columns and rows 2 .. size - 3 without any bounds test; the
// border routine then fills the two outer rows and columns, reading a tap outside the
// frame four columns (rows) further inside, which keeps its mosaic site. Run the inner
// routine first, then the border routine, over the same images.
// Both return 1, or 0 without a record or for an unsupported pixel size.

#include "imaging/BayerSites.h"
#include "imaging/PixelConverter.h"

namespace korvix::imaging {

extern const PixelConverter Demosaic8Inner;
extern const PixelConverter Demosaic8Border;
extern const PixelConverter Demosaic16Inner;
extern const PixelConverter Demosaic16Border;

}  // namespace korvix::imaging
