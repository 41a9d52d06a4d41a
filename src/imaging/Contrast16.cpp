#include "imaging/Contrast16.h"

#include <cmath>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVIX_CONTRAST_AVX512 1
#endif

namespace korvix::imaging::detail {

namespace {

// Float f stays below the line's value: trunc(f) is the integer quotient or one less.
constexpr double kBelowTheLine = 1.0 / 32;

}  // namespace

ContrastLine16 MakeContrastLine16(int32_t threshold, double slope) {
    ContrastLine16 line;
    const int32_t divisor = 128 - threshold / 256;
    line.divisor = static_cast<uint16_t>(divisor);
    line.slope = static_cast<float>(128.0 / divisor);
    line.stretches = threshold > 0;
    if (line.stretches) {
        line.threshold = static_cast<uint16_t>(threshold);
        line.intercept = static_cast<float>(-kBelowTheLine);
    } else {
        // The sample is used as it is and -t added through the intercept and the remainder.
        line.offsetBits = static_cast<uint16_t>((-threshold * 128) & 0xFFFF);
        line.intercept = static_cast<float>(-threshold * 128.0 / divisor - kBelowTheLine);
    }
    // slope x D - 128 is exact in double (few significant bits), so delta is too.
    const double shortfall = -std::fma(slope, divisor, -128.0) / 128.0;
    if (shortfall > 0) {
        const double lambda = std::ldexp(1.0, -53) / shortfall;
        if (lambda < 2) {
            line.lowersExactQuotients = true;
            line.mantissaLimit = static_cast<int32_t>(std::floor((lambda - 1) * 8388608.0));
        }
    }
    return line;
}

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

// Thirty-two samples. n = x - t (saturated at 0 when the line stretches; x itself, with -t
// in the intercept and offsetBits, when it compresses). The float
// f = n x 128/D + intercept lies within 2^-7 of 128 n / D - 1/32, so trunc(f) is the
// quotient q or q - 1; the remainder 128 n - trunc(f) x D, exact modulo 2^16 because it lies
// in 0 .. 2D - 1, reaches D exactly when it is q - 1, and one is added (saturating: samples
// above 65535 - t already give 65535 or more). At an exact quotient k the float lies just
// below k, so its significand (k's, or nearly 2 for a power of two) decides whether k stays
// one lower, as the double product leaves it.
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

ContrastKernel16 ContrastKernel16ForThisProcessor() {
    static const bool kSupported =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return kSupported ? ContrastSamples16 : nullptr;
}
#undef KORVIX_AVX512
#pragma GCC diagnostic pop
#else
ContrastKernel16 ContrastKernel16ForThisProcessor() {
    return nullptr;
}
#endif

}  // namespace korvix::imaging::detail
