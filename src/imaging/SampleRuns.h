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

}  // namespace korvix::imaging::detail
