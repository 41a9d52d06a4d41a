#include "imaging/SampleRuns.h"

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVIX_STRETCH_AVX512 1
#endif

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

namespace {

int32_t StretchSample(int32_t sample, int32_t offset, double slope) {
    return std::clamp(static_cast<int32_t>(slope * (sample - offset)), 0, 65535);
}

}  // namespace

#ifdef KORVIX_STRETCH_AVX512
// GCC 12 takes the "undefined" start values inside its AVX-512 conversion intrinsics for
// uninitialised reads.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define KORVIX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq")))

bool HasStretchKernel() {
    static const bool kSupported =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
    return kSupported;
}

// Sixteen samples widened to int32, offset, converted to double (exact), multiplied,
// truncated back to int32 and limited, exactly as StretchSample.
KORVIX_AVX512 inline __m512i StretchLanes(const uint16_t *in, __m512i offsets, __m512d slopes) {
    const __m512i samples =
        _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(in)));
    const __m512i shifted = _mm512_sub_epi32(samples, offsets);
    const __m512d low = _mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(shifted)), slopes);
    const __m512d high =
        _mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(shifted, 1)), slopes);
    const __m512i stretched = _mm512_inserti64x4(
        _mm512_castsi256_si512(_mm512_cvttpd_epi32(low)), _mm512_cvttpd_epi32(high), 1);
    return _mm512_min_epi32(_mm512_max_epi32(stretched, _mm512_setzero_si512()),
                            _mm512_set1_epi32(65535));
}

// Thirty-two samples per step, narrowed with one saturating pack (the values are already
// in range) and a qword permutation that undoes the pack's lane interleaving; a narrowing
// store straight to memory is slow on some processors. With stride 4 the fourth sample of
// each pixel is masked out of the store.
KORVIX_AVX512 void StretchSamples16(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                                    int32_t offset, double slope) {
    const __m512i offsets = _mm512_set1_epi32(offset);
    const __m512d slopes = _mm512_set1_pd(slope);
    const __m512i order = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
    const __mmask32 written = stride == 4 ? 0x77777777u : 0xFFFFFFFFu;
    int64_t k = 0;
    for (; k + 32 <= count; k += 32) {
        const __m512i packed = _mm512_packus_epi32(StretchLanes(in + k, offsets, slopes),
                                                   StretchLanes(in + k + 16, offsets, slopes));
        _mm512_mask_storeu_epi16(out + k, written, _mm512_permutexvar_epi64(order, packed));
    }
    for (; k < count; ++k) {
        if (stride == 4 && (k & 3) == 3) continue;
        out[k] = static_cast<uint16_t>(StretchSample(in[k], offset, slope));
    }
}
#undef KORVIX_AVX512
#pragma GCC diagnostic pop
#else
bool HasStretchKernel() { return false; }

void StretchSamples16(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                      int32_t offset, double slope) {
    for (int64_t k = 0; k < count; ++k) {
        if (stride == 4 && (k & 3) == 3) continue;
        out[k] = static_cast<uint16_t>(StretchSample(in[k], offset, slope));
    }
}
#endif

}  // namespace korvix::imaging::detail
