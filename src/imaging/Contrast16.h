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
//
// The kernels: n = x - t (saturated at 0 when the line stretches; x itself, with -t in the
// intercept and offsetBits, when it compresses). The float f = n x 128/D + intercept lies
// within 2^-7 of 128 n / D - 1/32, so trunc(f) is the quotient q or q - 1; the remainder
// 128 n - trunc(f) x D, exact modulo 2^16 because it lies in 0 .. 2D - 1, reaches D exactly
// when it is q - 1, and one is added (saturating: samples above 65535 - t already give 65535
// or more). At an exact quotient k the float lies just below k, so its significand (k's, or
// nearly 2 for a power of two) decides whether k stays one lower, as the double product
// leaves it.

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

// The kernels this processor runs: AVX-512 with byte and word operations (32 samples per
// step), AVX2 with FMA (16); each null where the processor lacks it.
struct ContrastKernels16 {
    ContrastKernel16 avx512 = nullptr;
    ContrastKernel16 avx2 = nullptr;
};
ContrastKernels16 ContrastKernels16ForThisProcessor();
ContrastKernel16 ContrastKernel16Avx512();
ContrastKernel16 ContrastKernel16Avx2();

// The fastest of them, or null where there is none (the filter then uses a table).
ContrastKernel16 ContrastKernel16ForThisProcessor();

}  // namespace korvix::imaging::detail
