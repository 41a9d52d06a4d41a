#include "imaging/avi/AviWriter.h"

#include <algorithm>

#include "imaging/files/LittleEndian.h"

namespace korvix::imaging {

// The index is written straight from the entries' memory.
static_assert(sizeof(avi::IndexEntry) == avi::kIndexEntryBytes);

void AviWriter::Reset() {
    file_.Close();
    index_.clear();
    frameBytes_ = 0;
    riffSize_ = 0;
    moviSize_ = 0;
}

int AviWriter::OpenAvi(const char *fileName) {
    Reset();
    if (!avi::IsRecordableFrameSize(width_, height_)) return 0;
    if (!file_.Open(fileName)) return 0;
    const uint32_t framesPerSecond = std::max<uint32_t>(rate_, 1);
    const avi::FileHeader header = avi::BuildFileHeader(width_, height_, framesPerSecond);
    if (!file_.Write(header.data(), header.size())) {
        Reset();
        return 0;
    }
    frameBytes_ = static_cast<uint32_t>(avi::FrameDataSize(width_, height_));
    riffSize_ = avi::kInitialRiffSize;
    moviSize_ = avi::kInitialMoviSize;
    return 1;
}

int AviWriter::AddFrame(const uint8_t *pixels) {
    if (!IsOpen() || pixels == nullptr) return 0;
    if (!avi::FrameFitsInFile(riffSize_, index_.size(), frameBytes_)) return 0;

    index_.push_back(avi::BuildIndexEntry(moviSize_, frameBytes_));
    uint8_t chunkHeader[avi::kChunkHeaderBytes];
    PutFourCc(chunkHeader, "00db");
    PutU32(chunkHeader + 4, frameBytes_);
    const bool written =
        file_.Write(chunkHeader, sizeof chunkHeader) && file_.Write(pixels, frameBytes_);
    riffSize_ += avi::kChunkHeaderBytes + frameBytes_;
    moviSize_ += avi::kChunkHeaderBytes + frameBytes_;
    return written ? 1 : 0;
}

bool AviWriter::PatchU32(uint32_t offset, uint32_t value) {
    uint8_t bytes[4];
    PutU32(bytes, value);
    return file_.Seek(offset) && file_.Write(bytes, sizeof bytes);
}

int AviWriter::CloseAvi() {
    if (!IsOpen()) return 0;
    // The recorder's count can only name frames that are in the index.
    const auto frames = static_cast<uint32_t>(std::min<size_t>(frameCount_, index_.size()));
    const uint32_t indexBytes = avi::kIndexEntryBytes * frames;
    uint8_t indexHeader[avi::kChunkHeaderBytes];
    PutFourCc(indexHeader, "idx1");
    PutU32(indexHeader + 4, indexBytes);
    bool ok = file_.SeekToEnd() && file_.Write(indexHeader, sizeof indexHeader) &&
              file_.Write(index_.data(), indexBytes);
    riffSize_ += avi::kChunkHeaderBytes + indexBytes;

    const uint32_t centiRate = std::max<uint32_t>(rate_, 1);
    ok = PatchU32(avi::kRiffSizeOffset, riffSize_) && ok;
    ok = PatchU32(avi::kMoviSizeOffset, moviSize_) && ok;
    ok = PatchU32(avi::kTotalFramesOffset, frames) && ok;
    ok = PatchU32(avi::kStreamLengthOffset, frames) && ok;
    ok = PatchU32(avi::kMicrosecondsPerFrameOffset,
                  avi::MicrosecondsPerFrameFromCentiRate(centiRate)) &&
         ok;
    ok = PatchU32(avi::kStreamScaleOffset, avi::StreamScaleFromCentiRate(centiRate)) && ok;
    ok = file_.Close() && ok;
    Reset();
    return ok ? 1 : 0;
}

}  // namespace korvix::imaging
