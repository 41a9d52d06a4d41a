#include "platform/window/x11/PixelPacker.h"

#include <bit>

namespace korvix::platform::x11 {

namespace {

// Fills `table` with the 8-bit channel value v scaled to the mask's width and moved to
// its place. False for an empty, split or over-wide mask.
bool BuildChannelTable(uint32_t mask, uint32_t *table) {
    if (mask == 0) return false;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    if (width > 16 || (mask >> shift) != (uint32_t{1} << width) - 1) return false;
    const uint32_t maximum = (uint32_t{1} << width) - 1;
    for (uint32_t v = 0; v < 256; ++v) table[v] = ((v * maximum + 127) / 255) << shift;
    return true;
}

template <int Bytes, bool MostSignificantFirst>
inline void StorePixel(uint8_t *out, uint32_t value) {
    for (int b = 0; b < Bytes; ++b) {
        const int shift = MostSignificantFirst ? 8 * (Bytes - 1 - b) : 8 * b;
        out[b] = static_cast<uint8_t>(value >> shift);
    }
}

}  // namespace

bool PixelPacker::Configure(int bitsPerPixel, bool mostSignificantByteFirst, uint32_t redMask,
                            uint32_t greenMask, uint32_t blueMask) {
    bytesPerPixel_ = 0;
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    if (!BuildChannelTable(redMask, red_) || !BuildChannelTable(greenMask, green_) ||
        !BuildChannelTable(blueMask, blue_)) {
        return false;
    }
    mostSignificantFirst_ = mostSignificantByteFirst;
    bytesPerPixel_ = bitsPerPixel / 8;
    return true;
}

void PixelPacker::LoadPalette(const uint8_t *palette) {
    for (int i = 0; i < 256; ++i) {
        const uint8_t *entry = palette + 4 * i;
        palette_[i] = blue_[entry[0]] | green_[entry[1]] | red_[entry[2]];
    }
}

template <int Bytes, bool MostSignificantFirst>
void PixelPacker::PackRows(const BitmapView &bitmap, uint8_t *destination,
                           int32_t destinationPitch) const {
    const bool paletted = bitmap.bitCount == 8;
    for (int32_t row = 0; row < bitmap.height; ++row) {
        const int32_t memoryRow =
            bitmap.rowOrder == RowOrder::kTopRowFirst ? row : bitmap.height - 1 - row;
        const uint8_t *in = bitmap.bits + int64_t{memoryRow} * bitmap.pitch;
        uint8_t *out = destination + int64_t{row} * destinationPitch;
        if (paletted) {
            for (int32_t x = 0; x < bitmap.width; ++x) {
                StorePixel<Bytes, MostSignificantFirst>(out + x * Bytes, palette_[in[x]]);
            }
        } else {
            for (int32_t x = 0; x < bitmap.width; ++x) {
                const uint8_t *pixel = in + 3 * x;
                StorePixel<Bytes, MostSignificantFirst>(
                    out + x * Bytes, blue_[pixel[0]] | green_[pixel[1]] | red_[pixel[2]]);
            }
        }
    }
}

bool PixelPacker::Pack(const BitmapView &bitmap, uint8_t *destination, int32_t destinationPitch) {
    if (bytesPerPixel_ == 0 || destination == nullptr || bitmap.bits == nullptr) return false;
    if (bitmap.width <= 0 || bitmap.height <= 0) return false;
    if (bitmap.bitCount == 8) {
        if (bitmap.palette == nullptr || bitmap.pitch < bitmap.width) return false;
        LoadPalette(bitmap.palette);
    } else if (bitmap.bitCount != 24 || bitmap.pitch < int64_t{bitmap.width} * 3) {
        return false;
    }
    switch (bytesPerPixel_ * 2 + (mostSignificantFirst_ ? 1 : 0)) {
        case 4:
            PackRows<2, false>(bitmap, destination, destinationPitch);
            break;
        case 5:
            PackRows<2, true>(bitmap, destination, destinationPitch);
            break;
        case 6:
            PackRows<3, false>(bitmap, destination, destinationPitch);
            break;
        case 7:
            PackRows<3, true>(bitmap, destination, destinationPitch);
            break;
        case 8:
            PackRows<4, false>(bitmap, destination, destinationPitch);
            break;
        default:
            PackRows<4, true>(bitmap, destination, destinationPitch);
            break;
    }
    return true;
}

}  // namespace korvix::platform::x11
