#pragma once

#include <cstdint>

#include "platform/window/Window.h"

namespace korvix::platform::x11 {

// Converts 8-bit (palette) and 24-bit (blue, green, red) bitmaps into the pixels of a
// true-colour visual: 16, 24 or 32 bits per pixel, either byte order, any contiguous
// channel masks. Each channel value is looked up in a table made once per layout, so a
// row costs one pass and no allocation. Pure: knows nothing of the window system.
//
// Thread-bound: one drawing context owns one packer.
class PixelPacker {
  public:
    // Sets the destination layout. Returns false (and packs nothing afterwards) for bits
    // per pixel other than 16, 24 or 32, or a mask that is empty, not contiguous or
    // wider than 16 bits.
    bool Configure(int bitsPerPixel, bool mostSignificantByteFirst, uint32_t redMask,
                   uint32_t greenMask, uint32_t blueMask);

    // Writes bitmap.width x bitmap.height pixels to `destination` (`destinationPitch`
    // bytes per row), screen row 0 first: memory row r, or height - 1 - r for a bottom-up
    // bitmap. Returns false without writing when the packer is not configured or the
    // bitmap is not 8 or 24 bits, lacks its memory, or lacks its palette.
    bool Pack(const BitmapView &bitmap, uint8_t *destination, int32_t destinationPitch);

    int BytesPerPixel() const { return bytesPerPixel_; }

  private:
    template <int Bytes, bool MostSignificantFirst>
    void PackRows(const BitmapView &bitmap, uint8_t *destination, int32_t destinationPitch) const;
    void LoadPalette(const uint8_t *palette);

    uint32_t red_[256] = {};
    uint32_t green_[256] = {};
    uint32_t blue_[256] = {};
    uint32_t palette_[256] = {};  // the current bitmap's palette in destination pixels
    int bytesPerPixel_ = 0;
    bool mostSignificantFirst_ = false;
};

}  // namespace korvix::platform::x11
