#pragma once

#include <cstdint>

namespace korvix::imaging {

// Writes a pixel buffer laid out as a FrameImage of `bitCount` bits (rows padded to 4
// bytes, memory row 0 the top row, blue first, 16-bit samples little-endian) as a PNG
// through libpng: bit counts 8 and 16 gray, 24 and 48 RGB, 32 and 64 RGBA, at bit depth
// 8 or 16, not interlaced, libpng's default compression and filters. Returns 1, or 0 when
// the file cannot be created, the bit count is not one of the six, or libpng reports an
// error (printed as "libpng error: ..."; the file is then closed and left as far as it
// was written). Every call keeps its own working state, so saves may run concurrently.
int WritePng(const char *fileName, const uint8_t *bits, int32_t width, int32_t height,
             int bitCount);

}  // namespace korvix::imaging
