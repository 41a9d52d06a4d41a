#include "imaging/SampleRuns.h"

#include <algorithm>

#include "imaging/PixelRows.h"

namespace korvix::imaging::detail {

namespace {

// The table pointer is a parameter (not a captured reference), so byte stores cannot
// alias it and it stays in a register. Stride 4 skips the fourth sample.
template <typename Sample>
KORVIX_SCALAR_LOOP inline void LookUp(Sample *out, const Sample *in, int64_t count, int stride,
                                      const Sample *__restrict table) {
    if (stride == 4) {
        for (int64_t k = 0; k + 3 < count; k += 4) {
            const Sample s0 = in[k], s1 = in[k + 1], s2 = in[k + 2];
            out[k] = table[s0];
            out[k + 1] = table[s1];
            out[k + 2] = table[s2];
        }
        return;
    }
    int64_t k = 0;
    for (; k + 3 < count; k += 4) {
        const Sample s0 = in[k], s1 = in[k + 1], s2 = in[k + 2], s3 = in[k + 3];
        out[k] = table[s0];
        out[k + 1] = table[s1];
        out[k + 2] = table[s2];
        out[k + 3] = table[s3];
    }
    for (; k < count; ++k) out[k] = table[in[k]];
}

}  // namespace

KORVIX_SCALAR_LOOP void ApplyTable8(uint8_t *out, const uint8_t *in, int64_t count, int stride,
                                    const uint8_t *table) {
    if (out == in) {
        LookUp(out, out, count, stride, table);
    } else {
        LookUp(out, in, count, stride, table);
    }
}

KORVIX_SCALAR_LOOP void ApplyTable16(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                                     const uint16_t *table) {
    if (out == in) {
        LookUp(out, out, count, stride, table);
    } else {
        LookUp(out, in, count, stride, table);
    }
}

namespace {

// out[k] = limit(trunc(in[k] x factor)) in single precision; vectorises (the stride-4 form
// as a blend that keeps the fourth lane).
template <typename Sample>
[[gnu::always_inline]] inline void Scale(Sample *out, const Sample *in, int64_t count, int stride,
                                         float factor) {
    static constexpr int32_t kMaximum = sizeof(Sample) == 1 ? 255 : 65535;
    const auto scale = [factor](Sample x) {
        // At most 65535 x 11: the truncated product fits int32 and is then limited.
        const auto scaled = static_cast<int32_t>(static_cast<float>(x) * factor);
        return static_cast<Sample>(std::clamp(scaled, 0, kMaximum));
    };
    if (stride == 4) {
        for (int64_t k = 0; k < count; ++k) out[k] = (k & 3) == 3 ? out[k] : scale(in[k]);
    } else if (out == in) {
        for (int64_t k = 0; k < count; ++k) out[k] = scale(out[k]);
    } else {
        for (int64_t k = 0; k < count; ++k) out[k] = scale(in[k]);
    }
}

}  // namespace

KORVIX_HOT_LOOP void ScaleSamples8(uint8_t *out, const uint8_t *in, int64_t count, int stride,
                                   float factor) {
    Scale(out, in, count, stride, factor);
}

KORVIX_HOT_LOOP void ScaleSamples16(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                                    float factor) {
    Scale(out, in, count, stride, factor);
}

}  // namespace korvix::imaging::detail
