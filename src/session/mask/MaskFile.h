#pragma once

// The mask file: a 40-byte header and the four reference frames of the defect mask.
//
//   offset  size      field
//   0       16        "VELSOR MASK1000" and one zero byte
//   16      4 x 6     width 1280, height 1024, byte sizes 1310720, 1310720, 2621440, 2621440
//   40      1310720   8-bit dark reference, 1024 rows of 1280 samples, in stored row order
//   1310760 1310720   8-bit bright reference
//   2621480 2621440   16-bit dark reference, little-endian samples
//   5242920 2621440   16-bit bright reference
//
// All header integers are little-endian, unsigned 32-bit. Pure code: reentrant, no lock
// of its own; the caller serialises access to the references.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/FrameImage.h"

namespace korvix::mask {

inline constexpr int32_t kMaskWidth = 1280;
inline constexpr int32_t kMaskHeight = 1024;
inline constexpr size_t kMaskHeaderSize = 40;
inline constexpr size_t kMaskBytes8 = size_t{kMaskWidth} * kMaskHeight;  // 1310720
inline constexpr size_t kMaskBytes16 = 2 * kMaskBytes8;                  // 2621440
inline constexpr size_t kMaskFileSize = kMaskHeaderSize + 2 * kMaskBytes8 + 2 * kMaskBytes16;

// The four references a mask file carries, in file order. Borrowed; each must be a
// 1280 x 1024 image (8, 8, 16 and 16 bits) for a load to store anything.
struct MaskReferences {
    imaging::FrameImage *dark8 = nullptr;
    imaging::FrameImage *bright8 = nullptr;
    imaging::FrameImage *dark16 = nullptr;
    imaging::FrameImage *bright16 = nullptr;
};

// True when `file` is a complete mask file: exactly kMaskFileSize bytes with the fixed
// header values. Checks only; stores nothing.
bool IsValidMaskFile(std::span<const uint8_t> file);

// Copies the references of a file that IsValidMaskFile accepts into `references`. False,
// with every reference unchanged, for any other file or for references of the wrong
// geometry.
bool StoreMaskFile(std::span<const uint8_t> file, const MaskReferences &references);

// Reads `fileName` whole into `scratch` (resized to the file's length). False when the
// file cannot be opened, sized or read in full, or is longer than a mask file (nothing is
// then read); the references are not touched here.
bool ReadMaskFile(const char *fileName, std::vector<uint8_t> &scratch);

// Writes the header (width and height of the 8-bit dark reference, byte sizes pitch x
// height of each reference) and the four references. False when a reference is missing,
// the file cannot be created, or any write, the flush or the close fails (a short file is
// left in place).
bool WriteMaskFile(const char *fileName, const MaskReferences &references);

}  // namespace korvix::mask
