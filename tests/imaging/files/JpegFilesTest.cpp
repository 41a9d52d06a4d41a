#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "imaging/files/FileBytes.h"
#include "imaging/files/ImageSaver.h"
#include "imaging/files/JpegWriter.h"
#include "imaging/files/TestImages.h"
#include "support/TestEnvironment.h"

// JPEG files read back through libjpeg's own decompressor.

namespace korvix::imaging {
namespace {

using test::PatternImage;

struct DecodedJpeg {
    bool ok = false;
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
    std::vector<uint8_t> pixels;  // top row first, red first for colour

    int At(int row, int column, int channel) const {
        return pixels[(static_cast<size_t>(row) * width + column) * components + channel];
    }
};

struct ReaderErrors {
    jpeg_error_mgr library;
    std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ReaderErrors *>(info->err)->jump, 1);
}

bool Decompress(jpeg_decompress_struct *reader, ReaderErrors *errors, std::FILE *file,
                DecodedJpeg *decoded) {
    if (setjmp(errors->jump) != 0) return false;
    jpeg_create_decompress(reader);
    jpeg_stdio_src(reader, file);
    jpeg_read_header(reader, TRUE);
    decoded->progressive = jpeg_has_multiple_scans(reader);
    decoded->colorSpace = reader->jpeg_color_space;
    decoded->components = reader->num_components;
    jpeg_start_decompress(reader);
    decoded->width = static_cast<int>(reader->output_width);
    decoded->height = static_cast<int>(reader->output_height);
    const size_t rowBytes = reader->output_width * reader->output_components;
    decoded->pixels.resize(rowBytes * reader->output_height);
    while (reader->output_scanline < reader->output_height) {
        JSAMPROW row = decoded->pixels.data() + rowBytes * reader->output_scanline;
        jpeg_read_scanlines(reader, &row, 1);
    }
    jpeg_finish_decompress(reader);
    return true;
}

DecodedJpeg ReadJpeg(const std::filesystem::path &path) {
    DecodedJpeg decoded;
    std::FILE *file = std::fopen(path.string().c_str(), "rb");
    if (file == nullptr) return decoded;
    jpeg_decompress_struct reader{};
    ReaderErrors errors{};
    reader.err = jpeg_std_error(&errors.library);
    errors.library.error_exit = JumpBack;
    decoded.ok = Decompress(&reader, &errors, file, &decoded);
    jpeg_destroy_decompress(&reader);
    std::fclose(file);
    return decoded;
}

// An image of four flat quadrants, red and green on top, white and blue below, which
// JPEG keeps within a few levels away from the edges. 16-bit samples carry the level in
// their high byte and other bits below it, which saving at depth 16 drops.
std::unique_ptr<FrameImage> QuadrantImage(int bitCount) {
    struct Rgb {
        uint8_t red, green, blue;
    };
    const Rgb quadrants[2][2] = {{{255, 0, 0}, {0, 255, 0}}, {{255, 255, 255}, {0, 0, 255}}};
    auto image = std::make_unique<FrameImage>();
    EXPECT_EQ(image->Create(64, 48, bitCount), 1);
    const bool wide = bitCount >= 48;
    for (int32_t row = 0; row < 48; ++row) {
        for (int32_t column = 0; column < 64; ++column) {
            const Rgb color = quadrants[row >= 24][column >= 32];
            const uint8_t bgr[3] = {color.blue, color.green, color.red};
            uint8_t *pixel = image->Bits() + row * image->Pitch() + column * image->BytesPerPixel();
            for (int channel = 0; channel < 3; ++channel) {
                if (wide) {
                    pixel[2 * channel] = 0x5A;
                    pixel[2 * channel + 1] = bgr[channel];
                } else {
                    pixel[channel] = bgr[channel];
                }
            }
        }
    }
    return image;
}

DecodedJpeg SaveAndRead(const FrameImage &image, const std::string &name, int fileType, int depth) {
    const auto path = test::TestDirectory() / name;
    EXPECT_EQ(SaveImageFile(path.string().c_str(), &image, fileType, depth), 1) << name;
    return ReadJpeg(path);
}

void ExpectColor(const DecodedJpeg &jpeg, int row, int column, int red, int green, int blue) {
    constexpr int kTolerance = 6;
    EXPECT_NEAR(jpeg.At(row, column, 0), red, kTolerance) << row << "," << column;
    EXPECT_NEAR(jpeg.At(row, column, 1), green, kTolerance) << row << "," << column;
    EXPECT_NEAR(jpeg.At(row, column, 2), blue, kTolerance) << row << "," << column;
}

TEST(ImagingJpegFiles, ColorImagesBecomeProgressiveRgbUpright) {
    for (int bitCount : {24, 32, 48, 64}) {
        SCOPED_TRACE(bitCount);
        const auto image = QuadrantImage(bitCount);
        const DecodedJpeg jpeg = SaveAndRead(*image, "color" + std::to_string(bitCount) + ".jpg",
                                             kImageFileJpegQuality100, 16);
        ASSERT_TRUE(jpeg.ok);
        EXPECT_EQ(jpeg.width, 64);
        EXPECT_EQ(jpeg.height, 48);
        EXPECT_EQ(jpeg.components, 3);
        EXPECT_EQ(jpeg.colorSpace, JCS_YCbCr);
        EXPECT_TRUE(jpeg.progressive);
        ExpectColor(jpeg, 4, 4, 255, 0, 0);
        ExpectColor(jpeg, 4, 60, 0, 255, 0);
        ExpectColor(jpeg, 44, 4, 255, 255, 255);
        ExpectColor(jpeg, 44, 60, 0, 0, 255);
    }
}

TEST(ImagingJpegFiles, GrayImagesBecomeOneComponentUpright) {
    FrameImage gray8;
    FrameImage gray16;
    ASSERT_EQ(gray8.Create(32, 16, 8), 1);
    ASSERT_EQ(gray16.Create(32, 16, 16), 1);
    for (int32_t row = 0; row < 16; ++row) {
        const uint8_t level = row < 8 ? 200 : 40;
        for (int32_t column = 0; column < 32; ++column) {
            gray8.Bits()[row * gray8.Pitch() + column] = level;
            // 16-bit sample whose high byte, bits 4..11 and bits 2..9 all differ.
            const uint16_t sample = static_cast<uint16_t>(level << 8 | 0x9C);
            gray16.Bits()[row * gray16.Pitch() + 2 * column] = static_cast<uint8_t>(sample);
            gray16.Bits()[row * gray16.Pitch() + 2 * column + 1] =
                static_cast<uint8_t>(sample >> 8);
        }
    }
    const DecodedJpeg from8 = SaveAndRead(gray8, "gray8.jpg", kImageFileJpegQuality100, 16);
    const DecodedJpeg from16 = SaveAndRead(gray16, "gray16.jpg", kImageFileJpegQuality100, 16);
    const DecodedJpeg from12 = SaveAndRead(gray16, "gray12.jpg", kImageFileJpegQuality100, 12);
    const DecodedJpeg from10 = SaveAndRead(gray16, "gray10.jpg", kImageFileJpegQuality100, 10);
    ASSERT_TRUE(from8.ok && from16.ok && from12.ok && from10.ok);
    EXPECT_EQ(from8.components, 1);
    EXPECT_EQ(from8.colorSpace, JCS_GRAYSCALE);
    EXPECT_TRUE(from8.progressive);
    EXPECT_EQ(from16.components, 1);
    constexpr int kTolerance = 3;
    for (int level : {200, 40}) {
        const int row = level == 200 ? 2 : 13;
        const uint16_t sample = static_cast<uint16_t>(level << 8 | 0x9C);
        EXPECT_NEAR(from8.At(row, 5, 0), level, kTolerance);
        EXPECT_NEAR(from16.At(row, 5, 0), sample >> 8, kTolerance);
        EXPECT_NEAR(from12.At(row, 5, 0), (sample >> 4) & 0xFF, kTolerance);
        EXPECT_NEAR(from10.At(row, 5, 0), (sample >> 2) & 0xFF, kTolerance);
    }
}

TEST(ImagingJpegFiles, LowerQualityGivesSmallerFiles) {
    const auto image = PatternImage(128, 96, 24);
    std::vector<uintmax_t> sizes;
    for (int fileType :
         {kImageFileJpegQuality100, kImageFileJpegQuality70, kImageFileJpegQuality20}) {
        const auto path = test::TestDirectory() / ("q" + std::to_string(fileType) + ".jpg");
        ASSERT_EQ(SaveImageFile(path.string().c_str(), image.get(), fileType, 16), 1);
        ASSERT_TRUE(ReadJpeg(path).ok);
        sizes.push_back(std::filesystem::file_size(path));
    }
    EXPECT_GT(sizes[0], sizes[1]);
    EXPECT_GT(sizes[1], sizes[2]);
}

TEST(ImagingJpegFiles, LibraryErrorFailsTheSaveAndClosesTheFile) {
    // libjpeg refuses images wider than 65500 pixels; its error must come back as 0.
    FrameImage tooWide;
    ASSERT_EQ(tooWide.Create(65'501, 1, 8), 1);
    const auto path = test::TestDirectory() / "wide.jpg";
    const int openFiles = test::OpenFileCount();
    EXPECT_EQ(WriteJpeg(path.string().c_str(), tooWide, 90, true), 0);
    EXPECT_EQ(test::OpenFileCount(), openFiles);
    // The writer is usable again at once.
    FrameImage small;
    ASSERT_EQ(small.Create(8, 8, 8), 1);
    EXPECT_EQ(WriteJpeg(path.string().c_str(), small, 90, true), 1);
    EXPECT_TRUE(ReadJpeg(path).ok);
}

}  // namespace
}  // namespace korvix::imaging
