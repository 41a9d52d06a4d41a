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

template <int Stride, typename Sample, typename Map>
inline void MapRun(Sample *out, const Sample *in, int64_t count, Map &map) {
    for (int64_t k = 0; k < count; ++k) {
        if constexpr (Stride == 4) {
            out[k] = (k & 3) == 3 ? out[k] : map(in[k]);
        } else {
            out[k] = map(in[k]);
        }
    }
}

// Applies map(sample) -> sample to every used sample of the area. Each row is walked as
// one flat run of samples so the loop vectorises; with four samples per pixel the
// fourth lane keeps the destination's value.
template <typename Sample, bool Color, typename Map>
int MapSamples(const ConversionArea &area, Map map) {
    if (area.destinationBytes != area.sourceBytes) return 0;
    return FilterFamily<Sample, Color>::Dispatch(area.sourceBytes, [&]<int Bytes>() {
        constexpr int kStride = Bytes / static_cast<int>(sizeof(Sample));
        ForEachRow(area, [&](uint8_t *d, const uint8_t *s, int64_t width) {
            auto *out = reinterpret_cast<Sample *>(d);
            const int64_t count = width * kStride;
            if (d == s) {
                // In place: one pointer, so the loop vectorises without an overlap test
                // (which an exact overlap would fail).
                MapRun<kStride>(out, out, count, map);
            } else {
                MapRun<kStride>(out, reinterpret_cast<const Sample *>(s), count, map);
            }
        });
    });
}

}  // namespace korvix::imaging::detail
