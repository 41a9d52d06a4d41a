#pragma once

#include "imaging/FrameImage.h"

namespace korvix::imaging {

// Writes `image` as an uncompressed TIFF through libtiff: one strip with the rows top
// row first and without padding, contiguous samples in red, green, blue order (gray for
// 8 and 16 bits; a fourth sample for 32 and 64 bits, 0 and 65535 respectively, marked as
// an unspecified extra sample), 16-bit samples in the machine's byte order. 16-bit
// samples with `sampleDepth` 12 or 10 significant bits are shifted up by 4 or 6 bits; 16
// keeps them. Returns 1, or 0 for an empty image, an unknown bit count or sample depth,
// a file that cannot be created, or any error libtiff reports (printed as "libtiff
// error: ..."; the file is then closed and left as far as it was written). Reentrant.
int WriteTiff(const char *fileName, const FrameImage &image, int sampleDepth);

}  // namespace korvix::imaging
