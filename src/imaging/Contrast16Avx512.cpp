// The 16-bit contrast kernel for AVX-512 with byte and word operations, 32 samples per step
// (the method is described in Contrast16.h).

#include "imaging/Contrast16.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVIX_CONTRAST_AVX512 1
#endif

namespace korvix::imaging::detail {

#ifdef KORVIX_CONTRAST_AVX512
// GCC 12 takes the "undefined" start values inside its AVX-512 conversion intrinsics for
// uninitialised reads.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define KORVIX_AVX512 __attribute__((target("avx512f,avx512bw")))

namespace {

struct ContrastVectors {
    __m512i threshold, divisor, lastRemainder, offsetBits, zero, one, mantissa, mantissaLimit;
    __m512 slope, intercept;
};

// Thirty-two samples through the steps described in Contrast16.h.
template <bool Stretches, bool LowersExactQuotients>
KORVIX_AVX512 inline __attribute__((always_inline)) __m512i ContrastOf(__m512i x,
                                                                       const ContrastVectors &v) {
    const __m512i n = Stretches ? _mm512_subs_epu16(x, v.threshold) : x;
    const __m512 low =
        _mm512_fmadd_ps(_mm512_cvtepi32_ps(_mm512_unpacklo_epi16(n, v.zero)), v.slope, v.intercept);
    const __m512 high =
        _mm512_fmadd_ps(_mm512_cvtepi32_ps(_mm512_unpackhi_epi16(n, v.zero)), v.slope, v.intercept);
    // The pack undoes the unpacks' lane order and limits to 0..65535.
    const __m512i quotient =
        _mm512_packus_epi32(_mm512_cvttps_epi32(low), _mm512_cvttps_epi32(high));
    __m512i scaled = _mm512_slli_epi16(n, 7);
    if constexpr (!Stretches) scaled = _mm512_add_epi16(scaled, v.offsetBits);
    const __m512i remainder = _mm512_sub_epi16(scaled, _mm512_mullo_epi16(quotient, v.divisor));
    __m512i limit = v.lastRemainder;
    if constexpr (LowersExactQuotients) {
        // mantissaLimit - significand is negative where the quotient stays lower; the
        // saturating pack keeps the sign and the shift turns it into 1.
        const __m512i lowLowered = _mm512_sub_epi32(
            v.mantissaLimit, _mm512_and_si512(_mm512_castps_si512(low), v.mantissa));
        const __m512i highLowered = _mm512_sub_epi32(
            v.mantissaLimit, _mm512_and_si512(_mm512_castps_si512(high), v.mantissa));
        limit = _mm512_add_epi16(
            limit, _mm512_srli_epi16(_mm512_packs_epi32(lowLowered, highLowered), 15));
    }
    return _mm512_mask_adds_epu16(quotient, _mm512_cmpgt_epi16_mask(remainder, limit), quotient,
                                  v.one);
}

// Whole steps load and store plainly (a masked load or store in the loop costs about as much
// as the arithmetic); with a stride of 4 the store leaves every fourth lane, a sample at a
// multiple of 4 since steps are 32 samples. The last part step loads and stores only its
// samples.
template <bool Stretches, bool LowersExactQuotients>
KORVIX_AVX512 void ContrastRun(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                               const ContrastLine16 &line) {
    const ContrastVectors v{_mm512_set1_epi16(static_cast<int16_t>(line.threshold)),
                            _mm512_set1_epi16(static_cast<int16_t>(line.divisor)),
                            _mm512_set1_epi16(static_cast<int16_t>(line.divisor - 1)),
                            _mm512_set1_epi16(static_cast<int16_t>(line.offsetBits)),
                            _mm512_setzero_si512(),
                            _mm512_set1_epi16(1),
                            _mm512_set1_epi32(0x7FFFFF),
                            _mm512_set1_epi32(line.mantissaLimit),
                            _mm512_set1_ps(line.slope),
                            _mm512_set1_ps(line.intercept)};
    constexpr __mmask32 kFirstThreeOfFour = 0x77777777u;
    int64_t k = 0;
    if (stride == 4) {
        for (; k + 32 <= count; k += 32) {
            _mm512_mask_storeu_epi16(
                out + k, kFirstThreeOfFour,
                ContrastOf<Stretches, LowersExactQuotients>(_mm512_loadu_si512(in + k), v));
        }
    } else {
        for (; k + 32 <= count; k += 32) {
            _mm512_storeu_si512(out + k, ContrastOf<Stretches, LowersExactQuotients>(
                                             _mm512_loadu_si512(in + k), v));
        }
    }
    if (k < count) {
        auto part = static_cast<__mmask32>((uint64_t{1} << (count - k)) - 1);
        const __m512i x = _mm512_maskz_loadu_epi16(part, in + k);
        if (stride == 4) part &= kFirstThreeOfFour;
        _mm512_mask_storeu_epi16(out + k, part, ContrastOf<Stretches, LowersExactQuotients>(x, v));
    }
}

KORVIX_AVX512 void ContrastSamples16(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                                     const ContrastLine16 &line) {
    if (line.stretches) {
        if (line.lowersExactQuotients) return ContrastRun<true, true>(out, in, count, stride, line);
        return ContrastRun<true, false>(out, in, count, stride, line);
    }
    if (line.lowersExactQuotients) return ContrastRun<false, true>(out, in, count, stride, line);
    ContrastRun<false, false>(out, in, count, stride, line);
}

}  // namespace

ContrastKernel16 ContrastKernel16Avx512() {
    const bool supported = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return supported ? ContrastSamples16 : nullptr;
}
#undef KORVIX_AVX512
#pragma GCC diagnostic pop
#else
ContrastKernel16 ContrastKernel16Avx512() {
    return nullptr;
}
#endif

}  // namespace korvix::imaging::detail
