#pragma once

// Sample walking shared by the image filters (internal to the imaging library).

#include <cstdint>

#include "imaging/PixelRows.h"

namespace korvix::imaging::detail {

// The pixel sizes in bytes of each filter family: gray (one sample per pixel) or colour
// (three samples used, a fourth left alone).
template <typename Sample, bool Color>
struct FilterFamily;
template <>
struct FilterFamily<uint8_t, false> {
    template <typename Body>
    static bool Dispatch(int bytes, Body body) {
        return WithPixelSize<1>(bytes, body);
    }
};
template <>
struct FilterFamily<uint8_t, true> {
    template <typename Body>
    static bool Dispatch(int bytes, Body body) {
        return WithPixelSize<3, 4>(bytes, body);
    }
};
template <>
struct FilterFamily<uint16_t, false> {
    template <typename Body>
    static bool Dispatch(int bytes, Body body) {
        return WithPixelSize<2>(bytes, body);
    }
};
template <>
struct FilterFamily<uint16_t, true> {
    template <typename Body>
    static bool Dispatch(int bytes, Body body) {
        return WithPixelSize<6, 8>(bytes, body);
    }
};

// Runs body(out, in, count, stride) over each row of the area as flat runs of samples,
// after checking that the pixel size belongs to the family. `in` equals `out` for
// in-place use.
template <typename Sample, bool Color, typename Body>
int ForEachSampleRun(const ConversionArea &area, Body body) {
    if (area.destinationBytes != area.sourceBytes) return 0;
    return FilterFamily<Sample, Color>::Dispatch(area.sourceBytes, [&]<int Bytes>() {
        constexpr int kStride = Bytes / static_cast<int>(sizeof(Sample));
        ForEachRow(area, [&](uint8_t *d, const uint8_t *s, int64_t width) {
            body(reinterpret_cast<Sample *>(d), reinterpret_cast<const Sample *>(s),
                 width * kStride, kStride);
        });
    });
}

}  // namespace korvix::imaging::detail
