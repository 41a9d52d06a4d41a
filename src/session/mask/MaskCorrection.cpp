#include "session/mask/MaskCorrection.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/HotLoops.h"

namespace korvix::mask {

namespace {

template <typename T>
T *RowOf(imaging::FrameImage &image, int64_t y) {
    return reinterpret_cast<T *>(image.Bits() + y * image.Pitch());
}

template <typename T>
const T *RowOf(const imaging::FrameImage &image, int64_t y) {
    return reinterpret_cast<const T *>(image.Bits() + y * image.Pitch());
}

// True when every frame pixel's sensor position lies inside `sensorImage` and the two
// images have the same bit count (8 or 16).
bool WindowFits(const imaging::FrameImage &frame, const imaging::FrameImage &sensorImage,
                SensorWindow window) {
    if (frame.IsEmpty() || sensorImage.IsEmpty()) return false;
    if (frame.BitCount() != sensorImage.BitCount()) return false;
    if (frame.BitCount() != 8 && frame.BitCount() != 16) return false;
    if (window.step < 1 || window.startX < 0 || window.startY < 0) return false;
    const int64_t lastX = window.startX + int64_t{frame.Width() - 1} * window.step;
    const int64_t lastY = window.startY + int64_t{frame.Height() - 1} * window.step;
    return lastX < sensorImage.Width() && lastY < sensorImage.Height();
}

template <typename T>
void BuildMap(const imaging::FrameImage &reference, imaging::FrameImage &map, DefectMapKind kind) {
    constexpr bool kWide = sizeof(T) == 2;
    const int limit =
        kind == kHotMap ? (kWide ? kHotLimit16 : kHotLimit8) : (kWide ? kDeadLimit16 : kDeadLimit8);
    const int32_t width = reference.Width();
    const int32_t height = reference.Height();
    for (int32_t y = 0; y < height; ++y) {
        const T *in = RowOf<T>(reference, y);
        T *out = RowOf<T>(map, y);
        const bool inner = y >= 2 && y < height - 2;
        for (int32_t x = 0; x < width; ++x) {
            const bool marked = kind == kHotMap ? in[x] > limit : in[x] < limit;
            out[x] = inner && x >= 2 && x < width - 2 && marked ? 1 : 0;
        }
    }
}

// floor(n / c) for 0 <= n < 2^28 with n a multiple of 256 or 4096 and 0 < c < 65536: the
// single-precision quotient is within one of it (both operands are exact floats), and the
// exact remainder corrects it by that step. Unlike an integer division per pixel, this
// vectorises.
inline int32_t FloorQuotient(int32_t n, int32_t c) {
    int32_t q = static_cast<int32_t>(static_cast<float>(n) / static_cast<float>(c));
    const int32_t r = n - q * c;
    return q + (r >> 31) - ((c - 1 - r) >> 31);
}

// One row of the 8-bit rescale: where the references differ, (p - d) x 256 / (b - d) in
// signed arithmetic (truncated toward zero), limited to 0..255. A positive result needs
// (p - d) and (b - d) of one sign and is then the floor of the magnitudes' quotient; the
// selections are bit masks so that the loop has no branch. The references are read every
// `step`-th sensor pixel; kStep 1 (the full read-out) is compiled apart for whole vectors.
template <int32_t kStep>
KORVIX_HOT_LOOP void RescaleRow(uint8_t *__restrict pixel, const uint8_t *__restrict dark,
                                const uint8_t *__restrict bright, int32_t width, int32_t step) {
    if constexpr (kStep != 0) step = kStep;
    for (int32_t x = 0; x < width; ++x) {
        const int32_t p = pixel[x];
        const int32_t above = p - dark[x * step];
        const int32_t range = bright[x * step] - dark[x * step];
        const int32_t magnitude = range < 0 ? -range : range;
        int32_t value = FloorQuotient((above < 0 ? -above : above) * 256, magnitude | (range == 0));
        value = value < 255 ? value : 255;
        value &= ~((above ^ range) >> 31);            // opposite signs: a negative quotient, 0
        const int32_t used = (range | -range) >> 31;  // all ones where the references differ
        pixel[x] = static_cast<uint8_t>((value & used) | (p & ~used));
    }
}

// One row of the 16-bit rescale: where dark < bright, (p - d) x 4096 / (b - d) limited to
// 0..4095 and shifted left by 4; p - d is limited to 0..b - d first, which limits the
// quotient the same way and keeps the product within 28 bits.
template <int32_t kStep>
KORVIX_HOT_LOOP void RescaleRow(uint16_t *__restrict pixel, const uint16_t *__restrict dark,
                                const uint16_t *__restrict bright, int32_t width, int32_t step) {
    if constexpr (kStep != 0) step = kStep;
    for (int32_t x = 0; x < width; ++x) {
        const int32_t p = pixel[x];
        const int32_t range = bright[x * step] - dark[x * step];
        const int32_t divisor = range > 1 ? range : 1;
        int32_t above = p - dark[x * step];
        above = above > 0 ? above : 0;
        above = above < divisor ? above : divisor;
        int32_t value = FloorQuotient(above * 4096, divisor);
        value = value < 4095 ? value : 4095;
        const int32_t used = (-range) >> 31;  // all ones where dark < bright
        pixel[x] = static_cast<uint16_t>(((value << kMaskRangeShift16) & used) | (p & ~used));
    }
}

template <typename T>
void Rescale(imaging::FrameImage &frame, const imaging::FrameImage &dark,
             const imaging::FrameImage &bright, SensorWindow window) {
    const int32_t width = frame.Width();
    const int32_t height = frame.Height();
    const int32_t step = window.step;
    using Row = void (*)(T *, const T *, const T *, int32_t, int32_t);
    const Row rescale = step == 1 ? Row{RescaleRow<1>} : Row{RescaleRow<0>};
    for (int32_t y = 0; y < height; ++y) {
        const int64_t sensorY = window.startY + int64_t{y} * step;
        rescale(RowOf<T>(frame, y), RowOf<T>(dark, sensorY) + window.startX,
                RowOf<T>(bright, sensorY) + window.startX, width, step);
    }
}

// Marks one row: mapped defects (maps read every `step`-th sensor pixel) and outliers.
// kStep 1 is the full read-out, compiled apart so that the loop runs on whole vectors.
template <typename T, int32_t kStep>
void MarkRow(T *__restrict work, const T *__restrict above, const T *__restrict pixel,
             const T *__restrict below, const T *__restrict hot, const T *__restrict dead,
             int32_t from, int32_t to, int32_t step, int threshold) {
    if constexpr (kStep != 0) step = kStep;
    for (int32_t x = from; x < to; ++x) {
        const int mean = (pixel[x - 1] + pixel[x + 1] + above[x] + below[x]) >> 2;
        const int difference = pixel[x] - mean;
        // Bitwise, not short-circuit: the whole row is one branch-free vector loop.
        const int marked = (difference >= threshold) | (-difference >= threshold) |
                           (hot[x * step] != 0) | (dead[x * step] != 0);
        work[x] = static_cast<T>(marked);
    }
}

// Marks outliers and mapped defects of the frame in the work map (frame coordinates),
// clearing everything else in the frame's area.
template <typename T>
void MarkDefects(const imaging::FrameImage &frame, const imaging::FrameImage &hotMap,
                 const imaging::FrameImage &deadMap, imaging::FrameImage &workMap,
                 SensorWindow window, int threshold) {
    constexpr int32_t kMargin = 4;
    const int32_t width = frame.Width();
    const int32_t height = frame.Height();
    const int32_t step = window.step;
    for (int32_t y = 0; y < height; ++y) {
        T *work = RowOf<T>(workMap, y);
        if (y < kMargin || y >= height - kMargin || width <= 2 * kMargin) {
            std::memset(work, 0, sizeof(T) * static_cast<size_t>(width));
            continue;
        }
        const int64_t sensorY = window.startY + int64_t{y} * step;
        const T *hot = RowOf<T>(hotMap, sensorY) + window.startX;
        const T *dead = RowOf<T>(deadMap, sensorY) + window.startX;
        std::fill(work, work + kMargin, T{0});
        std::fill(work + width - kMargin, work + width, T{0});
        const auto mark = step == 1 ? MarkRow<T, 1> : MarkRow<T, 0>;
        mark(work, RowOf<T>(frame, y - 1), RowOf<T>(frame, y), RowOf<T>(frame, y + 1), hot, dead,
             kMargin, width - kMargin, step, threshold);
    }
}

// Replaces each marked pixel by the mean of the nearest unmarked pixels along its row and
// column. Marked pixels are never read as sources, so the order of repair does not matter.
template <typename T>
void RepairDefects(imaging::FrameImage &frame, const imaging::FrameImage &workMap) {
    const int32_t width = frame.Width();
    const int32_t height = frame.Height();
    const auto marked = [&workMap](int32_t x, int32_t y) { return RowOf<T>(workMap, y)[x] != 0; };
    constexpr int32_t kBlock = sizeof(uint64_t) / sizeof(T);
    for (int32_t y = 0; y < height; ++y) {
        const T *work = RowOf<T>(workMap, y);
        T *pixel = RowOf<T>(frame, y);
        for (int32_t x = 0; x < width; ++x) {
            // Marked pixels are rare: skip whole words of unmarked ones.
            uint64_t block = 1;
            while (x + kBlock <= width &&
                   (std::memcpy(&block, work + x, sizeof block), block == 0)) {
                x += kBlock;
            }
            if (x >= width || work[x] == 0) continue;
            int sum = 0;
            int found = 0;
            for (int32_t i = x - 1; i >= 0; --i) {
                if (work[i] == 0) {
                    sum += pixel[i];
                    ++found;
                    break;
                }
            }
            for (int32_t i = x + 1; i < width; ++i) {
                if (work[i] == 0) {
                    sum += pixel[i];
                    ++found;
                    break;
                }
            }
            for (int32_t i = y - 1; i >= 0; --i) {
                if (!marked(x, i)) {
                    sum += RowOf<T>(frame, i)[x];
                    ++found;
                    break;
                }
            }
            for (int32_t i = y + 1; i < height; ++i) {
                if (!marked(x, i)) {
                    sum += RowOf<T>(frame, i)[x];
                    ++found;
                    break;
                }
            }
            if (found != 0) pixel[x] = static_cast<T>(sum / found);
        }
    }
}

}  // namespace

bool BuildDefectMap(const imaging::FrameImage &reference, imaging::FrameImage &map,
                    DefectMapKind kind) {
    if (reference.IsEmpty() || map.IsEmpty() || reference.Width() != map.Width() ||
        reference.Height() != map.Height() || reference.BitCount() != map.BitCount()) {
        return false;
    }
    if (reference.BitCount() == 8) {
        BuildMap<uint8_t>(reference, map, kind);
    } else if (reference.BitCount() == 16) {
        BuildMap<uint16_t>(reference, map, kind);
    } else {
        return false;
    }
    return true;
}

bool MaskCorrect(imaging::FrameImage &frame, const imaging::FrameImage &dark,
                 const imaging::FrameImage &bright, SensorWindow window) {
    if (!WindowFits(frame, dark, window) || !WindowFits(frame, bright, window)) return false;
    if (frame.BitCount() == 8) {
        Rescale<uint8_t>(frame, dark, bright, window);
    } else {
        Rescale<uint16_t>(frame, dark, bright, window);
    }
    return true;
}

bool DefectCorrect(imaging::FrameImage &frame, const imaging::FrameImage &hotMap,
                   const imaging::FrameImage &deadMap, imaging::FrameImage &workMap,
                   SensorWindow window, int threshold) {
    if (!WindowFits(frame, hotMap, window) || !WindowFits(frame, deadMap, window)) return false;
    if (workMap.BitCount() != frame.BitCount() || workMap.Width() < frame.Width() ||
        workMap.Height() < frame.Height()) {
        return false;
    }
    if (frame.BitCount() == 8) {
        MarkDefects<uint8_t>(frame, hotMap, deadMap, workMap, window, threshold);
        RepairDefects<uint8_t>(frame, workMap);
    } else {
        MarkDefects<uint16_t>(frame, hotMap, deadMap, workMap, window, threshold);
        RepairDefects<uint16_t>(frame, workMap);
    }
    return true;
}

}  // namespace korvix::mask
