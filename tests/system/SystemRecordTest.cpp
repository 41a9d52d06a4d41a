#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "FrameFiles.h"
#include "SimulatedCameras.h"
#include "imaging/files/ExternalTool.h"
#include "imaging/files/FileBytes.h"
#include "support/TestEnvironment.h"

namespace korvix::test {
namespace {

// A sub-sampled window of 1280 x 256: frames of 640 x 128 keep the files small.
constexpr int kWidth = 640;
constexpr int kHeight = 128;
constexpr size_t kTotalFrames = 48;           // AVI main header: total frames
constexpr size_t kMicrosecondsPerFrame = 32;  // AVI main header
constexpr size_t kFirstChunk = 232;

class SystemRecord : public SimulatedCamerasTest {
  protected:
    void SetUp() override {
        if (!ToolAvailable("ffprobe") || !ToolAvailable("ffmpeg")) GTEST_SKIP() << "no FFmpeg";
    }

    // A camera whose scene is a still picture brighter to the right and to the bottom, so
    // that every frame is the same and a turned or mirrored one shows.
    int OpenCamera() {
        UseCameras("imx990");
        std::vector<uint16_t> picture(1280 * 1024);
        for (uint32_t y = 0; y < 1024; ++y) {
            for (uint32_t x = 0; x < 1280; ++x) picture[y * 1280 + x] = uint16_t(x + 2 * y);
        }
        Camera().SetSceneImage(std::move(picture), 1280, 1024);
        const int handle = NewHandle();
        EXPECT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
        EXPECT_EQ(Korvix_SetCaptureWindowEx(handle, 1280, 0, 1280, 1024, 384, 2 * kHeight), 1);
        EXPECT_EQ(Korvix_SetSubSample(handle, 1), 1);
        return handle;
    }

    // Waits for the file to hold `frames` frame chunks of a kWidth x kHeight recording
    // (the event a test needs before stopping), at most a minute.
    static bool WaitForFrames(const std::string &path, size_t frames) {
        const size_t chunk = 8 + size_t(FramePitch(kWidth, 24)) * kHeight;
        for (int tries = 0; tries < 1200; ++tries) {
            std::error_code error;
            if (std::filesystem::file_size(path, error) >= kFirstChunk + frames * chunk)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Waits for a recording to close its file by itself: the total-frames field is written
    // at closing.
    static bool WaitForClosing(const std::string &path) {
        for (int tries = 0; tries < 1200; ++tries) {
            const std::vector<uint8_t> bytes = ReadFileBytes(path);
            if (bytes.size() > kTotalFrames + 4 && U32At(bytes, kTotalFrames) != 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // ffprobe's view of the video stream, frames counted by decoding.
    static std::map<std::string, std::string> Probe(const std::string &path) {
        return ParseKeyValues(
            RunTool("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                    "stream=width,height,nb_frames,nb_read_frames -of default=noprint_wrappers=1 " +
                    ShellQuote(path))
                .value_or(""));
    }
};

TEST_F(SystemRecord, RefusedArgumentsStartNothing) {
    const int handle = OpenCamera();
    EXPECT_EQ(Korvix_Record(handle, "", 1000, 0), 0);
    EXPECT_EQ(Korvix_Record(handle, nullptr, 1000, 0), 0);
    EXPECT_EQ(Korvix_Record(handle, PathIn("negative.avi").c_str(), -1, 0), 0);
    EXPECT_EQ(Korvix_RecordW(handle, nullptr, 1000, 0), 0);
    EXPECT_EQ(Errors(handle), (std::vector<int>{CAMERR_FAILED, CAMERR_PARAMETER, CAMERR_PARAMETER,
                                                CAMERR_PARAMETER}));
    EXPECT_FALSE(std::filesystem::exists(PathIn("negative.avi")));
    // No preview was started: a snapshot, refused during a preview, is taken.
    std::vector<uint8_t> frame(size_t(kWidth) * kHeight);
    EXPECT_EQ(Korvix_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1), 1);
}

// A recording of 2000 ms ends by itself with the first frame past 2000 ms after the first
// one; its file holds as many frames as its header says, and the header's timing spans
// the measured time. A second recording meanwhile is refused.
TEST_F(SystemRecord, TimedRecordingClosesWithTheMeasuredRate) {
    const int handle = OpenCamera();
    const std::string path = PathIn("timed.avi");
    ASSERT_EQ(Korvix_Record(handle, path.c_str(), 2000, 0), 1);
    EXPECT_EQ(Korvix_Record(handle, PathIn("second.avi").c_str(), 2000, 0), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_FAILED});
    ASSERT_TRUE(WaitForClosing(path));

    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    const uint32_t frames = U32At(bytes, kTotalFrames);
    const uint32_t microsecondsPerFrame = U32At(bytes, kMicrosecondsPerFrame);
    EXPECT_GE(frames, 2u);
    EXPECT_GE(uint64_t{frames} * microsecondsPerFrame, 1990000u);
    const auto stream = Probe(path);
    EXPECT_EQ(stream.at("width"), std::to_string(kWidth));
    EXPECT_EQ(stream.at("height"), std::to_string(kHeight));
    EXPECT_EQ(stream.at("nb_frames"), std::to_string(frames));
    EXPECT_EQ(stream.at("nb_read_frames"), std::to_string(frames));

    // The preview goes on; the writer is free for the next recording.
    ASSERT_EQ(Korvix_Record(handle, PathIn("next.avi").c_str(), 0, 0), 1);
    ASSERT_TRUE(WaitForClosing(PathIn("next.avi")));
    EXPECT_EQ(Korvix_StopPreview(handle), 1);
}

// Stopped early, by StopPreview, Close or Release, a recording is closed like one that
// ran its course and plays with every frame it wrote.
TEST_F(SystemRecord, RecordingEndedEarlyHoldsEveryFrame) {
    struct Ender {
        const char *name;
        int (*stop)(int handle);
    };
    const Ender enders[] = {
        {"StopPreview", Korvix_StopPreview}, {"Close", Korvix_Close}, {"Release", Korvix_Release}};
    for (const auto &[ender, stop] : enders) {
        const int handle = OpenCamera();
        const std::string path = PathIn(std::string("early-") + ender + ".avi");
        ASSERT_EQ(Korvix_Record(handle, path.c_str(), 600000, 0), 1);
        ASSERT_TRUE(WaitForFrames(path, 3)) << ender;
        EXPECT_EQ(stop(handle), 1) << ender;

        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        const uint32_t frames = U32At(bytes, kTotalFrames);
        const size_t chunk = 8 + size_t(FramePitch(kWidth, 24)) * kHeight;
        EXPECT_GE(frames, 3u) << ender;
        EXPECT_EQ(bytes.size(), kFirstChunk + frames * chunk + 8 + 16 * frames) << ender;
        const auto stream = Probe(path);
        EXPECT_EQ(stream.at("nb_read_frames"), std::to_string(frames)) << ender;
        Korvix_Release(handle);
    }
}

// With showWindow 0 no preview window is made even where one is wanted: the recording runs
// where no window can be made at all.
TEST_F(SystemRecord, ShowWindowZeroRecordsWithoutAWindow) {
    SetEnvironmentValue("DISPLAY", nullptr);
    const int handle = OpenCamera();
    ASSERT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 320, 256), 1);  // wanted
    EXPECT_EQ(Korvix_Record(handle, PathIn("window.avi").c_str(), 100, 1), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_WINDOW});
    const std::string path = PathIn("nowindow.avi");
    ASSERT_EQ(Korvix_Record(handle, path.c_str(), 100, 0), 1);
    ASSERT_TRUE(WaitForClosing(path));
    EXPECT_GE(U32At(ReadFileBytes(path), kTotalFrames), 1u);
}

// In both colour modes of the monochrome cameras the recorded frames are the preview's
// picture, upright. (The colour modes, which no camera of this model delivers, are the
// frame recorder's own tests.)
TEST_F(SystemRecord, BothColourModesRecordThePreviewPictureUpright) {
    const int handle = OpenCamera();
    for (int bits : {8, 16}) {
        ASSERT_EQ(Korvix_SetColorMode(handle, bits), 1);
        std::vector<uint8_t> frame(size_t(FramePitch(kWidth, bits)) * kHeight);
        ASSERT_EQ(Korvix_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1), 1);
        const std::string path = PathIn("mode" + std::to_string(bits) + ".avi");
        ASSERT_EQ(Korvix_Record(handle, path.c_str(), 600000, 0), 1);
        ASSERT_TRUE(WaitForFrames(path, 2));
        ASSERT_EQ(Korvix_StopPreview(handle), 1);

        const auto decoded =
            RunTool("ffmpeg -v error -i " + ShellQuote(path) + " -f rawvideo -pix_fmt rgb24 -");
        ASSERT_TRUE(decoded.has_value()) << bits;
        const size_t frameBytes = size_t(kWidth) * kHeight * 3;
        ASSERT_GE(decoded->size(), 2 * frameBytes) << bits;
        ASSERT_EQ(decoded->size() % frameBytes, 0u) << bits;
        for (size_t at = 0; at < decoded->size(); at += frameBytes) {
            const auto *rgb = reinterpret_cast<const uint8_t *>(decoded->data()) + at;
            for (int y = 0; y < kHeight; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    const uint8_t shown = ShownGray(frame, kWidth, bits, x, y);
                    const uint8_t *pixel = rgb + (size_t(y) * kWidth + x) * 3;
                    ASSERT_TRUE(pixel[0] == shown && pixel[1] == shown && pixel[2] == shown)
                        << bits << " bits, frame " << at / frameBytes << ", pixel " << x << ","
                        << y;
                }
            }
        }
    }
}

}  // namespace
}  // namespace korvix::test
