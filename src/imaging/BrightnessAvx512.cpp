// The brightness kernels for AVX-512 (the method is described in Brightness.h).

#include "imaging/Brightness.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVIX_BRIGHTNESS_AVX512 1
#endif

namespace korvix::imaging::detail {

#ifdef KORVIX_BRIGHTNESS_AVX512
// GCC 12 takes the "undefined" start values inside its AVX-512 conversion intrinsics for
// uninitialised reads.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define KORVIX_AVX512 __attribute__((target("avx512f,avx512bw")))
#define KORVIX_AVX512_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

// Sixty-four 8-bit samples looked up in the four 64-byte quarters of the table: one
// two-register permute per half of the table (indexed by the low seven bits), the sample's
// top bit choosing between them.
struct Table8Vectors {
    __m512i quarter0, quarter1, quarter2, quarter3;
};

KORVIX_AVX512_VBMI inline __attribute__((always_inline)) __m512i LookUp8(__m512i x,
                                                                          const Table8Vectors &t) {
    const __m512i low = _mm512_permutex2var_epi8(t.quarter0, x, t.quarter1);
    const __m512i high = _mm512_permutex2var_epi8(t.quarter2, x, t.quarter3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

// Whole steps of 64 samples (a multiple of 4, so with a stride of 4 the fourth sample of
// each pixel sits at the same lanes of every step); the last part step loads and stores
// only its samples.
KORVIX_AVX512_VBMI void BrightnessSamples8(uint8_t *out, const uint8_t *in, int64_t count,
                                           int stride, const BrightnessScale8 &scale) {
    const uint8_t *table = scale.table.data();
    const Table8Vectors t{_mm512_load_si512(table), _mm512_load_si512(table + 64),
                          _mm512_load_si512(table + 128), _mm512_load_si512(table + 192)};
    constexpr __mmask64 kFirstThreeOfFour = 0x7777777777777777u;
    int64_t k = 0;
    if (stride == 4) {
        for (; k + 64 <= count; k += 64) {
            _mm512_mask_storeu_epi8(out + k, kFirstThreeOfFour,
                                    LookUp8(_mm512_loadu_si512(in + k), t));
        }
    } else {
        for (; k + 64 <= count; k += 64) {
            _mm512_storeu_si512(out + k, LookUp8(_mm512_loadu_si512(in + k), t));
        }
    }
    if (k < count) {
        auto part = static_cast<__mmask64>((uint64_t{2} << (count - k - 1)) - 1);
        const __m512i x = _mm512_maskz_loadu_epi8(part, in + k);
        if (stride == 4) part &= kFirstThreeOfFour;
        _mm512_mask_storeu_epi8(out + k, part, LookUp8(x, t));
    }
}

// Thirty-two 16-bit samples: widened to 32 bits in two halves, converted, multiplied,
// truncated and packed back with saturation to 0..65535 (the pack undoes the unpacks'
// lane order).
KORVIX_AVX512 inline __attribute__((always_inline)) __m512i Scale16(__m512i x, __m512 factor) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512 low = _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_unpacklo_epi16(x, zero)), factor);
    const __m512 high = _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_unpackhi_epi16(x, zero)), factor);
    return _mm512_packus_epi32(_mm512_cvttps_epi32(low), _mm512_cvttps_epi32(high));
}

KORVIX_AVX512 void BrightnessSamples16(uint16_t *out, const uint16_t *in, int64_t count,
                                       int stride, float factor) {
    const __m512 f = _mm512_set1_ps(factor);
    constexpr __mmask32 kFirstThreeOfFour = 0x77777777u;
    int64_t k = 0;
    if (stride == 4) {
        for (; k + 32 <= count; k += 32) {
            _mm512_mask_storeu_epi16(out + k, kFirstThreeOfFour,
                                     Scale16(_mm512_loadu_si512(in + k), f));
        }
    } else {
        for (; k + 32 <= count; k += 32) {
            _mm512_storeu_si512(out + k, Scale16(_mm512_loadu_si512(in + k), f));
        }
    }
    if (k < count) {
        auto part = static_cast<__mmask32>((uint64_t{1} << (count - k)) - 1);
        const __m512i x = _mm512_maskz_loadu_epi16(part, in + k);
        if (stride == 4) part &= kFirstThreeOfFour;
        _mm512_mask_storeu_epi16(out + k, part, Scale16(x, f));
    }
}

}  // namespace

BrightnessKernels BrightnessKernelsAvx512() {
    const bool words = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    const bool permutes = words && __builtin_cpu_supports("avx512vbmi");
    return {permutes ? BrightnessSamples8 : nullptr, words ? BrightnessSamples16 : nullptr};
}
#undef KORVIX_AVX512
#undef KORVIX_AVX512_VBMI
#pragma GCC diagnostic pop
#else
BrightnessKernels BrightnessKernelsAvx512() {
    return {};
}
#endif

}  // namespace korvix::imaging::detail
