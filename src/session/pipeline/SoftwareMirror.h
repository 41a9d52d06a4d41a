#pragma once

// The software mirror of raw frames, for the directions the device cannot mirror itself.

#include "imaging/FrameImage.h"

namespace korvix::pipeline {

// Mirrors an 8- or 16-bit image in place: horizontally (every row reversed), vertically
// (row order reversed) or both (turned by 180 degrees), each in one pass without a
// temporary image. Other bit counts are left alone.
void MirrorInPlace(imaging::FrameImage &image, bool horizontal, bool vertical);

}  // namespace korvix::pipeline
