#include "imaging/avi/AviWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "imaging/avi/AviLayout.h"
#include "imaging/files/FileBytes.h"
#include "support/TestEnvironment.h"

namespace korvix::imaging {
namespace {

using test::FourCcAt;
using test::ReadFileBytes;
using test::U16At;
using test::U32At;

constexpr uint32_t kVgaFrameBytes = 921'600;  // 640 x 480 x 3, rows already 4-aligned
constexpr uint32_t kVgaChunkBytes = 921'608;

std::filesystem::path PathFor(const char *name) {
    return test::TestDirectory() / name;
}

// Frame pixels whose every byte depends on the frame number and position, so a chunk
// written from the wrong buffer or offset shows up.
std::vector<uint8_t> PatternFrame(int32_t width, int32_t height, uint8_t seed) {
    std::vector<uint8_t> pixels(avi::FrameDataSize(width, height));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 + seed);
    return pixels;
}

// Opens a recording of `width` x `height` at the recorder's opening rate of 30.
void OpenRecording(AviWriter &writer, const std::filesystem::path &path, int32_t width,
                   int32_t height) {
    writer.SetFrameSize(width, height);
    writer.SetRate(30);
    writer.SetFrameCount(0);
    ASSERT_EQ(writer.OpenAvi(path.string().c_str()), 1);
}

// Appends frames as the recorder does: frame, then one more in the frame count.
void AppendFrames(AviWriter &writer, const std::vector<std::vector<uint8_t>> &frames) {
    for (const auto &frame : frames) {
        ASSERT_EQ(writer.AddFrame(frame.data()), 1);
        writer.SetFrameCount(writer.FrameCount() + 1);
    }
}

TEST(ImagingAviHeader, OpeningHeaderCarriesSizesAndNominalRate) {
    const avi::FileHeader header = avi::BuildFileHeader(640, 480, 30);
    const std::vector<uint8_t> bytes(header.begin(), header.end());
    EXPECT_EQ(FourCcAt(bytes, 0), "RIFF");
    EXPECT_EQ(FourCcAt(bytes, 8), "AVI ");
    EXPECT_EQ(FourCcAt(bytes, 12), "LIST");
    EXPECT_EQ(U32At(bytes, 16), 200u);
    EXPECT_EQ(FourCcAt(bytes, 20), "hdrl");
    EXPECT_EQ(FourCcAt(bytes, 24), "avih");
    EXPECT_EQ(U32At(bytes, 28), 56u);
    // Main header.
    EXPECT_EQ(U32At(bytes, 32), 33'333u);
    EXPECT_EQ(U32At(bytes, 36), kVgaChunkBytes * 30u);
    EXPECT_EQ(U32At(bytes, 40), 0u);
    EXPECT_EQ(U32At(bytes, 44), 0x10010u);
    EXPECT_EQ(U32At(bytes, 48), 0u);
    EXPECT_EQ(U32At(bytes, 56), 1u);
    EXPECT_EQ(U32At(bytes, 60), kVgaChunkBytes);
    EXPECT_EQ(U32At(bytes, 64), 640u);
    EXPECT_EQ(U32At(bytes, 68), 480u);
    for (size_t i = 72; i < 88; ++i) EXPECT_EQ(bytes[i], 0) << "reserved byte " << i;
    // Stream list and header.
    EXPECT_EQ(FourCcAt(bytes, 88), "LIST");
    EXPECT_EQ(U32At(bytes, 92), 124u);
    EXPECT_EQ(FourCcAt(bytes, 96), "strl");
    EXPECT_EQ(FourCcAt(bytes, 100), "strh");
    EXPECT_EQ(U32At(bytes, 104), 64u);
    EXPECT_EQ(FourCcAt(bytes, 108), "vids");
    EXPECT_EQ(FourCcAt(bytes, 112), "DIB ");
    EXPECT_EQ(U32At(bytes, 128), 333'333u);
    EXPECT_EQ(U32At(bytes, 132), 10'000'000u);
    EXPECT_EQ(U32At(bytes, 140), 0u);
    EXPECT_EQ(U32At(bytes, 144), kVgaChunkBytes);
    for (size_t i = 156; i < 172; ++i) EXPECT_EQ(bytes[i], 0) << "frame rectangle byte " << i;
    // Stream format: a bottom-up 24-bit DIB.
    EXPECT_EQ(FourCcAt(bytes, 172), "strf");
    EXPECT_EQ(U32At(bytes, 176), 40u);
    EXPECT_EQ(U32At(bytes, 180), 40u);
    EXPECT_EQ(U32At(bytes, 184), 640u);
    EXPECT_EQ(U32At(bytes, 188), 480u);
    EXPECT_EQ(U16At(bytes, 192), 1u);
    EXPECT_EQ(U16At(bytes, 194), 24u);
    for (size_t i = 196; i < 220; ++i) EXPECT_EQ(bytes[i], 0) << "format byte " << i;
    EXPECT_EQ(FourCcAt(bytes, 220), "LIST");
    EXPECT_EQ(FourCcAt(bytes, 228), "movi");
}

TEST(ImagingAviHeader, RowsArePaddedToFourBytes) {
    // One width of every remainder modulo 4: 3 x width bytes rounded up to a multiple of 4.
    EXPECT_EQ(avi::FramePitch(640), 1920u);
    EXPECT_EQ(avi::FramePitch(5), 16u);
    EXPECT_EQ(avi::FramePitch(2), 8u);
    EXPECT_EQ(avi::FramePitch(3), 12u);
    EXPECT_EQ(avi::FrameDataSize(2, 5), 40u);
    EXPECT_EQ(avi::FrameDataSize(640, 480), kVgaFrameBytes);
}

TEST(ImagingAviHeader, FrameFitsOnlyWhileTheClosedFileStaysWithin32Bits) {
    // One frame after the header: the chunk and a one-entry index must fit.
    const uint64_t largestFirstFrame = avi::kMaxRiffSize - avi::kInitialRiffSize - 8 - 8 - 16;
    EXPECT_TRUE(avi::FrameFitsInFile(avi::kInitialRiffSize, 0, largestFirstFrame));
    EXPECT_FALSE(avi::FrameFitsInFile(avi::kInitialRiffSize, 0, largestFirstFrame + 1));
    // Every index entry already made counts as well.
    const uint64_t riffSize = avi::kMaxRiffSize - 8 - 1000 - 8 - 16 * 11;
    EXPECT_TRUE(avi::FrameFitsInFile(riffSize, 10, 1000));
    EXPECT_FALSE(avi::FrameFitsInFile(riffSize, 11, 1000));
}

TEST(ImagingAviFile, ClosingWithoutFramesLeavesValidEmptyFile) {
    AviWriter writer;
    OpenRecording(writer, PathFor("empty.avi"), 640, 480);
    writer.SetRate(3000);
    EXPECT_EQ(writer.CloseAvi(), 1);
    EXPECT_FALSE(writer.IsOpen());

    const auto bytes = ReadFileBytes(PathFor("empty.avi"));
    ASSERT_EQ(bytes.size(), 240u);
    EXPECT_EQ(U32At(bytes, 4), 232u);
    EXPECT_EQ(U32At(bytes, 224), 4u);
    EXPECT_EQ(FourCcAt(bytes, 232), "idx1");
    EXPECT_EQ(U32At(bytes, 236), 0u);
    EXPECT_EQ(U32At(bytes, 48), 0u);
    EXPECT_EQ(U32At(bytes, 140), 0u);
}

TEST(ImagingAviFile, VgaFramesBecomeChunksWithMatchingIndex) {
    const auto first = PatternFrame(640, 480, 1);
    const auto second = PatternFrame(640, 480, 2);
    AviWriter writer;
    OpenRecording(writer, PathFor("vga.avi"), 640, 480);
    AppendFrames(writer, {first, second});
    writer.SetRate(3000);
    ASSERT_EQ(writer.CloseAvi(), 1);

    const auto bytes = ReadFileBytes(PathFor("vga.avi"));
    const size_t indexAt = 232 + 2 * size_t{kVgaChunkBytes};
    ASSERT_EQ(bytes.size(), indexAt + 8 + 32);
    EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(U32At(bytes, 224), 4 + 2 * kVgaChunkBytes);

    for (size_t frame = 0; frame < 2; ++frame) {
        const size_t chunkAt = 232 + frame * kVgaChunkBytes;
        EXPECT_EQ(FourCcAt(bytes, chunkAt), "00db");
        EXPECT_EQ(U32At(bytes, chunkAt + 4), kVgaFrameBytes);
        const auto &pixels = frame == 0 ? first : second;
        EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), bytes.begin() + chunkAt + 8))
            << "pixels of frame " << frame;
    }

    EXPECT_EQ(FourCcAt(bytes, indexAt), "idx1");
    EXPECT_EQ(U32At(bytes, indexAt + 4), 32u);
    for (size_t frame = 0; frame < 2; ++frame) {
        const size_t entryAt = indexAt + 8 + 16 * frame;
        EXPECT_EQ(FourCcAt(bytes, entryAt), "00db");
        EXPECT_EQ(U32At(bytes, entryAt + 4), 0x10u);
        EXPECT_EQ(U32At(bytes, entryAt + 8), 4 + frame * kVgaChunkBytes);
        EXPECT_EQ(U32At(bytes, entryAt + 12), kVgaFrameBytes);
    }
    EXPECT_EQ(U32At(bytes, 48), 2u);
    EXPECT_EQ(U32At(bytes, 140), 2u);
}

TEST(ImagingAviFile, MeasuredRateSetsTimingAtClosing) {
    AviWriter writer;
    OpenRecording(writer, PathFor("timing.avi"), 4, 2);
    const auto frame = PatternFrame(4, 2, 0);
    AppendFrames(writer, std::vector<std::vector<uint8_t>>(30, frame));
    writer.SetRate(30 * 100'000 / 1000);  // 30 frames in 1000 ms, in hundredths per second
    ASSERT_EQ(writer.CloseAvi(), 1);

    const auto bytes = ReadFileBytes(PathFor("timing.avi"));
    EXPECT_EQ(U32At(bytes, 32), 33'333u);
    EXPECT_EQ(U32At(bytes, 128), 333'333u);
    EXPECT_EQ(U32At(bytes, 132), 10'000'000u);
    EXPECT_EQ(U32At(bytes, 48), 30u);
    EXPECT_EQ(U32At(bytes, 140), 30u);
}

TEST(ImagingAviFile, RateBelowOneCountsAsOne) {
    AviWriter writer;
    writer.SetFrameSize(2, 2);
    writer.SetRate(0);
    ASSERT_EQ(writer.OpenAvi(PathFor("slow.avi").string().c_str()), 1);
    EXPECT_EQ(writer.CloseAvi(), 1);  // rate still 0: must not divide by it

    const auto bytes = ReadFileBytes(PathFor("slow.avi"));
    ASSERT_EQ(bytes.size(), 240u);
    EXPECT_EQ(U32At(bytes, 32), 100'000'000u);
    EXPECT_EQ(U32At(bytes, 128), 1'000'000'000u);
}

TEST(ImagingAviFile, NarrowFramesUsePaddedRows) {
    AviWriter writer;
    OpenRecording(writer, PathFor("narrow.avi"), 2, 3);
    const auto frame = PatternFrame(2, 3, 9);
    ASSERT_EQ(frame.size(), 24u);
    AppendFrames(writer, {frame});
    ASSERT_EQ(writer.CloseAvi(), 1);

    const auto bytes = ReadFileBytes(PathFor("narrow.avi"));
    EXPECT_EQ(U32At(bytes, 236), 24u);
    EXPECT_EQ(U32At(bytes, 60), 32u);
    ASSERT_EQ(bytes.size(), 232u + 8 + 24 + 8 + 16);
}

TEST(ImagingAviFile, FrameCountNeverNamesMoreFramesThanAppended) {
    AviWriter writer;
    OpenRecording(writer, PathFor("count.avi"), 2, 2);
    const auto frame = PatternFrame(2, 2, 0);
    AppendFrames(writer, {frame, frame});
    writer.SetFrameCount(5);
    ASSERT_EQ(writer.CloseAvi(), 1);

    const auto bytes = ReadFileBytes(PathFor("count.avi"));
    const size_t indexAt = 232 + 2 * (8 + 16);
    EXPECT_EQ(U32At(bytes, indexAt + 4), 32u);
    ASSERT_EQ(bytes.size(), indexAt + 8 + 32);
    EXPECT_EQ(U32At(bytes, 48), 2u);
    EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
}

TEST(ImagingAviFile, OversizedFrameIsRefusedAndFileStaysValid) {
    // One row of 1 431 655 680 pixels: F = 4 294 967 040 still fits the 32-bit chunk size,
    // but with the header and the index the RIFF size would pass 2^32 - 1.
    AviWriter writer;
    writer.SetFrameSize(1'431'655'680, 1);
    writer.SetRate(30);
    ASSERT_EQ(writer.OpenAvi(PathFor("huge.avi").string().c_str()), 1);
    const uint8_t tooShortToBeRead[1] = {0};
    EXPECT_EQ(writer.AddFrame(tooShortToBeRead), 0);
    writer.SetFrameCount(0);
    writer.SetRate(100);
    ASSERT_EQ(writer.CloseAvi(), 1);
    const auto bytes = ReadFileBytes(PathFor("huge.avi"));
    EXPECT_EQ(bytes.size(), 240u);
    EXPECT_EQ(U32At(bytes, 4), 232u);
}

TEST(ImagingAviFile, RefusesWhatCannotBeRecorded) {
    AviWriter writer;
    const auto frame = PatternFrame(2, 2, 0);
    EXPECT_EQ(writer.AddFrame(frame.data()), 0) << "no file open";
    EXPECT_EQ(writer.CloseAvi(), 0) << "no file open";

    writer.SetFrameSize(0, 480);
    EXPECT_EQ(writer.OpenAvi(PathFor("zero.avi").string().c_str()), 0);
    writer.SetFrameSize(640, -1);
    EXPECT_EQ(writer.OpenAvi(PathFor("zero.avi").string().c_str()), 0);
    writer.SetFrameSize(2'000'000'000, 2'000'000'000);
    EXPECT_EQ(writer.OpenAvi(PathFor("zero.avi").string().c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(PathFor("zero.avi")));

    writer.SetFrameSize(2, 2);
    EXPECT_EQ(writer.OpenAvi((PathFor("missing") / "x.avi").string().c_str()), 0);
    EXPECT_EQ(writer.OpenAvi(nullptr), 0);
    EXPECT_FALSE(writer.IsOpen());

    ASSERT_EQ(writer.OpenAvi(PathFor("open.avi").string().c_str()), 1);
    EXPECT_EQ(writer.AddFrame(nullptr), 0);
    EXPECT_EQ(writer.CloseAvi(), 1);
    EXPECT_EQ(ReadFileBytes(PathFor("open.avi")).size(), 240u);
}

TEST(ImagingAviFile, OpeningTruncatesAndDropsUnfinishedRecording) {
    const auto path = PathFor("again.avi");
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(5000, 'x');
    }
    AviWriter writer;
    OpenRecording(writer, path, 2, 2);
    const auto frame = PatternFrame(2, 2, 0);
    AppendFrames(writer, {frame, frame, frame});
    // A new recording starts over: the unfinished one is closed, its index forgotten.
    OpenRecording(writer, path, 2, 2);
    AppendFrames(writer, {frame});
    ASSERT_EQ(writer.CloseAvi(), 1);

    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 232u + 8 + 16 + 8 + 16);
    EXPECT_EQ(U32At(bytes, 224), 4u + 8 + 16);
    EXPECT_EQ(U32At(bytes, 48), 1u);
}

}  // namespace
}  // namespace korvix::imaging
