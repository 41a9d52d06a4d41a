#pragma once

// Image families of the filter tests and a generic sample accessor.

#include <cstdint>
#include <cstring>

#include "imaging/FrameImage.h"
#include "imaging/PixelConverter.h"

namespace korvix::imaging::test {

struct FilterFamilyCase {
    int bits;
    int channels;  // samples used per pixel
    int maximum;
};
inline constexpr FilterFamilyCase kFilterFamilies[] = {
    {8, 1, 255}, {16, 1, 65535}, {24, 3, 255}, {32, 3, 255}, {48, 3, 65535}, {64, 3, 65535}};

// The four variants of one filter, chosen by bit count.
struct FilterVariants {
    PixelConverter gray8, gray16, color24, color48;
    PixelConverter For(int bits) const {
        switch (bits) {
            case 8:
                return gray8;
            case 16:
                return gray16;
            case 24:
            case 32:
                return color24;
            default:
                return color48;
        }
    }
};

// Sample `index` (0..3) of a pixel, whatever the bit count.
inline int SampleAt(const FrameImage &image, int column, int row, int index) {
    const uint8_t *pixel =
        image.Bits() + int64_t{row} * image.Pitch() + column * image.BytesPerPixel();
    if (image.BitCount() == 16 || image.BitCount() >= 48) {
        uint16_t value;
        std::memcpy(&value, pixel + 2 * index, 2);
        return value;
    }
    return pixel[index];
}

inline void SetSample(FrameImage &image, int column, int row, int index, int value) {
    uint8_t *pixel = image.Bits() + int64_t{row} * image.Pitch() + column * image.BytesPerPixel();
    if (image.BitCount() == 16 || image.BitCount() >= 48) {
        const auto word = static_cast<uint16_t>(value);
        std::memcpy(pixel + 2 * index, &word, 2);
    } else {
        pixel[index] = static_cast<uint8_t>(value);
    }
}

}  // namespace korvix::imaging::test
