#pragma once

#include "imaging/FrameImage.h"

namespace korvix::imaging {

// File types of the image saver; the number, never the file name, picks the format.
enum ImageFileType : int {
    kImageFileBmp = 0,
    kImageFileRaw = 1,
    kImageFileJpegQuality100 = 2,
    kImageFileJpegQuality70 = 3,
    kImageFileJpegQuality20 = 4,
    kImageFilePng = 5,
    kImageFileTiff = 6,
};

// Saves `image` in the format of `fileType`:
//   BMP    the image's bit count, rows bottom row first, gray table for 8 bits;
//   raw    the pixel buffer as it is (top row first, rows padded to 4 bytes);
//   JPEG   progressive, 8-bit gray for 8 and 16 bits, 24-bit colour otherwise, quality
//          100, 70 or 20;
//   PNG    gray, RGB or RGBA at 8 or 16 bits per sample, opaque alpha;
//   TIFF   one uncompressed strip, gray or RGB, 8 or 16 bits per sample.
// `sampleDepth` (10, 12 or 16) says how many bits of 16-bit samples carry the picture:
// PNG and TIFF shift 10- and 12-bit samples to the top of the word, JPEG takes bits 2..9
// or 4..11 instead of the high byte. Returns 1 when the file was written, 0 for a missing
// image or file name, an unknown file type or sample depth (no file is then created), a
// file that cannot be created, or a failing library (the partial file stays). Reentrant:
// saves on different images may run at the same time; the caller keeps `image` unchanged
// for the length of the call.
int SaveImageFile(const char *fileName, const FrameImage *image, int fileType, int sampleDepth);

}  // namespace korvix::imaging
