#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "imaging/avi/AviLayout.h"
#include "imaging/avi/AviWriter.h"
#include "imaging/files/ExternalTool.h"
#include "support/TestEnvironment.h"

// FFmpeg reads the recordings as any player would: stream format, frame count and the
// frame rate patched in at closing, and the picture the right way up.

namespace korvix::imaging {
namespace {

using test::ParseKeyValues;
using test::RunTool;
using test::ShellQuote;
using test::ToolAvailable;

constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 48;
constexpr int kFrames = 12;

// A bottom-up 24-bit frame (memory row 0 is the bottom of the picture): the bottom
// picture row is blue, the top picture row red, everything else a gray of the frame
// number.
std::vector<uint8_t> BottomUpFrame(int frame) {
    const size_t pitch = avi::FramePitch(kWidth);
    std::vector<uint8_t> pixels(avi::FrameDataSize(kWidth, kHeight),
                                static_cast<uint8_t>(10 * frame));
    for (int32_t x = 0; x < kWidth; ++x) {
        uint8_t *bottom = &pixels[3 * x];
        bottom[0] = 255, bottom[1] = 0, bottom[2] = 0;
        uint8_t *top = &pixels[(kHeight - 1) * pitch + 3 * x];
        top[0] = 0, top[1] = 0, top[2] = 255;
    }
    return pixels;
}

class ImagingAviReaders : public testing::Test {
  protected:
    void SetUp() override {
        if (!ToolAvailable("ffprobe") || !ToolAvailable("ffmpeg")) {
            GTEST_SKIP() << "ffprobe/ffmpeg not installed";
        }
        path_ = (test::TestDirectory() / "recording.avi").string();
        AviWriter writer;
        writer.SetFrameSize(kWidth, kHeight);
        writer.SetRate(30);
        writer.SetFrameCount(0);
        ASSERT_EQ(writer.OpenAvi(path_.c_str()), 1);
        for (int frame = 0; frame < kFrames; ++frame) {
            const auto pixels = BottomUpFrame(frame);
            ASSERT_EQ(writer.AddFrame(pixels.data()), 1);
            writer.SetFrameCount(writer.FrameCount() + 1);
        }
        writer.SetRate(kFrames * 100'000 / 480);  // 12 frames measured over 480 ms: 25 fps
        ASSERT_EQ(writer.CloseAvi(), 1);
    }

    std::string path_;
};

TEST_F(ImagingAviReaders, FfprobeReportsFormatFramesAndMeasuredRate) {
    const auto output = RunTool(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,pix_fmt,width,height,r_frame_rate,avg_frame_rate,nb_frames,"
        "nb_read_frames -of default=noprint_wrappers=1 " +
        ShellQuote(path_));
    ASSERT_TRUE(output.has_value()) << "ffprobe rejected the file";
    const auto stream = ParseKeyValues(*output);
    EXPECT_EQ(stream.at("codec_name"), "rawvideo");
    EXPECT_EQ(stream.at("pix_fmt"), "bgr24");
    EXPECT_EQ(stream.at("width"), std::to_string(kWidth));
    EXPECT_EQ(stream.at("height"), std::to_string(kHeight));
    EXPECT_EQ(stream.at("nb_frames"), std::to_string(kFrames));
    EXPECT_EQ(stream.at("nb_read_frames"), std::to_string(kFrames));
    EXPECT_EQ(stream.at("r_frame_rate"), "25/1");
    EXPECT_EQ(stream.at("avg_frame_rate"), "25/1");
}

TEST_F(ImagingAviReaders, FfmpegDecodesPictureUprightInFrameOrder) {
    const size_t frameBytes = size_t{kWidth} * kHeight * 3;
    const auto decoded =
        RunTool("ffmpeg -v error -i " + ShellQuote(path_) + " -f rawvideo -pix_fmt rgb24 -");
    ASSERT_TRUE(decoded.has_value()) << "ffmpeg could not decode the file";
    ASSERT_EQ(decoded->size(), frameBytes * kFrames);
    for (int frame = 0; frame < kFrames; ++frame) {
        const auto *rgb = reinterpret_cast<const uint8_t *>(decoded->data()) + frame * frameBytes;
        const uint8_t *topLeft = rgb;
        const uint8_t *bottomLeft = rgb + (kHeight - 1) * kWidth * 3;
        const uint8_t *middle = rgb + (kHeight / 2) * kWidth * 3;
        EXPECT_EQ((std::vector<int>{topLeft[0], topLeft[1], topLeft[2]}),
                  (std::vector<int>{255, 0, 0}))
            << "frame " << frame;
        EXPECT_EQ((std::vector<int>{bottomLeft[0], bottomLeft[1], bottomLeft[2]}),
                  (std::vector<int>{0, 0, 255}))
            << "frame " << frame;
        EXPECT_EQ(middle[1], 10 * frame) << "frame order";
    }
}

}  // namespace
}  // namespace korvix::imaging
