#pragma once

#include <cstdint>
#include <memory>

#include "imaging/FrameImage.h"

namespace korvix::test {

// Fills every sample of `image` (8- or 16-bit samples, by bit count) with a value made
// from its row, column and channel, so that swapped channels, reversed rows or shifted
// columns show up. Padding bytes and the fourth sample of 32 and 64 bits stay zero.
void FillPattern(imaging::FrameImage &image);

// A new image of the size and bit count, filled by FillPattern; null when it cannot be
// made.
std::unique_ptr<imaging::FrameImage> PatternImage(int32_t width, int32_t height, int bitCount);

// The value FillPattern stored for (row, column, channel) of an image of `bitCount` bits.
uint16_t PatternSample(int bitCount, int32_t row, int32_t column, int channel);

// Sample `channel` of the pixel at (row, column) as stored in the image (16-bit samples
// read little-endian).
uint16_t SampleAt(const imaging::FrameImage &image, int32_t row, int32_t column, int channel);

// Stores one pixel of 8-bit samples (blue, green, red order for colour images).
void SetPixel8(imaging::FrameImage &image, int32_t row, int32_t column, uint8_t blue, uint8_t green,
               uint8_t red);

}  // namespace korvix::test
