#pragma once

#include <array>
#include <cstdint>

namespace korvix::imaging::avi {

// Byte layout of the uncompressed AVI files the recorder writes: one video stream of
// 24-bit bottom-up DIB frames ("00db" chunks), an idx1 index, little-endian throughout.
//
//   0  "RIFF" size "AVI "
//  12  "LIST" 200 "hdrl"  "avih" 56 <main header>
//  88  "LIST" 124 "strl"  "strh" 64 <stream header>  "strf" 40 <BITMAPINFOHEADER>
// 220  "LIST" size "movi"
// 232  per frame: "00db" F <F bytes>      then: "idx1" 16 x frames <16-byte entries>

inline constexpr uint32_t kRiffSizeOffset = 4;
inline constexpr uint32_t kMicrosecondsPerFrameOffset = 32;
inline constexpr uint32_t kTotalFramesOffset = 48;
inline constexpr uint32_t kStreamScaleOffset = 128;
inline constexpr uint32_t kStreamLengthOffset = 140;
inline constexpr uint32_t kMoviSizeOffset = 224;
// Everything up to and including the "movi" tag.
inline constexpr uint32_t kFileHeaderBytes = 232;
// The RIFF size (bytes behind its own field) right after the header, and the movi size
// (bytes behind its field: just the "movi" tag).
inline constexpr uint32_t kInitialRiffSize = kFileHeaderBytes - 8;
inline constexpr uint32_t kInitialMoviSize = 4;
inline constexpr uint32_t kChunkHeaderBytes = 8;
inline constexpr uint32_t kIndexEntryBytes = 16;
// The stream's time base: scale / rate seconds per frame, rate fixed at 10 000 000.
inline constexpr uint32_t kStreamRate = 10'000'000;
// The largest value a 32-bit RIFF size field can hold.
inline constexpr uint64_t kMaxRiffSize = 0xFFFF'FFFFull;

using FileHeader = std::array<uint8_t, kFileHeaderBytes>;
using IndexEntry = std::array<uint8_t, kIndexEntryBytes>;

// Bytes per frame row: three bytes per pixel rounded up to 4 (a 24-bit FrameImage row).
uint64_t FramePitch(int32_t width);
// F, the pixel bytes of one frame chunk: height x pitch.
uint64_t FrameDataSize(int32_t width, int32_t height);

// True when a frame size can be recorded at all: positive and with F + 8 inside the
// 32-bit size fields. (Whether a frame still fits into a growing file is asked of
// FrameFitsInFile.)
bool IsRecordableFrameSize(int32_t width, int32_t height);

// The header as written at opening. `framesPerSecond` must be at least 1; it sets the
// initial timing (1 000 000 / rate microseconds per frame, stream scale 10 000 000 / rate)
// and the maximum data rate; frame counts and the two patched sizes are 0.
FileHeader BuildFileHeader(int32_t width, int32_t height, uint32_t framesPerSecond);

// One idx1 entry: "00db", key-frame flag, chunk offset counted from the "movi" tag, F.
IndexEntry BuildIndexEntry(uint32_t moviOffset, uint32_t frameBytes);

// Timing patched at closing from the measured rate in hundredths of a frame per second
// (at least 1).
uint32_t MicrosecondsPerFrameFromCentiRate(uint32_t centiFramesPerSecond);
uint32_t StreamScaleFromCentiRate(uint32_t centiFramesPerSecond);

// True when one more frame chunk of `frameBytes` and its index entry still leave every
// size field of the closed file within 32 bits. `riffSize` is the running RIFF size
// (without the index), `framesWritten` the entries already in the index.
bool FrameFitsInFile(uint64_t riffSize, uint64_t framesWritten, uint64_t frameBytes);

}  // namespace korvix::imaging::avi
