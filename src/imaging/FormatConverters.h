#pragma once

// Converters that change the layout, bit depth or channel order of pixels. Pixel layouts:
// 8 = one byte; 16 = one little-endian word; 24 = bytes blue, green, red; 32 = blue,
// green, red, fourth byte; 48 = words blue, green, red; 64 = words blue, green, red,
// fourth word. "Flip" converters read source row rect.bottom - 1 - i for output row i,
// which turns a top-down image into the bottom-up order of BMP files and drawing
// surfaces. None takes a parameter.

#include "imaging/PixelConverter.h"

namespace korvix::imaging {

// 8 -> 8 and 16 -> 16, in place: spreads rows packed at rect width x bytes per pixel to
// the destination pitch, starting with the last row so nothing is overwritten unread.
extern const PixelConverter RepackRows8;
extern const PixelConverter RepackRows16;

// Any format -> same format, flipped: copies whole rows (the shorter of the two pitches).
extern const PixelConverter FlipCopyRows;

// 24 or 32 -> 24: bytes 0..2; the first flipped, the second not.
extern const PixelConverter Rgb24FlipCopy;
extern const PixelConverter Rgb32To24;

// 24 or 32 -> same: blue and red exchanged; a fourth byte is not written.
extern const PixelConverter SwapRB24;

// 32 -> 32: bytes 0..2 copied, byte 3 becomes 255 - byte 3.
extern const PixelConverter InvertAlpha32;

// 16 -> 8: v >> 8 (also flipped), (v >> 4) & 0xFF flipped, (v >> 2) & 0xFF flipped.
extern const PixelConverter Gray16To8Hi;
extern const PixelConverter Gray16To8HiFlip;
extern const PixelConverter Gray16To8Shift4Flip;
extern const PixelConverter Gray16To8Shift2Flip;

// 48 or 64 -> 24: words 0..2 as (v >> 4) & 0xFF, or v >> 8 flipped.
extern const PixelConverter Rgb48To24Shift4;
extern const PixelConverter Rgb48To24HiFlip;

// 16 -> 16: v << 4 or v << 6, low 16 bits kept.
extern const PixelConverter Gray16Shl4;
extern const PixelConverter Gray16Shl6;

// 48 -> 48: words shifted left, order kept or blue and red exchanged.
extern const PixelConverter Rgb48Shl4;
extern const PixelConverter Rgb48Shl6;
extern const PixelConverter Rgb48Shl4SwapRB;
extern const PixelConverter Rgb48Shl6SwapRB;

// 64 -> 64: words 0..2 shifted (order kept or blue and red exchanged), word 3 = 65535.
extern const PixelConverter Rgb64Shl4;
extern const PixelConverter Rgb64Shl6;
extern const PixelConverter Rgb64Shl4SwapRB;
extern const PixelConverter Rgb64Shl6SwapRB;

// 24 -> 8: (30 red + 59 green + 11 blue) / 100.
extern const PixelConverter ColorToGray24;

}  // namespace korvix::imaging
