#pragma once

#include "imaging/FrameImage.h"

namespace korvix::imaging {

// Writes `image` (8-bit gray or 24-bit blue-green-red, rows stored bottom row first as
// a BMP holds them) as a JPEG of the same size through libjpeg: one gray component for
// 8 bits, three RGB components for 24 bits, `quality` 0..100 (baseline quantisation
// tables), progressive scans when `progressive` is set. Returns 1, or 0 when the file
// cannot be created, the image has another bit count, or libjpeg reports an error (the
// file is then closed and left as far as it was written). Reentrant.
int WriteJpeg(const char *fileName, const FrameImage &image, int quality, bool progressive);

}  // namespace korvix::imaging
