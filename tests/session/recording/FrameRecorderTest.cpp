#include "session/recording/FrameRecorder.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>

#include "imaging/files/FileBytes.h"
#include "support/TestEnvironment.h"

namespace korvix::recording {
namespace {

using test::ReadFileBytes;
using test::U32At;

// Offsets in the AVI file of the fields the closing patches.
constexpr size_t kMicrosecondsPerFrame = 32;
constexpr size_t kTotalFrames = 48;
constexpr size_t kStreamScale = 128;
constexpr size_t kStreamLength = 140;
constexpr size_t kFirstFramePixels = 232 + 8;

std::string PathOf(const char *name) {
    return (test::TestDirectory() / name).string();
}

// An output image whose every sample differs, so a wrong row or channel shows.
void MakeOutput(imaging::FrameImage &image, int bits, int32_t width, int32_t height) {
    EXPECT_EQ(image.Create(width, height, bits), 1);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t *row = image.Bits() + int64_t{y} * image.Pitch();
        const int samples = width * (bits == 32 || bits == 64 ? 4 : bits <= 16 ? 1 : 3);
        for (int i = 0; i < samples; ++i) {
            const int value = 7 * y * samples + 13 * i + 5;
            if (bits <= 32 && bits != 16) {
                row[i] = static_cast<uint8_t>(value);
            } else {
                reinterpret_cast<uint16_t *>(row)[i] = static_cast<uint16_t>(value * 97);
            }
        }
    }
}

// The blue, green and red bytes the preview shows for output pixel (x, y).
std::array<uint8_t, 3> Shown(const imaging::FrameImage &output, int32_t x, int32_t y) {
    const uint8_t *row = output.Bits() + int64_t{y} * output.Pitch();
    const auto *words = reinterpret_cast<const uint16_t *>(row);
    switch (output.BitCount()) {
        case 8:
            return {row[x], row[x], row[x]};
        case 16: {
            const auto v = static_cast<uint8_t>(words[x] >> 8);
            return {v, v, v};
        }
        case 24:
        case 32: {
            const int n = output.BitCount() / 8;
            return {row[n * x], row[n * x + 1], row[n * x + 2]};
        }
        default: {
            const int n = output.BitCount() / 16;
            return {static_cast<uint8_t>(words[n * x] >> 4),
                    static_cast<uint8_t>(words[n * x + 1] >> 4),
                    static_cast<uint8_t>(words[n * x + 2] >> 4)};
        }
    }
}

TEST(SessionFrameRecorder, EveryOutputFormatBecomesTheBottomUpPreviewPicture) {
    constexpr int32_t kWidth = 5;  // 15 bytes per 24-bit row: the pitch pads to 16
    constexpr int32_t kHeight = 3;
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        imaging::FrameImage output;
        MakeOutput(output, bits, kWidth, kHeight);
        const std::string path = PathOf("formats.avi");
        FrameRecorder recorder;
        ASSERT_TRUE(recorder.Open(path.c_str(), output, 1000));
        EXPECT_EQ(recorder.AddFrame(output, 5000), FrameRecorder::Progress::kRecording);
        ASSERT_TRUE(recorder.Finish());

        const std::vector<uint8_t> file = ReadFileBytes(path);
        ASSERT_GE(file.size(), kFirstFramePixels + 16 * kHeight) << bits;
        for (int32_t y = 0; y < kHeight; ++y) {
            // File row 0 is the bottom row of the picture.
            const size_t rowStart = kFirstFramePixels + 16 * size_t(kHeight - 1 - y);
            for (int32_t x = 0; x < kWidth; ++x) {
                const std::array<uint8_t, 3> expected = Shown(output, x, y);
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(file[rowStart + 3 * x + c], expected[c])
                        << bits << " bits, pixel " << x << "," << y << " channel " << c;
                }
            }
        }
    }
}

// 52 frames every 40 ms from time 0: the one at 2040 ms is the first past 2000 ms and
// closes the file at 52 x 100000 / 2040 = 2549 hundredths of a frame per second.
TEST(SessionFrameRecorder, EndsWithTheFirstFramePastTheDurationAtTheMeasuredRate) {
    imaging::FrameImage output;
    MakeOutput(output, 24, 16, 8);
    const std::string path = PathOf("timed.avi");
    FrameRecorder recorder;
    ASSERT_TRUE(recorder.Open(path.c_str(), output, 2000));
    const uint32_t start = std::numeric_limits<uint32_t>::max() - 1000;  // the counter wraps
    uint32_t frames = 0;
    FrameRecorder::Progress progress = FrameRecorder::Progress::kRecording;
    while (progress == FrameRecorder::Progress::kRecording && frames < 100) {
        progress = recorder.AddFrame(output, start + 40 * frames++);
    }
    EXPECT_EQ(frames, 52u);
    EXPECT_EQ(recorder.FramesWritten(), 52u);
    EXPECT_FALSE(recorder.IsOpen());

    const std::vector<uint8_t> file = ReadFileBytes(path);
    EXPECT_EQ(U32At(file, kTotalFrames), 52u);
    EXPECT_EQ(U32At(file, kStreamLength), 52u);
    EXPECT_EQ(U32At(file, kMicrosecondsPerFrame), 100000000u / 2549);
    EXPECT_EQ(U32At(file, kStreamScale), 1000000000u / 2549);
}

TEST(SessionFrameRecorder, RecordingEndedEarlyKeepsEveryFrame) {
    imaging::FrameImage output;
    MakeOutput(output, 8, 16, 8);
    const std::string path = PathOf("early.avi");
    FrameRecorder recorder;
    ASSERT_TRUE(recorder.Open(path.c_str(), output, 60000));
    for (uint32_t t : {100u, 150u, 225u}) {
        ASSERT_EQ(recorder.AddFrame(output, t), FrameRecorder::Progress::kRecording);
    }
    ASSERT_TRUE(recorder.Finish());
    EXPECT_FALSE(recorder.Finish());  // already closed

    const std::vector<uint8_t> file = ReadFileBytes(path);
    const size_t frameChunk = 8 + 16 * 8 * 3;  // pitch 48, 8 rows
    ASSERT_EQ(file.size(), 232 + 3 * frameChunk + 8 + 3 * 16);
    EXPECT_EQ(U32At(file, 4), file.size() - 8);  // RIFF size
    EXPECT_EQ(U32At(file, kTotalFrames), 3u);
    EXPECT_EQ(U32At(file, kMicrosecondsPerFrame), 100000000u / (3 * 100000 / 125));
}

TEST(SessionFrameRecorder, RateIsSaneAtTheEdges) {
    struct Case {
        uint32_t frames, elapsedMs, rate;
    };
    const Case cases[] = {
        {52, 2040, 2549},
        {30, 1000, 3000},
        {1, 0, 3000},    // a single frame: the opening 30 frames per second
        {5, 0, 3000},    // frames within one millisecond
        {1, 500000, 1},  // below a hundredth: never 0
        {4000000000u, 1, std::numeric_limits<uint32_t>::max()},  // no 32-bit overflow
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FrameRecorder::MeasuredRate(c.frames, c.elapsedMs), c.rate)
            << c.frames << " frames in " << c.elapsedMs << " ms";
    }
}

TEST(SessionFrameRecorder, FailedWriteEndsTheRecordingAndRefusedOpensLeaveNothingOpen) {
    imaging::FrameImage output;
    MakeOutput(output, 24, 640, 480);
    FrameRecorder recorder;
    // A full device takes the buffered header but not a frame.
    ASSERT_TRUE(recorder.Open("/dev/full", output, 60000));
    EXPECT_EQ(recorder.AddFrame(output, 10), FrameRecorder::Progress::kEnded);
    EXPECT_FALSE(recorder.IsOpen());
    EXPECT_EQ(recorder.FramesWritten(), 0u);

    EXPECT_FALSE(recorder.Open(PathOf("no/such/dir.avi").c_str(), output, 1000));
    EXPECT_FALSE(recorder.Open(PathOf("empty.avi").c_str(), imaging::FrameImage(), 1000));
    EXPECT_FALSE(recorder.IsOpen());
    EXPECT_EQ(recorder.AddFrame(output, 20), FrameRecorder::Progress::kEnded);
}

}  // namespace
}  // namespace korvix::recording
