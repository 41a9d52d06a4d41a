#pragma once

// Helpers of the end-to-end tests that check the files the library writes (images, masks,
// recordings) against the frames it delivers.

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"

namespace korvix::test {

inline std::string PathIn(const std::string &name) {
    return (TestDirectory() / name).string();
}

// Bytes per row of a frame buffer: width x bits / 8, padded to 4 bytes.
inline int FramePitch(int width, int bits) {
    return (width * bits / 8 + 3) & ~3;
}

// The gray level the preview shows for pixel (x, y) of an 8- or 16-bit output frame in
// memory order (top row first): 8-bit gray as it is, the high byte of 16-bit gray.
inline uint8_t ShownGray(const std::vector<uint8_t> &frame, int width, int bits, int x, int y) {
    const uint8_t *row = frame.data() + size_t(y) * FramePitch(width, bits);
    return bits == 8 ? row[x]
                     : static_cast<uint8_t>(reinterpret_cast<const uint16_t *>(row)[x] >> 8);
}

}  // namespace korvix::test
