// The brightness kernels for AVX2: the single-precision product of Brightness.h on 256-bit
// vectors, 32 samples per step for 8-bit samples and 16 for 16-bit ones (there is no byte
// permute over a 256-entry table here, so 8-bit samples are widened and multiplied too).

#include <cstring>

#include "imaging/Brightness.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVIX_BRIGHTNESS_AVX2 1
#endif

namespace korvix::imaging::detail {

#ifdef KORVIX_BRIGHTNESS_AVX2
#define KORVIX_AVX2 __attribute__((target("avx2")))

namespace {

KORVIX_AVX2 inline __attribute__((always_inline)) __m256i Truncated(__m256i x, __m256 factor) {
    return _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(x), factor));
}

// Thirty-two 8-bit samples, eight at a time widened to 32 bits; the products (at most
// 255 x 11) pack to words without loss and to bytes with the limit, and a dword permute
// undoes the packs' lane order.
KORVIX_AVX2 inline __attribute__((always_inline)) __m256i Scale8(__m256i x, __m256 factor) {
    const __m128i low = _mm256_castsi256_si128(x);
    const __m128i high = _mm256_extracti128_si256(x, 1);
    const __m256i words0 = _mm256_packs_epi32(
        Truncated(_mm256_cvtepu8_epi32(low), factor),
        Truncated(_mm256_cvtepu8_epi32(_mm_srli_si128(low, 8)), factor));
    const __m256i words1 = _mm256_packs_epi32(
        Truncated(_mm256_cvtepu8_epi32(high), factor),
        Truncated(_mm256_cvtepu8_epi32(_mm_srli_si128(high, 8)), factor));
    return _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words0, words1),
                                       _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

// Sixteen 16-bit samples: widened in two halves and packed back with saturation to
// 0..65535 (the pack undoes the unpacks' lane order).
KORVIX_AVX2 inline __attribute__((always_inline)) __m256i Scale16(__m256i x, __m256 factor) {
    const __m256i zero = _mm256_setzero_si256();
    return _mm256_packus_epi32(Truncated(_mm256_unpacklo_epi16(x, zero), factor),
                               Truncated(_mm256_unpackhi_epi16(x, zero), factor));
}

// Whole steps of 32 bytes (a multiple of 4 samples, so with a stride of 4 the fourth sample
// of each pixel sits at the same lanes of every step and is blended back from the
// destination); the last part step goes through a buffer on the stack.
template <typename Sample>
KORVIX_AVX2 inline __attribute__((always_inline)) __m256i Scale(__m256i x, __m256 factor) {
    if constexpr (sizeof(Sample) == 1) return Scale8(x, factor);
    return Scale16(x, factor);
}

template <typename Sample>
KORVIX_AVX2 void ScaleRun(Sample *out, const Sample *in, int64_t count, int stride, float factor,
                          __m256i fourthLanes) {
    constexpr int64_t kPerStep = 32 / sizeof(Sample);
    const __m256 f = _mm256_set1_ps(factor);
    int64_t k = 0;
    for (; k + kPerStep <= count; k += kPerStep) {
        __m256i result =
            Scale<Sample>(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(in + k)), f);
        auto *target = reinterpret_cast<__m256i *>(out + k);
        if (stride == 4) result = _mm256_blendv_epi8(result, _mm256_loadu_si256(target), fourthLanes);
        _mm256_storeu_si256(target, result);
    }
    const int64_t rest = count - k;
    if (rest > 0) {
        alignas(32) Sample buffer[kPerStep] = {};
        std::memcpy(buffer, in + k, static_cast<size_t>(rest) * sizeof(Sample));
        const __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i *>(buffer));
        _mm256_store_si256(reinterpret_cast<__m256i *>(buffer), Scale<Sample>(x, f));
        for (int64_t i = 0; i < rest; ++i) {
            if (stride != 4 || (i & 3) != 3) out[k + i] = buffer[i];
        }
    }
}

KORVIX_AVX2 void BrightnessSamples8(uint8_t *out, const uint8_t *in, int64_t count, int stride,
                                    const BrightnessScale8 &scale) {
    ScaleRun(out, in, count, stride, scale.factor,
             _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u)));
}

KORVIX_AVX2 void BrightnessSamples16(uint16_t *out, const uint16_t *in, int64_t count, int stride,
                                     float factor) {
    ScaleRun(out, in, count, stride, factor,
             _mm256_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000u)));
}

}  // namespace

BrightnessKernels BrightnessKernelsAvx2() {
    if (!__builtin_cpu_supports("avx2")) return {};
    return {BrightnessSamples8, BrightnessSamples16};
}
#undef KORVIX_AVX2
#else
BrightnessKernels BrightnessKernelsAvx2() {
    return {};
}
#endif

}  // namespace korvix::imaging::detail
