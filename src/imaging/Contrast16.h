#pragma once

// The 16-bit contrast computed per sample in integer-exact form (internal to the imaging
// library).
//
// With threshold t = 256 m and D = 128 - m (1..255 for contrast m of -127..127), the
// contrast line between its limits is trunc(slope x (x - t)) with the double slope
// 65536 / (65536 - 2t) = 128 / D. That is the integer quotient floor(128 (x - t) / D), except
// where 128 (x - t) / D is an integer k >= 1 and the double slope lies below 128 / D: the
// product then falls short of k by k x delta (delta the slope's relative shortfall) and
// becomes k - 1 unless rounding to double brings it back, which it does when k x delta is
// at most half a unit in the last place below k. So k comes out one lower exactly when the
// significand of k, read in [1, 2) (a power of two as 2, the place below it being half as
// large), exceeds lambda = 2^-53 / delta. Fourteen contrast values have such a slope.

#include <cstdint>

namespace korvix::imaging::detail {

// The per-call constants of one contrast value, derived once per call.
struct ContrastLine16 {
    bool stretches = false;   // t > 0: samples below t become 0 (else the line compresses)
    uint16_t threshold = 0;   // t when it stretches, else 0
    uint16_t divisor = 128;   // D
    uint16_t offsetBits = 0;  // (-t x 128) mod 2^16 when it compresses, else 0
    float slope = 1.0f;       // 128 / D
    float intercept = 0.0f;   // -t x 128 / D (compressing lines only), minus 1/32
    // The exact quotients whose significand exceeds lambda are one lower, as the double
    // product makes them; mantissaLimit is floor((lambda - 1) x 2^23).
    bool lowersExactQuotients = false;
    int32_t mantissaLimit = 0;
};

// The constants for threshold t = 256 m (m in -127..127) and the double slope that the
// line multiplies by (65536 / (65536 - 2t)).
ContrastLine16 MakeContrastLine16(int32_t threshold, double slope);

// out[k] = the contrast line of in[k]: 0 below t, 65535 above 65535 - t, between them
// trunc(slope x (x - t)) as the double product gives it. With a stride of 4 every fourth
// sample is left as the destination holds it.
using ContrastKernel16 = void (*)(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                                  const ContrastLine16 &line);

// The kernel (AVX-512 with byte and word operations), or null where the processor has none.
ContrastKernel16 ContrastKernel16ForThisProcessor();

}  // namespace korvix::imaging::detail
