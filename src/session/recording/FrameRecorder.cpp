#include "session/recording/FrameRecorder.h"

#include <algorithm>
#include <limits>

#include "imaging/FormatConverters.h"
#include "imaging/PixelConverter.h"

namespace korvix::recording {

namespace {

bool SameGeometry(const imaging::FrameImage &a, const imaging::FrameImage &b) {
    return a.Width() == b.Width() && a.Height() == b.Height();
}

}  // namespace

uint32_t FrameRecorder::MeasuredRate(uint32_t frames, uint32_t elapsedMs) {
    if (elapsedMs == 0) return kOpeningRate * 100;
    const uint64_t rate = uint64_t{frames} * 100000 / elapsedMs;
    return static_cast<uint32_t>(
        std::clamp<uint64_t>(rate, 1, std::numeric_limits<uint32_t>::max()));
}

bool FrameRecorder::Open(const char *fileName, const imaging::FrameImage &output,
                         uint32_t durationMs) {
    Finish();
    const uint16_t bits = output.BitCount();
    if (output.IsEmpty() ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32 && bits != 48 && bits != 64)) {
        return false;
    }
    const int32_t width = output.Width();
    const int32_t height = output.Height();
    if (frame_.Create(width, height, 24) != 1) return false;
    if ((bits == 8 || bits == 48 || bits == 64) && colour_.Create(width, height, 24) != 1) {
        return false;
    }
    if (bits == 16 && gray_.Create(width, height, 8) != 1) return false;

    writer_.SetFrameSize(width, height);
    writer_.SetRate(kOpeningRate);
    writer_.SetFrameCount(0);
    if (writer_.OpenAvi(fileName) != 1) return false;
    bitCount_ = bits;
    frames_ = 0;
    durationMs_ = durationMs;
    return true;
}

bool FrameRecorder::Convert(const imaging::FrameImage &output) {
    using imaging::ConvertImage;
    switch (bitCount_) {
        case 8:
            return colour_.Draw(output, nullptr, 0, 0) &&
                   ConvertImage(frame_, imaging::Rgb24FlipCopy, colour_, nullptr, 0, 0) != 0;
        case 16:
            return ConvertImage(gray_, imaging::Gray16To8HiFlip, output, nullptr, 0, 0) != 0 &&
                   frame_.Draw(gray_, nullptr, 0, 0);
        case 24:
        case 32:
            return ConvertImage(frame_, imaging::Rgb24FlipCopy, output, nullptr, 0, 0) != 0;
        case 48:
        case 64:
            return ConvertImage(colour_, imaging::Rgb48To24Shift4, output, nullptr, 0, 0) != 0 &&
                   ConvertImage(frame_, imaging::Rgb24FlipCopy, colour_, nullptr, 0, 0) != 0;
        default:
            return false;
    }
}

FrameRecorder::Progress FrameRecorder::AddFrame(const imaging::FrameImage &output, uint32_t nowMs) {
    if (!IsOpen()) return Progress::kEnded;
    if (output.BitCount() != bitCount_ || !SameGeometry(output, frame_) || !Convert(output)) {
        return Progress::kRecording;
    }
    if (frames_ == 0) firstMs_ = nowMs;
    // A refused frame (write failure, or the file's 32-bit size reached) ends the
    // recording with the frames before it.
    if (writer_.AddFrame(frame_.Bits()) != 1) {
        Finish();
        return Progress::kEnded;
    }
    writer_.SetFrameCount(++frames_);
    lastMs_ = nowMs;
    // Unsigned differences stay right across the wrap of the millisecond counter.
    if (nowMs - firstMs_ > durationMs_) {
        Finish();
        return Progress::kEnded;
    }
    return Progress::kRecording;
}

bool FrameRecorder::Finish() {
    if (!IsOpen()) return false;
    writer_.SetRate(MeasuredRate(frames_, frames_ == 0 ? 0 : lastMs_ - firstMs_));
    const bool closed = writer_.CloseAvi() == 1;
    writer_.SetRate(0);
    writer_.SetFrameCount(0);
    return closed;
}

}  // namespace korvix::recording
