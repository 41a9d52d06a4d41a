#pragma once

// The adjustable image filters. Each has four variants by pixel family: 8 = 8-bit gray,
// 16 = 16-bit gray, 24 = 24- or 32-bit colour, 48 = 48- or 64-bit colour (three
// channels treated alike; the fourth byte or word of 32/64-bit pixels is left as it is
// unless stated). First parameter: the address of the int32 filter value (hue and
// saturation: a HueSaturationParams). They run in place (destination = source) except
// sharpness, which reads a copy of the image. M below is the sample maximum (255 or
// 65535) and limit() clamps to 0..M. Each returns 1, or 0 without a parameter or for a
// pixel size that is not of its family.

#include <cstdint>

#include "imaging/PixelConverter.h"

namespace korvix::imaging {

// Brightness b (-255..255): x becomes limit(trunc(x * f)), f a float: 1 - |b| / 255 for
// b < 0, 1 + 10 b / 255 for b > 0.
extern const PixelConverter Brightness8;
extern const PixelConverter Brightness16;
extern const PixelConverter Brightness24;
extern const PixelConverter Brightness48;

// Contrast m (-127..127): with t = m (8-bit samples) or 256 m (16-bit), x < t gives 0,
// x > M - t gives M, otherwise trunc((M + 1) / (M + 1 - 2t) x (x - t)).
extern const PixelConverter Contrast8;
extern const PixelConverter Contrast16;
extern const PixelConverter Contrast24;
extern const PixelConverter Contrast48;

// Gamma g percent (0..200): 0 stays 0, x becomes min(M, trunc(M (x / M)^(100 / g))).
extern const PixelConverter Gamma8;
extern const PixelConverter Gamma16;
extern const PixelConverter Gamma24;
extern const PixelConverter Gamma48;

// Gamma, contrast and brightness run back to back in that order, as one table pass: each
// of the three whose value is not neutral (gamma 100, contrast 0, brightness 0) is applied
// exactly as its own filter above computes it; a neutral one is skipped, as a caller
// skips the single filter. First parameter: a ToneCurveParams. One look-up per sample
// whatever the number of filters.
struct ToneCurveParams {
    int32_t gamma = 100;
    int32_t contrast = 0;
    int32_t brightness = 0;
};
extern const PixelConverter ToneCurve8;
extern const PixelConverter ToneCurve16;
extern const PixelConverter ToneCurve24;
extern const PixelConverter ToneCurve48;

// Sharpness s (0..30): unsharp mask of amount s / 10. Reads the source (a copy of the
// image) and writes the destination for pixels 2 .. size - 3 in both directions:
// blur = (sum of the 4x4 samples at columns x-2 .. x+1, rows y-2 .. y+1) >> 4 and the
// result limit(x + (x - blur) x s / 10), the division truncating toward zero. The two
// outer rows and columns are not written.
extern const PixelConverter Sharpness8;
extern const PixelConverter Sharpness16;
extern const PixelConverter Sharpness24;
extern const PixelConverter Sharpness48;

// Hue rotation and saturation change of colour images by an integer HSL rotation on a
// circle of 1530 steps. Gray pixels stay as they are. The 48/64-bit variant works on the
// high byte of each word, clears the low byte and sets a fourth word to 0.
struct HueSaturationParams {
    int32_t hue = 0;         // degrees, -360..360
    int32_t saturation = 0;  // -255..255
};
extern const PixelConverter HueSaturation24;
extern const PixelConverter HueSaturation48;

// The hue step a (0..1529) of the rotation by `hue` degrees.
int32_t HueShiftSteps(int32_t hue);

}  // namespace korvix::imaging
