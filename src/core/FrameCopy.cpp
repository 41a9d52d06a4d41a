#include "core/FrameCopy.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVIX_FRAME_COPY_AVX2
#endif

namespace korvix::core {
namespace {

// Reverses a row of 8-bit pixels eight at a time: a byte swap of each 64-bit word taken
// from the row's end.
void CopyRowMirrored8(const uint8_t *source, uint8_t *destination, uint32_t width) {
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        uint64_t word;
        std::memcpy(&word, source + width - x - 8, sizeof word);
        word = __builtin_bswap64(word);
        std::memcpy(destination + x, &word, sizeof word);
    }
    for (; x < width; ++x) destination[x] = source[width - 1 - x];
}

template <typename Pixel>
void CopyRowMirrored(const uint8_t *source, uint8_t *destination, uint32_t width) {
    const uint8_t *from = source + static_cast<size_t>(width) * sizeof(Pixel);
    for (uint32_t x = 0; x < width; ++x) {
        from -= sizeof(Pixel);
        std::memcpy(destination + static_cast<size_t>(x) * sizeof(Pixel), from, sizeof(Pixel));
    }
}

#ifdef KORVIX_FRAME_COPY_AVX2
// Reverses a row 32 bytes per step, taken from the row's end: a byte shuffle reverses the
// pixels within each 16-byte lane (bytes, or byte pairs for 2-byte pixels), swapping the two
// lanes completes the step. Returns the bytes of destination written; the rest (under 32
// bytes) is left to the plain loops.
__attribute__((target("avx2"))) size_t CopyRowMirroredAvx2(const uint8_t *source,
                                                           uint8_t *destination,
                                                           size_t rowBytes,
                                                           uint32_t bytesPerPixel) {
    const __m256i reverse =
        bytesPerPixel == 2
            ? _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 14, 15, 12,
                               13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1)
            : _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13,
                               12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    size_t done = 0;
    for (; done + 32 <= rowBytes; done += 32) {
        __m256i block =
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(source + rowBytes - done - 32));
        block = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(block, reverse), 0x4E);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(destination + done), block);
    }
    return done;
}

bool HasAvx2() {
    static const bool kHasAvx2 = __builtin_cpu_supports("avx2");
    return kHasAvx2;
}
#endif

// Copies a row with its pixels in reverse order. The vector kernel, where the processor has
// it, takes the bulk; the plain loops mirror what remains: the source's first bytes into the
// destination's last.
void CopyRowMirroredAny(const uint8_t *source, uint8_t *destination, uint32_t width,
                        uint32_t bytesPerPixel) {
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
    size_t done = 0;
#ifdef KORVIX_FRAME_COPY_AVX2
    if (HasAvx2()) done = CopyRowMirroredAvx2(source, destination, rowBytes, bytesPerPixel);
#endif
    const uint32_t rest = static_cast<uint32_t>((rowBytes - done) / bytesPerPixel);
    if (bytesPerPixel == 2) {
        CopyRowMirrored<uint16_t>(source, destination + done, rest);
    } else {
        CopyRowMirrored8(source, destination + done, rest);
    }
}

}  // namespace

CopyOrientation OrientationFor(int sensorOrientation, int orientationFlag) {
    CopyOrientation orientation;
    orientation.mirror = sensorOrientation == 2 || sensorOrientation == 4;
    bool topDownSensor = sensorOrientation != 3 && sensorOrientation != 4;
    bool rowsKept = (orientationFlag != 0) == topDownSensor;
    orientation.reverseRows = !rowsKept;
    return orientation;
}

void CopyOrientedFrame(const uint8_t *source, uint8_t *destination, uint32_t width, uint32_t height,
                       uint32_t bytesPerPixel, CopyOrientation orientation) {
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
    if (!orientation.mirror && !orientation.reverseRows) {
        std::memcpy(destination, source, rowBytes * height);
        return;
    }
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t *from = source + rowBytes * row;
        uint32_t targetRow = orientation.reverseRows ? height - 1 - row : row;
        uint8_t *to = destination + rowBytes * targetRow;
        if (!orientation.mirror) {
            std::memcpy(to, from, rowBytes);
        } else {
            CopyRowMirroredAny(from, to, width, bytesPerPixel);
        }
    }
}

}  // namespace korvix::core
