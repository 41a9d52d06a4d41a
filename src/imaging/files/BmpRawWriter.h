#pragma once

#include "imaging/FrameImage.h"

namespace korvix::imaging {

// Writes `image` as a BMP file exactly as it stands: the 14-byte file header, the image's
// 40-byte header, for bit counts up to 8 the 256 entries of its bitmap colour table, then
// the pixel buffer (height x pitch bytes) in memory order. BMP readers take the first
// stored row for the bottom of the picture, so the caller hands over an image whose rows
// are already reversed. Every bit count is written with its own count (16, 48 and 64
// included). Returns 1, or 0 for an empty image, an image of 4 GiB or more (the file
// header cannot state its size), or a file that cannot be created or written completely (a partial
// file is left in place). Reentrant.
int SaveBmp(const FrameImage &image, const char *fileName);

// Writes the pixel buffer of `image`, height x pitch bytes in memory order (top row
// first, rows padded to 4 bytes), without any header. Returns as SaveBmp.
int SaveRaw(const FrameImage &image, const char *fileName);

}  // namespace korvix::imaging
