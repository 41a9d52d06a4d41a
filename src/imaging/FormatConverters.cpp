#include "imaging/FormatConverters.h"

#include <algorithm>
#include <cstring>

#include "imaging/PixelRows.h"

namespace korvix::imaging {

namespace {

using detail::AsConverter;
using detail::ConversionArea;
using detail::MapPixels;
using detail::WithPixelSize;

template <int BytesPerPixel>
int RepackRows(const ConversionArea &area, void *, void *) {
    const int64_t packedPitch = area.Width() * BytesPerPixel;
    for (int64_t row = area.Height() - 1; row >= 0; --row) {
        // Rows move towards higher addresses; memmove copies a row from its end when it
        // overlaps itself, and rows below it have not been read yet.
        std::memmove(area.DestinationRow(row), area.source + row * packedPitch,
                     static_cast<size_t>(packedPitch));
    }
    return 1;
}

int FlipCopyWholeRows(const ConversionArea &area, void *, void *) {
    const auto rowBytes = static_cast<size_t>(std::min(area.destinationPitch, area.sourcePitch));
    for (int64_t i = 0; i < area.Height(); ++i) {
        std::memcpy(area.destination + (area.y + i) * area.destinationPitch,
                    area.source + (area.rect.bottom - 1 - i) * area.sourcePitch, rowBytes);
    }
    return 1;
}

template <bool Flip>
int CopyColorTo24(const ConversionArea &area, void *, void *) {
    return WithPixelSize<3, 4>(area.sourceBytes, [&]<int SourceBytes>() {
        MapPixels<uint8_t, uint8_t, 3, SourceBytes, Flip>(area, [](uint8_t *d, const uint8_t *s) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        });
    });
}

int SwapRedBlue(const ConversionArea &area, void *, void *) {
    return WithPixelSize<3, 4>(area.sourceBytes, [&]<int Bytes>() {
        MapPixels<uint8_t, uint8_t, Bytes, Bytes>(area, [](uint8_t *d, const uint8_t *s) {
            const uint8_t blue = s[0];  // in-place use: read before writing
            d[0] = s[2];
            d[1] = s[1];
            d[2] = blue;
        });
    });
}

int InvertFourthByte(const ConversionArea &area, void *, void *) {
    return MapPixels<uint8_t, uint8_t, 4, 4>(area, [](uint8_t *d, const uint8_t *s) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = static_cast<uint8_t>(255 - s[3]);
    });
}

template <int Shift, bool Flip>
int Gray16To8(const ConversionArea &area, void *, void *) {
    return MapPixels<uint8_t, uint16_t, 1, 1, Flip>(
        area, [](uint8_t *d, const uint16_t *s) { d[0] = static_cast<uint8_t>(s[0] >> Shift); });
}

template <int Shift, bool Flip>
int Rgb48To24(const ConversionArea &area, void *, void *) {
    return WithPixelSize<6, 8>(area.sourceBytes, [&]<int SourceBytes>() {
        MapPixels<uint8_t, uint16_t, 3, SourceBytes / 2, Flip>(
            area, [](uint8_t *d, const uint16_t *s) {
                d[0] = static_cast<uint8_t>(s[0] >> Shift);
                d[1] = static_cast<uint8_t>(s[1] >> Shift);
                d[2] = static_cast<uint8_t>(s[2] >> Shift);
            });
    });
}

template <int Shift>
int Gray16ShiftLeft(const ConversionArea &area, void *, void *) {
    return MapPixels<uint16_t, uint16_t, 1, 1>(
        area, [](uint16_t *d, const uint16_t *s) { d[0] = static_cast<uint16_t>(s[0] << Shift); });
}

// 48 or 64 bits, words 0..2 shifted left, optionally blue and red exchanged; the fourth
// word of a 64-bit pixel becomes 65535.
template <int Words, int Shift, bool SwapRB>
int RgbWordsShiftLeft(const ConversionArea &area, void *, void *) {
    return MapPixels<uint16_t, uint16_t, Words, Words>(area, [](uint16_t *d, const uint16_t *s) {
        const auto blue = static_cast<uint16_t>(s[0] << Shift);
        const auto green = static_cast<uint16_t>(s[1] << Shift);
        const auto red = static_cast<uint16_t>(s[2] << Shift);
        d[0] = SwapRB ? red : blue;
        d[1] = green;
        d[2] = SwapRB ? blue : red;
        if constexpr (Words == 4) d[3] = 65535;
    });
}

int ColorToGray(const ConversionArea &area, void *, void *) {
    return MapPixels<uint8_t, uint8_t, 1, 3>(area, [](uint8_t *d, const uint8_t *s) {
        d[0] = static_cast<uint8_t>((30 * s[2] + 59 * s[1] + 11 * s[0]) / 100);
    });
}

}  // namespace

const PixelConverter RepackRows8 = AsConverter<RepackRows<1>>;
const PixelConverter RepackRows16 = AsConverter<RepackRows<2>>;
const PixelConverter FlipCopyRows = AsConverter<FlipCopyWholeRows>;
const PixelConverter Rgb24FlipCopy = AsConverter<CopyColorTo24<true>>;
const PixelConverter Rgb32To24 = AsConverter<CopyColorTo24<false>>;
const PixelConverter SwapRB24 = AsConverter<SwapRedBlue>;
const PixelConverter InvertAlpha32 = AsConverter<InvertFourthByte>;
const PixelConverter Gray16To8Hi = AsConverter<Gray16To8<8, false>>;
const PixelConverter Gray16To8HiFlip = AsConverter<Gray16To8<8, true>>;
const PixelConverter Gray16To8Shift4Flip = AsConverter<Gray16To8<4, true>>;
const PixelConverter Gray16To8Shift2Flip = AsConverter<Gray16To8<2, true>>;
const PixelConverter Rgb48To24Shift4 = AsConverter<Rgb48To24<4, false>>;
const PixelConverter Rgb48To24HiFlip = AsConverter<Rgb48To24<8, true>>;
const PixelConverter Gray16Shl4 = AsConverter<Gray16ShiftLeft<4>>;
const PixelConverter Gray16Shl6 = AsConverter<Gray16ShiftLeft<6>>;
const PixelConverter Rgb48Shl4 = AsConverter<RgbWordsShiftLeft<3, 4, false>>;
const PixelConverter Rgb48Shl6 = AsConverter<RgbWordsShiftLeft<3, 6, false>>;
const PixelConverter Rgb48Shl4SwapRB = AsConverter<RgbWordsShiftLeft<3, 4, true>>;
const PixelConverter Rgb48Shl6SwapRB = AsConverter<RgbWordsShiftLeft<3, 6, true>>;
const PixelConverter Rgb64Shl4 = AsConverter<RgbWordsShiftLeft<4, 4, false>>;
const PixelConverter Rgb64Shl6 = AsConverter<RgbWordsShiftLeft<4, 6, false>>;
const PixelConverter Rgb64Shl4SwapRB = AsConverter<RgbWordsShiftLeft<4, 4, true>>;
const PixelConverter Rgb64Shl6SwapRB = AsConverter<RgbWordsShiftLeft<4, 6, true>>;
const PixelConverter ColorToGray24 = AsConverter<ColorToGray>;

}  // namespace korvix::imaging
