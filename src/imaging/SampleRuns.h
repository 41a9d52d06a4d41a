#pragma once

// Flat per-sample loops of the tone filters, compiled for AVX2 where the processor has
// it (internal to the imaging library). A run is `count` samples; with a stride of 4
// every fourth sample (the fourth channel) is left as the destination holds it.

#include <cstdint>

namespace korvix::imaging::detail {

// out[k] = table[in[k]].
void ApplyTable8(uint8_t *out, const uint8_t *in, int64_t count, int stride, const uint8_t *table);
void ApplyTable16(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                  const uint16_t *table);

// out[k] = limit(trunc(in[k] x factor)), the product in single precision.
void ScaleSamples8(uint8_t *out, const uint8_t *in, int64_t count, int stride, float factor);
void ScaleSamples16(uint16_t *out, const uint16_t *in, int64_t count, int stride, float factor);

// True when the processor runs the AVX-512 kernels below.
bool HasStretchKernel();

// out[k] = clamp(trunc(slope x (in[k] - offset)), 0, 65535), the product in double
// precision: a linear stretch of 16-bit samples computed per sample with AVX-512, eight
// products per instruction (a table look-up per sample is slower). Only where
// HasStretchKernel() says so.
void StretchSamples16(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                      int32_t offset, double slope);

}  // namespace korvix::imaging::detail
