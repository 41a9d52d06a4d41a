#include "imaging/files/FileConverters.h"

#include <cstring>

#include "imaging/PixelRows.h"

namespace korvix::imaging {
namespace {

using detail::AsConverter;
using detail::ConversionArea;
using detail::ForEachRow;
using detail::MapPixels;

int CopyRows(const ConversionArea &area, void *, void *) {
    return ForEachRow(area, [&](uint8_t *d, const uint8_t *s, int64_t width) {
        std::memcpy(d, s, static_cast<size_t>(width * area.sourceBytes));
    });
}

int SwapRedBlue48(const ConversionArea &area, void *, void *) {
    return MapPixels<uint16_t, uint16_t, 3, 3>(area, [](uint16_t *d, const uint16_t *s) {
        const uint16_t blue = s[0];  // in-place use: read before writing
        d[0] = s[2];
        d[1] = s[1];
        d[2] = blue;
    });
}

template <bool SwapRB>
int OpaqueRgb64(const ConversionArea &area, void *, void *) {
    return MapPixels<uint16_t, uint16_t, 4, 4>(area, [](uint16_t *d, const uint16_t *s) {
        const uint16_t blue = s[0];
        d[0] = SwapRB ? s[2] : blue;
        d[1] = s[1];
        d[2] = SwapRB ? blue : s[2];
        d[3] = 0xFFFF;
    });
}

}  // namespace

const PixelConverter CopyPixelRows = AsConverter<CopyRows>;
const PixelConverter Rgb48SwapRB = AsConverter<SwapRedBlue48>;
const PixelConverter Rgb64Opaque = AsConverter<OpaqueRgb64<false>>;
const PixelConverter Rgb64SwapRBOpaque = AsConverter<OpaqueRgb64<true>>;

}  // namespace korvix::imaging
