#include "session/pipeline/SoftwareMirror.h"

#include <algorithm>
#include <cstdint>

namespace korvix::pipeline {

namespace {

template <typename Sample>
Sample *Row(imaging::FrameImage &image, int64_t row) {
    return reinterpret_cast<Sample *>(image.Bits() + row * image.Pitch());
}

// Exchanges row a with row b, each read backwards against the other (a == b reverses
// one row in place).
template <typename Sample>
void SwapReversed(Sample *a, Sample *b, int64_t width) {
    if (a == b) {
        std::reverse(a, a + width);
        return;
    }
    for (int64_t j = 0; j < width; ++j) std::swap(a[j], b[width - 1 - j]);
}

template <typename Sample>
void Mirror(imaging::FrameImage &image, bool horizontal, bool vertical) {
    const int64_t width = image.Width();
    const int64_t height = image.Height();
    const int64_t rowBytes = width * static_cast<int64_t>(sizeof(Sample));
    if (vertical) {
        for (int64_t top = 0, bottom = height - 1; top <= bottom; ++top, --bottom) {
            Sample *upper = Row<Sample>(image, top);
            Sample *lower = Row<Sample>(image, bottom);
            if (horizontal) {
                SwapReversed(upper, lower, width);
            } else if (top != bottom) {
                std::swap_ranges(reinterpret_cast<uint8_t *>(upper),
                                 reinterpret_cast<uint8_t *>(upper) + rowBytes,
                                 reinterpret_cast<uint8_t *>(lower));
            }
        }
    } else if (horizontal) {
        for (int64_t row = 0; row < height; ++row) {
            Sample *samples = Row<Sample>(image, row);
            std::reverse(samples, samples + width);
        }
    }
}

}  // namespace

void MirrorInPlace(imaging::FrameImage &image, bool horizontal, bool vertical) {
    if (image.IsEmpty() || (!horizontal && !vertical)) return;
    if (image.BitCount() == 8) {
        Mirror<uint8_t>(image, horizontal, vertical);
    } else if (image.BitCount() == 16) {
        Mirror<uint16_t>(image, horizontal, vertical);
    }
}

}  // namespace korvix::pipeline
