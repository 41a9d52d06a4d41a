#pragma once

// Per-site gray gain and offset of a raw Bayer frame, in place. First parameter: a
// GrayGainParams. Each sample s with its site's gain g and offset o becomes
// o + (g x s) / 128 (division truncating toward zero), limited to 0..255 for 8 bits and
// to 0..L for 16 bits, L = 1023, 4095, 16383 for sample depths 10, 12, 14 and 65535
// otherwise. Returns 1, or 0 without a record.

#include "imaging/BayerSites.h"
#include "imaging/PixelConverter.h"

namespace korvix::imaging {

extern const PixelConverter GrayGainOffset8;
extern const PixelConverter GrayGainOffset16;

}  // namespace korvix::imaging
