#pragma once

// Read-only measurements over a raw frame. Each reads the image passed as destination,
// over the rectangle placed at the destination position (callers pass the same image as
// destination and source) and writes nothing into it.

#include "imaging/BayerSites.h"
#include "imaging/PixelConverter.h"

namespace korvix::imaging {

// Mean sample of the area (8 bits), or of v >> 4 (16 bits); the result of the call.
// An empty area yields 0.
extern const PixelConverter MeanLevel8;
extern const PixelConverter MeanLevel16;

// White-balance measurement of a raw Bayer frame (8 or 16 bits). First parameter: a
// WhiteBalanceResult whose bayerMode names the mosaic. With G, R, B the site means,
// blueGain = int(100 G / B), greenGain = 100, redGain = int(100 G / R). A gain whose
// quotient is undefined (its site mean or the green mean is 0, or the site has no
// sample) keeps the value the record held, so callers pre-fill it with their current
// gains. Returns 1, or 0 without a record.
extern const PixelConverter WhiteBalanceMeasure8;
extern const PixelConverter WhiteBalanceMeasure16;

// Gray-gain measurement of an 8-bit raw frame. First parameter: a GrayGainParams whose
// bayerMode names the sites. Samples 0 and 255 are skipped. With M1 the G1 mean, writes
// gain[R] = int(M1 / mean R x 128), gain[G1] = 128, gain[G2] and gain[B] likewise, not
// limited. A site without counted samples keeps its gain; without G1 samples no gain
// changes. Returns 1, or 0 without a record.
extern const PixelConverter GrayGainMeasure8;

// The same measurement over a 16-bit raw frame of 12-bit samples: samples 0 and 4095 are
// skipped, the gains are computed alike.
extern const PixelConverter GrayGainMeasure16;

}  // namespace korvix::imaging
