#pragma once

// One recording of the preview into an AVI file: each output frame of the session becomes
// a 24-bit bottom-up frame of the AVI writer, and the file is closed with the frame rate
// measured from the first recorded frame.
//
// Frame conversion by bit count of the output image, each reducing to 8 bits per channel
// as the preview window shows the frame and reversing the row order once:
//   8        gray expanded through the image's colour table, rows reversed
//   16       high byte of each sample, rows reversed, expanded to gray colour
//   24, 32   the first three bytes of each pixel, rows reversed
//   48, 64   bits 4..11 of the first three words, rows reversed
//
// Timing: the first frame starts the clock; the recording ends with the first frame more
// than the duration after it. The rate written at closing is frames x 100000 / elapsed ms
// (hundredths of a frame per second), computed in 64 bits.
//
// Thread-bound: Open runs on the application's thread before the recording worker
// starts; AddFrame and Finish run on the worker. The caller holds the session's frameLock
// while AddFrame reads the output image.

#include <cstdint>

#include "imaging/FrameImage.h"
#include "imaging/avi/AviWriter.h"

namespace korvix::recording {

class FrameRecorder {
  public:
    // Writer rate at opening, frames per second; also the closing rate (in hundredths)
    // of a recording whose frames all fell within one millisecond.
    static constexpr uint32_t kOpeningRate = 30;

    enum class Progress { kRecording, kEnded };

    // Prepares a recording of `output`'s size and bit count and opens the file. False,
    // with nothing open, for an empty image or one of another bit count than the six
    // output formats, when a work image cannot be made, or when the file cannot be opened.
    bool Open(const char *fileName, const imaging::FrameImage &output, uint32_t durationMs);

    // Appends `output` as taken at `nowMs`. kEnded, with the file closed, when the frame is
    // more than the duration after the first one, or when it could not be written (the
    // file then keeps the frames written before). A frame of another geometry than at
    // Open is skipped. kEnded without effect when no file is open.
    Progress AddFrame(const imaging::FrameImage &output, uint32_t nowMs);

    // Closes an open file like a recording that ran its course: index, sizes, frame count
    // and the rate measured over the frames written. True when the file was closed cleanly;
    // harmless (false) when none is open.
    bool Finish();

    bool IsOpen() const { return writer_.IsOpen(); }
    // Frames of the current or last recording in its file.
    uint32_t FramesWritten() const { return frames_; }

    // frames x 100000 / elapsedMs in 64 bits, held within 1 .. UINT32_MAX; the opening rate
    // in hundredths when no time has passed.
    static uint32_t MeasuredRate(uint32_t frames, uint32_t elapsedMs);

  private:
    // Leaves the picture of `output` in frame_, bottom row first.
    bool Convert(const imaging::FrameImage &output);

    imaging::AviWriter writer_;
    imaging::FrameImage frame_;   // the 24-bit frame handed to the writer
    imaging::FrameImage colour_;  // 24-bit intermediate, top row first
    imaging::FrameImage gray_;    // 8-bit intermediate of 16-bit frames
    uint16_t bitCount_ = 0;
    uint32_t frames_ = 0;
    uint32_t durationMs_ = 0;
    uint32_t firstMs_ = 0;
    uint32_t lastMs_ = 0;
};

}  // namespace korvix::recording
