#pragma once

// Helpers shared by the imaging tests: images filled from a seeded generator and pixel
// accessors that address memory rows directly.

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/FrameImage.h"

namespace korvix::imaging::test {

inline void FillRandom(FrameImage &image, uint32_t seed, uint16_t sampleMask = 0xFFFF) {
    std::mt19937 random(seed);
    const int samplesPerRow = image.Width() * image.BytesPerPixel();
    for (int32_t row = 0; row < image.Height(); ++row) {
        uint8_t *bytes = image.Bits() + int64_t{row} * image.Pitch();
        if (image.BitCount() == 16 || image.BitCount() >= 48) {
            for (int k = 0; k < samplesPerRow / 2; ++k) {
                const auto value = static_cast<uint16_t>(random() & sampleMask);
                std::memcpy(bytes + 2 * k, &value, 2);
            }
        } else {
            for (int k = 0; k < samplesPerRow; ++k) bytes[k] = static_cast<uint8_t>(random());
        }
    }
}

inline uint8_t &Byte(FrameImage &image, int column, int row, int channel = 0) {
    return image.Bits()[int64_t{row} * image.Pitch() + column * image.BytesPerPixel() + channel];
}

inline uint8_t Byte(const FrameImage &image, int column, int row, int channel = 0) {
    return image.Bits()[int64_t{row} * image.Pitch() + column * image.BytesPerPixel() + channel];
}

inline uint16_t Word(const FrameImage &image, int column, int row, int channel = 0) {
    uint16_t value;
    std::memcpy(
        &value,
        image.Bits() + int64_t{row} * image.Pitch() + column * image.BytesPerPixel() + 2 * channel,
        2);
    return value;
}

inline void SetWord(FrameImage &image, int column, int row, int channel, uint16_t value) {
    std::memcpy(
        image.Bits() + int64_t{row} * image.Pitch() + column * image.BytesPerPixel() + 2 * channel,
        &value, 2);
}

inline std::vector<uint8_t> Snapshot(const FrameImage &image) {
    return std::vector<uint8_t>(image.Bits(), image.Bits() + image.SizeBytes());
}

}  // namespace korvix::imaging::test
