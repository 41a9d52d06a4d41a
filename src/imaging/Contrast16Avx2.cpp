// The 16-bit contrast kernel for AVX2 with FMA, 16 samples per step: the steps of the
// AVX-512 kernel (described in Contrast16.h) on 256-bit vectors.

#include <cstring>

#include "imaging/Contrast16.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVIX_CONTRAST_AVX2 1
#endif

namespace korvix::imaging::detail {

#ifdef KORVIX_CONTRAST_AVX2
#define KORVIX_AVX2 __attribute__((target("avx2,fma")))

namespace {

struct ContrastVectors {
    __m256i threshold, divisor, lastRemainder, offsetBits, zero, one, mantissa, mantissaLimit;
    __m256 slope, intercept;
};

template <bool Stretches, bool LowersExactQuotients>
KORVIX_AVX2 inline __attribute__((always_inline)) __m256i ContrastOf(__m256i x,
                                                                     const ContrastVectors &v) {
    const __m256i n = Stretches ? _mm256_subs_epu16(x, v.threshold) : x;
    const __m256 low =
        _mm256_fmadd_ps(_mm256_cvtepi32_ps(_mm256_unpacklo_epi16(n, v.zero)), v.slope, v.intercept);
    const __m256 high =
        _mm256_fmadd_ps(_mm256_cvtepi32_ps(_mm256_unpackhi_epi16(n, v.zero)), v.slope, v.intercept);
    const __m256i quotient =
        _mm256_packus_epi32(_mm256_cvttps_epi32(low), _mm256_cvttps_epi32(high));
    __m256i scaled = _mm256_slli_epi16(n, 7);
    if constexpr (!Stretches) scaled = _mm256_add_epi16(scaled, v.offsetBits);
    const __m256i remainder = _mm256_sub_epi16(scaled, _mm256_mullo_epi16(quotient, v.divisor));
    __m256i limit = v.lastRemainder;
    if constexpr (LowersExactQuotients) {
        const __m256i lowLowered = _mm256_sub_epi32(
            v.mantissaLimit, _mm256_and_si256(_mm256_castps_si256(low), v.mantissa));
        const __m256i highLowered = _mm256_sub_epi32(
            v.mantissaLimit, _mm256_and_si256(_mm256_castps_si256(high), v.mantissa));
        limit = _mm256_add_epi16(
            limit, _mm256_srli_epi16(_mm256_packs_epi32(lowLowered, highLowered), 15));
    }
    const __m256i add = _mm256_and_si256(_mm256_cmpgt_epi16(remainder, limit), v.one);
    return _mm256_adds_epu16(quotient, add);
}

// Whole steps of 16 samples (a multiple of 4, so with a stride of 4 the fourth sample of
// each pixel is the last word of each 4-word group and is blended back from the
// destination); the last part step goes through a buffer on the stack.
template <bool Stretches, bool LowersExactQuotients>
KORVIX_AVX2 void ContrastRun(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                             const ContrastLine16 &line) {
    const ContrastVectors v{_mm256_set1_epi16(static_cast<int16_t>(line.threshold)),
                            _mm256_set1_epi16(static_cast<int16_t>(line.divisor)),
                            _mm256_set1_epi16(static_cast<int16_t>(line.divisor - 1)),
                            _mm256_set1_epi16(static_cast<int16_t>(line.offsetBits)),
                            _mm256_setzero_si256(),
                            _mm256_set1_epi16(1),
                            _mm256_set1_epi32(0x7FFFFF),
                            _mm256_set1_epi32(line.mantissaLimit),
                            _mm256_set1_ps(line.slope),
                            _mm256_set1_ps(line.intercept)};
    constexpr int kFirstThreeOfFour = 0x77;
    int64_t k = 0;
    for (; k + 16 <= count; k += 16) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in + k));
        __m256i result = ContrastOf<Stretches, LowersExactQuotients>(x, v);
        auto *target = reinterpret_cast<__m256i *>(out + k);
        if (stride == 4) {
            result = _mm256_blend_epi16(_mm256_loadu_si256(target), result, kFirstThreeOfFour);
        }
        _mm256_storeu_si256(target, result);
    }
    const int64_t rest = count - k;
    if (rest > 0) {
        alignas(32) uint16_t buffer[16] = {};
        std::memcpy(buffer, in + k, static_cast<size_t>(rest) * 2);
        const __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i *>(buffer));
        _mm256_store_si256(reinterpret_cast<__m256i *>(buffer),
                           ContrastOf<Stretches, LowersExactQuotients>(x, v));
        for (int64_t i = 0; i < rest; ++i) {
            if (stride != 4 || (i & 3) != 3) out[k + i] = buffer[i];
        }
    }
}

KORVIX_AVX2 void ContrastSamples16(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                                   const ContrastLine16 &line) {
    if (line.stretches) {
        if (line.lowersExactQuotients) return ContrastRun<true, true>(out, in, count, stride, line);
        return ContrastRun<true, false>(out, in, count, stride, line);
    }
    if (line.lowersExactQuotients) return ContrastRun<false, true>(out, in, count, stride, line);
    ContrastRun<false, false>(out, in, count, stride, line);
}

}  // namespace

ContrastKernel16 ContrastKernel16Avx2() {
    const bool supported = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return supported ? ContrastSamples16 : nullptr;
}
#undef KORVIX_AVX2
#else
ContrastKernel16 ContrastKernel16Avx2() {
    return nullptr;
}
#endif

}  // namespace korvix::imaging::detail
