#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FrameFiles.h"
#include "SimulatedCameras.h"
#include "imaging/files/ExternalTool.h"
#include "imaging/files/FileBytes.h"

namespace korvix::test {
namespace {

// Sub-sampled frames (640 x 512) keep the files small; the ramp scene is free of noise.
constexpr int kWidth = 640;
constexpr int kHeight = 512;

class SystemSaveImage : public SimulatedCamerasTest {
  protected:
    int OpenCamera() {
        UseCameras("imx990:scene=ramp");
        const int handle = NewHandle();
        EXPECT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
        EXPECT_EQ(Korvix_SetSubSample(handle, 1), 1);
        return handle;
    }

    // What ImageMagick reads from a file as gray samples of `depth` bits, rows without
    // padding, little-endian words.
    static std::string Decoded(const std::string &path, int depth) {
        return RunTool("convert " + ShellQuote(path) + " -endian LSB -depth " +
                       std::to_string(depth) + " gray:-")
            .value_or("");
    }
};

// The frame's samples without row padding, as a reader returns them.
std::string Expected(const std::vector<uint8_t> &frame, int bits) {
    std::string out;
    const size_t pitch = FramePitch(kWidth, bits);
    for (int y = 0; y < kHeight; ++y) {
        out.append(reinterpret_cast<const char *>(frame.data() + y * pitch), kWidth * bits / 8);
    }
    return out;
}

TEST_F(SystemSaveImage, NotReadyBeforeTheFirstFrame) {
    const int handle = OpenCamera();
    EXPECT_EQ(Korvix_SaveImage(handle, PathIn("none.bmp").c_str(), 0), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_NOT_READY});
    EXPECT_FALSE(std::filesystem::exists(PathIn("none.bmp")));
}

// Every file type of both colour modes of the monochrome cameras: the lossless ones read
// back as the frame's very samples, the JPEG files as pictures of the frame's size,
// quality 100 within a step. BMP files of 16 bits are checked byte by byte. (The colour
// modes, which no camera of this model delivers, are the image saver's own tests.)
TEST_F(SystemSaveImage, EveryTypeOfBothColourModesHoldsTheFrame) {
    if (!ToolAvailable("convert")) GTEST_SKIP() << "ImageMagick not installed";
    const int handle = OpenCamera();
    for (int bits : {8, 16}) {
        ASSERT_EQ(Korvix_SetColorMode(handle, bits), 1);
        std::vector<uint8_t> frame(size_t(FramePitch(kWidth, bits)) * kHeight);
        ASSERT_EQ(Korvix_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1), 1);
        const int depth = bits;
        const std::string expected = Expected(frame, bits);
        for (int type = 0; type <= 6; ++type) {
            const std::string path =
                PathIn("frame" + std::to_string(bits) + "." + std::to_string(type));
            ASSERT_EQ(
                Korvix_SaveImageW(handle, std::wstring(path.begin(), path.end()).c_str(), type), 1)
                << bits << " bits, type " << type;
            const std::string context =
                std::to_string(bits) + " bits, type " + std::to_string(type);
            if (type == 1) {  // raw: the buffer as it is
                const std::vector<uint8_t> raw = ReadFileBytes(path);
                EXPECT_TRUE(raw == frame) << context;
            } else if (type == 0 && bits == 16) {
                // BMP has no 16-bit gray that readers take as such: the file holds the
                // frame's own pixels, bottom row first.
                const std::vector<uint8_t> bmp = ReadFileBytes(path);
                const size_t pitch = FramePitch(kWidth, bits);
                ASSERT_EQ(bmp.size(), 54 + pitch * kHeight) << context;
                for (int y = 0; y < kHeight; ++y) {
                    ASSERT_EQ(std::memcmp(bmp.data() + 54 + y * pitch,
                                          frame.data() + (kHeight - 1 - y) * pitch, pitch),
                              0)
                        << context << ", row " << y;
                }
            } else if (type >= 2 && type <= 4) {
                const auto size = RunTool("identify -format %w,%h " + ShellQuote(path));
                EXPECT_EQ(size.value_or(""), "640,512") << context;
                if (type != 2) continue;
                // Quality 100 of the 8-bit picture the JPEG writer makes (high bytes).
                const std::string decoded = Decoded(path, 8);
                ASSERT_EQ(decoded.size(), expected.size() / (depth / 8)) << context;
                int64_t error = 0;
                for (size_t i = 0; i < decoded.size(); ++i) {
                    const int sample =
                        depth == 8 ? uint8_t(expected[i]) : uint8_t(expected[2 * i + 1]);
                    error += std::abs(int(uint8_t(decoded[i])) - sample);
                }
                EXPECT_LE(error, int64_t(decoded.size())) << context << ": mean error above 1";
            } else {
                EXPECT_TRUE(Decoded(path, depth) == expected) << context;
            }
        }
    }
}

}  // namespace
}  // namespace korvix::test
