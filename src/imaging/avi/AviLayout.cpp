#include "imaging/avi/AviLayout.h"

#include <algorithm>

#include "imaging/files/LittleEndian.h"

namespace korvix::imaging::avi {
namespace {

constexpr uint32_t kHeaderListSize = 200;
constexpr uint32_t kStreamListSize = 124;
constexpr uint32_t kMainHeaderSize = 56;
constexpr uint32_t kStreamHeaderSize = 64;
constexpr uint32_t kStreamFormatSize = 40;
constexpr uint32_t kFlagHasIndex = 0x10;
constexpr uint32_t kFlagWasCaptureFile = 0x10000;
constexpr uint32_t kIndexFlagKeyFrame = 0x10;

// Offsets of the records inside the file header.
constexpr uint32_t kMainHeaderOffset = 32;
constexpr uint32_t kStreamHeaderOffset = 108;
constexpr uint32_t kStreamFormatOffset = 180;

void WriteMainHeader(uint8_t *record, int32_t width, int32_t height, uint32_t framesPerSecond) {
    const uint64_t chunkBytes = FrameDataSize(width, height) + kChunkHeaderBytes;
    const uint64_t bytesPerSecond = std::min<uint64_t>(chunkBytes * framesPerSecond, kMaxRiffSize);
    PutU32(record + 0, 1'000'000 / framesPerSecond);
    PutU32(record + 4, static_cast<uint32_t>(bytesPerSecond));
    PutU32(record + 8, 0);  // padding granularity
    PutU32(record + 12, kFlagHasIndex | kFlagWasCaptureFile);
    PutU32(record + 16, 0);  // total frames, patched at closing
    PutU32(record + 20, 0);  // initial frames
    PutU32(record + 24, 1);  // streams
    PutU32(record + 28, static_cast<uint32_t>(chunkBytes));
    PutI32(record + 32, width);
    PutI32(record + 36, height);
    // 16 reserved bytes stay zero.
}

void WriteStreamHeader(uint8_t *record, int32_t width, int32_t height, uint32_t framesPerSecond) {
    PutFourCc(record + 0, "vids");
    PutFourCc(record + 4, "DIB ");
    // flags, priority, language and initial frames stay zero.
    PutU32(record + 20, kStreamRate / framesPerSecond);
    PutU32(record + 24, kStreamRate);
    // start and length (patched at closing) stay zero.
    PutU32(record + 36, static_cast<uint32_t>(FrameDataSize(width, height) + kChunkHeaderBytes));
    // quality, sample size and the frame rectangle stay zero.
}

void WriteStreamFormat(uint8_t *record, int32_t width, int32_t height) {
    PutU32(record + 0, kStreamFormatSize);
    PutI32(record + 4, width);
    PutI32(record + 8, height);  // positive: rows bottom-up
    PutU16(record + 12, 1);      // planes
    PutU16(record + 14, 24);     // bit count
    // compression, image size, resolutions and colour counts stay zero.
}

}  // namespace

uint64_t FramePitch(int32_t width) {
    return (3 * static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
}

uint64_t FrameDataSize(int32_t width, int32_t height) {
    return FramePitch(width) * static_cast<uint64_t>(height);
}

bool IsRecordableFrameSize(int32_t width, int32_t height) {
    return width > 0 && height > 0 &&
           FrameDataSize(width, height) + kChunkHeaderBytes <= kMaxRiffSize;
}

FileHeader BuildFileHeader(int32_t width, int32_t height, uint32_t framesPerSecond) {
    FileHeader header{};
    uint8_t *out = header.data();
    PutFourCc(out + 0, "RIFF");
    PutU32(out + 4, 0);  // RIFF size, patched at closing
    PutFourCc(out + 8, "AVI ");
    PutFourCc(out + 12, "LIST");
    PutU32(out + 16, kHeaderListSize);
    PutFourCc(out + 20, "hdrl");
    PutFourCc(out + 24, "avih");
    PutU32(out + 28, kMainHeaderSize);
    WriteMainHeader(out + kMainHeaderOffset, width, height, framesPerSecond);
    PutFourCc(out + 88, "LIST");
    PutU32(out + 92, kStreamListSize);
    PutFourCc(out + 96, "strl");
    PutFourCc(out + 100, "strh");
    PutU32(out + 104, kStreamHeaderSize);
    WriteStreamHeader(out + kStreamHeaderOffset, width, height, framesPerSecond);
    PutFourCc(out + 172, "strf");
    PutU32(out + 176, kStreamFormatSize);
    WriteStreamFormat(out + kStreamFormatOffset, width, height);
    PutFourCc(out + 220, "LIST");
    PutU32(out + kMoviSizeOffset, 0);  // movi size, patched at closing
    PutFourCc(out + 228, "movi");
    return header;
}

IndexEntry BuildIndexEntry(uint32_t moviOffset, uint32_t frameBytes) {
    IndexEntry entry{};
    PutFourCc(entry.data(), "00db");
    PutU32(entry.data() + 4, kIndexFlagKeyFrame);
    PutU32(entry.data() + 8, moviOffset);
    PutU32(entry.data() + 12, frameBytes);
    return entry;
}

uint32_t MicrosecondsPerFrameFromCentiRate(uint32_t centiFramesPerSecond) {
    return 100'000'000 / centiFramesPerSecond;
}

uint32_t StreamScaleFromCentiRate(uint32_t centiFramesPerSecond) {
    return 1'000'000'000 / centiFramesPerSecond;
}

bool FrameFitsInFile(uint64_t riffSize, uint64_t framesWritten, uint64_t frameBytes) {
    const uint64_t indexBytes = kChunkHeaderBytes + kIndexEntryBytes * (framesWritten + 1);
    return riffSize + kChunkHeaderBytes + frameBytes + indexBytes <= kMaxRiffSize;
}

}  // namespace korvix::imaging::avi
