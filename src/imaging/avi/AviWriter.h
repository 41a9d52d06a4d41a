#pragma once

#include <cstdint>
#include <vector>

#include "imaging/avi/AviLayout.h"
#include "imaging/files/OutputFile.h"

namespace korvix::imaging {

// Writes an uncompressed AVI of 24-bit bottom-up frames: OpenAvi writes the headers,
// AddFrame appends one frame chunk and remembers its index entry, CloseAvi writes the
// index and patches the sizes, the frame count and the timing measured by the recorder.
//
// The recorder sets the frame size and the opening rate (frames per second) before
// OpenAvi, keeps the frame count (zero at the start, one more after each appended frame)
// and sets the measured rate, in hundredths of a frame per second, before CloseAvi.
//
// Thread-bound: used by one recording thread at a time, no lock of its own.
class AviWriter {
  public:
    AviWriter() = default;
    ~AviWriter() = default;
    AviWriter(const AviWriter &) = delete;
    AviWriter &operator=(const AviWriter &) = delete;

    void SetFrameSize(int32_t width, int32_t height) {
        width_ = width;
        height_ = height;
    }
    void SetRate(uint32_t rate) { rate_ = rate; }
    void SetFrameCount(uint32_t frameCount) { frameCount_ = frameCount; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    uint32_t Rate() const { return rate_; }
    uint32_t FrameCount() const { return frameCount_; }

    // Drops any file in progress (closed without index), then creates or truncates
    // `fileName` and writes the headers for the current frame size and rate (a rate
    // below 1 counts as 1). Returns 1, or 0 when the frame size is not positive or too
    // large for the file's 32-bit sizes, or when the file cannot be created or written.
    int OpenAvi(const char *fileName);

    // Appends one frame: FrameDataSize bytes of a 24-bit image whose memory row 0 is the
    // bottom row of the picture. Returns 1 when the chunk was written. Returns 0 and
    // changes nothing when no file is open, `pixels` is null, or the frame and its index
    // entry would take the RIFF size past 2^32 - 1 (the recorder should then close the
    // file, which stays valid). A failed write also returns 0; the sizes still count the
    // chunk so that later offsets match the file positions.
    int AddFrame(const uint8_t *pixels);

    // Writes the index of the first FrameCount() frames (no more than were appended),
    // patches the RIFF and movi sizes, the frame count and the timing from Rate() in
    // hundredths of a frame per second (a rate below 1 counts as 1), and closes the file.
    // Returns 1 when all of it was written and the file closed, 0 otherwise (also when no
    // file was open).
    int CloseAvi();

    bool IsOpen() const { return file_.IsOpen(); }

  private:
    void Reset();
    bool PatchU32(uint32_t offset, uint32_t value);

    OutputFile file_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint32_t rate_ = 0;
    uint32_t frameCount_ = 0;
    uint32_t frameBytes_ = 0;  // F of the open file
    uint32_t riffSize_ = 0;    // bytes behind the RIFF size field
    uint32_t moviSize_ = 0;    // bytes behind the movi size field
    std::vector<avi::IndexEntry> index_;
};

}  // namespace korvix::imaging
