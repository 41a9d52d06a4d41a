#include <gtest/gtest.h>

#include <string>

#include "imaging/files/ExternalTool.h"
#include "imaging/files/ImageSaver.h"
#include "imaging/files/TestImages.h"
#include "support/TestEnvironment.h"

// ImageMagick reads the saved files as any other program would: format, size, sample
// depth, channels, and the picture the right way up with its colours in place.

namespace korvix::imaging {
namespace {

using test::PatternImage;
using test::PatternSample;
using test::RunTool;
using test::ShellQuote;

// 62 pixels wide, so that 8- and 24-bit rows carry padding the files must handle.
constexpr int32_t kWidth = 62;
constexpr int32_t kHeight = 48;

class ImagingImageReaders : public testing::Test {
  protected:
    void SetUp() override {
        if (!test::ToolAvailable("identify")) GTEST_SKIP() << "ImageMagick not installed";
    }

    // Saves a pattern image and returns what identify prints for `format`.
    std::string Identify(int bitCount, int fileType, const std::string &format,
                         const std::string &readAs = "") {
        const auto image = PatternImage(kWidth, kHeight, bitCount);
        const auto path = test::TestDirectory() /
                          ("image" + std::to_string(bitCount) + "-" + std::to_string(fileType));
        EXPECT_EQ(SaveImageFile(path.string().c_str(), image.get(), fileType, 16), 1);
        const auto output =
            RunTool("identify " + readAs + " -format " + ShellQuote(format) + " " +
                    ShellQuote(readAs.empty() ? path.string() : "gray:" + path.string()));
        return output.value_or("identify rejected the file");
    }
};

struct Expected {
    int bitCount;
    int fileType;
    const char *report;  // format, width, height, depth, channels
};

TEST_F(ImagingImageReaders, IdentifyReportsFormatSizeDepthAndChannels) {
    const Expected cases[] = {
        {8, kImageFileBmp, "BMP3 62 48 8 srgb"},
        {24, kImageFileBmp, "BMP3 62 48 8 srgb"},
        {32, kImageFileBmp, "BMP3 62 48 8 srgb"},
        {8, kImageFileJpegQuality100, "JPEG 62 48 8 gray"},
        {16, kImageFileJpegQuality70, "JPEG 62 48 8 gray"},
        {24, kImageFileJpegQuality20, "JPEG 62 48 8 srgb"},
        {32, kImageFileJpegQuality100, "JPEG 62 48 8 srgb"},
        {48, kImageFileJpegQuality70, "JPEG 62 48 8 srgb"},
        {64, kImageFileJpegQuality20, "JPEG 62 48 8 srgb"},
        {8, kImageFilePng, "PNG 62 48 8 gray"},
        {16, kImageFilePng, "PNG 62 48 16 gray"},
        {24, kImageFilePng, "PNG 62 48 8 srgb"},
        {32, kImageFilePng, "PNG 62 48 8 srgba"},
        {48, kImageFilePng, "PNG 62 48 16 srgb"},
        {64, kImageFilePng, "PNG 62 48 16 srgba"},
        {8, kImageFileTiff, "TIFF 62 48 8 gray"},
        {16, kImageFileTiff, "TIFF 62 48 16 gray"},
        {24, kImageFileTiff, "TIFF 62 48 8 srgb"},
        {32, kImageFileTiff, "TIFF 62 48 8 srgba"},
        {48, kImageFileTiff, "TIFF 62 48 16 srgb"},
        {64, kImageFileTiff, "TIFF 62 48 16 srgba"},
    };
    for (const Expected &expected : cases) {
        EXPECT_EQ(Identify(expected.bitCount, expected.fileType, "%m %w %h %z %[channels]"),
                  expected.report)
            << expected.bitCount << " bits, file type " << expected.fileType;
    }
}

// The red, green and blue samples of the top-left and bottom-left pixels as stored in a
// pattern image, and the identify format that prints them at the image's sample scale.
std::string ExpectedCorners(int bitCount) {
    std::string text;
    for (int32_t row : {0, kHeight - 1}) {
        if (!text.empty()) text += " ";
        text += std::to_string(PatternSample(bitCount, row, 0, 2)) + "," +
                std::to_string(PatternSample(bitCount, row, 0, 1)) + "," +
                std::to_string(PatternSample(bitCount, row, 0, 0));
    }
    return text;
}

std::string CornersFormat(int bitCount) {
    const std::string scale = bitCount == 48 ? "65535" : "255";
    std::string format;
    for (const char *pixel : {"p{0,0}", "p{0,47}"}) {
        if (!format.empty()) format += " ";
        for (const char *channel : {".r", ".g", ".b"}) {
            if (format.size() > 0 && format.back() != ' ') format += ",";
            format += "%[fx:int(" + scale + "*" + pixel + channel + "+0.5)]";
        }
    }
    return format;
}

TEST_F(ImagingImageReaders, IdentifySeesPicturesUprightWithColoursInPlace) {
    for (int fileType : {kImageFileBmp, kImageFilePng, kImageFileTiff}) {
        EXPECT_EQ(Identify(24, fileType, CornersFormat(24)), ExpectedCorners(24))
            << "type " << fileType;
    }
    for (int fileType : {kImageFilePng, kImageFileTiff}) {
        EXPECT_EQ(Identify(48, fileType, CornersFormat(48)), ExpectedCorners(48))
            << "type " << fileType;
    }
}

TEST_F(ImagingImageReaders, RawFileReadsAsGrayPixelsOfItsPitch) {
    // An 8-bit image of width 64 has no padding: the raw file is exactly the picture.
    const auto image = PatternImage(64, kHeight, 8);
    const auto path = test::TestDirectory() / "frame.raw";
    ASSERT_EQ(SaveImageFile(path.string().c_str(), image.get(), kImageFileRaw, 16), 1);
    const auto output = RunTool("identify -size 64x48 -depth 8 -format " +
                                ShellQuote("%m %w %h %z %[fx:int(255*p{3,47}.r+0.5)]") + " " +
                                ShellQuote("gray:" + path.string()));
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(*output, "GRAY 64 48 8 " + std::to_string(PatternSample(8, kHeight - 1, 3, 0)));
}

}  // namespace
}  // namespace korvix::imaging
