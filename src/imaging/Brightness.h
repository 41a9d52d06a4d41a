#pragma once

// The brightness computed per sample (internal to the imaging library).
//
// A sample x becomes limit(trunc(x x f)), the product in single precision. The kernels give
// exactly that value:
// - 16-bit samples: the same single-precision product, sixteen samples per vector
//   (x below 2^24 converts exactly; the product is rounded once as in the scalar loop;
//   the truncated value, at most 65535 x 11, fits int32 and a saturating pack limits it).
// - 8-bit samples: a 256-entry table of that product, built once per call and looked up
//   with byte permutes, 64 samples per step (cheaper than widening each byte to a float).

#include <array>
#include <cstdint>

namespace korvix::imaging::detail {

// The factor of brightness b (-255..255), a float computed from double:
// 1 - |b| / 255 for b < 0, 1 + 10 b / 255 for b > 0, 1 for 0.
float BrightnessFactor(int32_t brightness);

// The per-call constants of one brightness value on 8-bit samples.
struct BrightnessScale8 {
    float factor = 1.0f;
    alignas(64) std::array<uint8_t, 256> table{};  // limit(trunc(x x factor)) for every x
};
BrightnessScale8 MakeBrightnessScale8(float factor);

// out[k] = limit(trunc(in[k] x factor)). With a stride of 4 every fourth sample is left as
// the destination holds it.
using BrightnessKernel8 = void (*)(uint8_t *out, const uint8_t *in, int64_t count, int stride,
                                   const BrightnessScale8 &scale);
using BrightnessKernel16 = void (*)(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                                    float factor);

struct BrightnessKernels {
    BrightnessKernel8 samples8 = nullptr;
    BrightnessKernel16 samples16 = nullptr;
};

// AVX-512 (byte and word operations; the 8-bit kernel also needs the byte permutes of
// VBMI): each null where the processor lacks it.
BrightnessKernels BrightnessKernelsAvx512();
// AVX2: both null where the processor lacks it.
BrightnessKernels BrightnessKernelsAvx2();
// The plain loops the compiler vectorises: never null.
BrightnessKernels BrightnessKernelsPortable();
// The fastest kernel of each depth on this processor: never null.
BrightnessKernels BrightnessKernelsForThisProcessor();

}  // namespace korvix::imaging::detail
