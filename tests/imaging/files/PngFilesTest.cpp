#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "imaging/files/FileBytes.h"
#include "imaging/files/ImageSaver.h"
#include "imaging/files/PngWriter.h"
#include "imaging/files/TestImages.h"
#include "support/TestEnvironment.h"

// PNG files read back through libpng's own reader, without transformations, so the
// samples are seen as stored: red first, 16-bit samples high byte first.

namespace korvix::imaging {
namespace {

using test::PatternImage;
using test::PatternSample;

struct DecodedPng {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    std::vector<std::vector<uint8_t>> rows;

    // Sample `channel` of pixel (row, column), 8 or 16 bits (big-endian in the file).
    uint16_t Sample(uint32_t row, uint32_t column, int channels, int channel) const {
        const size_t index = static_cast<size_t>(column) * channels + channel;
        if (bitDepth == 8) return rows[row][index];
        return static_cast<uint16_t>(rows[row][2 * index] << 8 | rows[row][2 * index + 1]);
    }
};

DecodedPng ReadPng(const std::filesystem::path &path) {
    DecodedPng decoded;
    std::FILE *file = std::fopen(path.string().c_str(), "rb");
    if (file == nullptr) return decoded;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
        decoded.width = png_get_image_width(png, info);
        decoded.height = png_get_image_height(png, info);
        decoded.bitDepth = png_get_bit_depth(png, info);
        decoded.colorType = png_get_color_type(png, info);
        decoded.interlace = png_get_interlace_type(png, info);
        const size_t rowBytes = png_get_rowbytes(png, info);
        png_bytepp rows = png_get_rows(png, info);
        for (uint32_t r = 0; r < decoded.height; ++r) {
            decoded.rows.emplace_back(rows[r], rows[r] + rowBytes);
        }
        decoded.ok = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return decoded;
}

std::filesystem::path SavePng(const FrameImage &image, const std::string &name, int depth) {
    const auto path = test::TestDirectory() / name;
    EXPECT_EQ(SaveImageFile(path.string().c_str(), &image, kImageFilePng, depth), 1) << name;
    return path;
}

TEST(ImagingPngFiles, GrayImagesAreStoredTopRowFirst) {
    const auto image = PatternImage(7, 3, 8);
    const DecodedPng png = ReadPng(SavePng(*image, "gray8.png", 16));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.width, 7u);
    EXPECT_EQ(png.height, 3u);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_GRAY);
    EXPECT_EQ(png.interlace, PNG_INTERLACE_NONE);
    for (uint32_t row = 0; row < 3; ++row) {
        for (uint32_t column = 0; column < 7; ++column) {
            ASSERT_EQ(png.Sample(row, column, 1, 0), PatternSample(8, row, column, 0));
        }
    }
}

TEST(ImagingPngFiles, SixteenBitSamplesAreStoredHighByteFirst) {
    const auto image = PatternImage(5, 2, 16);
    // A sample of 0x1234 must appear as the bytes 0x12, 0x34.
    image->Bits()[0] = 0x34;
    image->Bits()[1] = 0x12;
    const DecodedPng png = ReadPng(SavePng(*image, "gray16.png", 16));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.bitDepth, 16);
    EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_GRAY);
    EXPECT_EQ(png.rows[0][0], 0x12);
    EXPECT_EQ(png.rows[0][1], 0x34);
    EXPECT_EQ(png.Sample(1, 4, 1, 0), PatternSample(16, 1, 4, 0));
}

TEST(ImagingPngFiles, ShallowSamplesAreShiftedToTheTop) {
    const auto gray = PatternImage(4, 2, 16);
    const auto color = PatternImage(4, 2, 48);
    const DecodedPng gray12 = ReadPng(SavePng(*gray, "gray12.png", 12));
    const DecodedPng gray10 = ReadPng(SavePng(*gray, "gray10.png", 10));
    const DecodedPng color10 = ReadPng(SavePng(*color, "color10.png", 10));
    ASSERT_TRUE(gray12.ok && gray10.ok && color10.ok);
    EXPECT_EQ(gray12.Sample(1, 3, 1, 0), PatternSample(16, 1, 3, 0) << 4);
    EXPECT_EQ(gray10.Sample(1, 3, 1, 0), PatternSample(16, 1, 3, 0) << 6);
    EXPECT_EQ(color10.colorType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(color10.Sample(1, 3, 3, 0), PatternSample(48, 1, 3, 2) << 6) << "red";
    EXPECT_EQ(color10.Sample(1, 3, 3, 2), PatternSample(48, 1, 3, 0) << 6) << "blue";
}

TEST(ImagingPngFiles, ColorImagesAreStoredRedFirst) {
    for (int bitCount : {24, 48}) {
        const auto image = PatternImage(6, 3, bitCount);
        const DecodedPng png =
            ReadPng(SavePng(*image, "rgb" + std::to_string(bitCount) + ".png", 16));
        ASSERT_TRUE(png.ok);
        EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB);
        EXPECT_EQ(png.bitDepth, bitCount == 24 ? 8 : 16);
        for (uint32_t row = 0; row < 3; ++row) {
            for (uint32_t column = 0; column < 6; ++column) {
                for (int channel = 0; channel < 3; ++channel) {
                    ASSERT_EQ(png.Sample(row, column, 3, channel),
                              PatternSample(bitCount, row, column, 2 - channel))
                        << bitCount << " bits, pixel " << row << "," << column;
                }
            }
        }
    }
}

TEST(ImagingPngFiles, FourSampleImagesAreOpaque) {
    const auto image32 = PatternImage(5, 4, 32);
    const auto image64 = PatternImage(5, 4, 64);
    const DecodedPng png32 = ReadPng(SavePng(*image32, "rgba32.png", 16));
    const DecodedPng png64 = ReadPng(SavePng(*image64, "rgba64.png", 16));
    const DecodedPng png64at12 = ReadPng(SavePng(*image64, "rgba64-12.png", 12));
    ASSERT_TRUE(png32.ok && png64.ok && png64at12.ok);
    EXPECT_EQ(png32.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(png32.bitDepth, 8);
    EXPECT_EQ(png64.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(png64.bitDepth, 16);
    for (uint32_t row = 0; row < 4; ++row) {
        for (uint32_t column = 0; column < 5; ++column) {
            ASSERT_EQ(png32.Sample(row, column, 4, 3), 255);
            ASSERT_EQ(png64.Sample(row, column, 4, 3), 65535);
            ASSERT_EQ(png64at12.Sample(row, column, 4, 3), 65535);
            ASSERT_EQ(png32.Sample(row, column, 4, 0), PatternSample(32, row, column, 2));
            ASSERT_EQ(png64.Sample(row, column, 4, 0), PatternSample(64, row, column, 2));
            ASSERT_EQ(png64at12.Sample(row, column, 4, 2), PatternSample(64, row, column, 0) << 4);
        }
    }
    // The saved image itself is left as it was.
    EXPECT_EQ(image64->Bits()[6], 0);
    EXPECT_EQ(image64->Bits()[7], 0);
}

TEST(ImagingPngFiles, LibraryErrorFailsTheSaveAndClosesTheFile) {
    // libpng refuses rows wider than a million pixels; its error must come back as 0.
    constexpr int32_t kTooWide = 1'000'001;
    std::vector<uint8_t> bits(static_cast<size_t>(FrameImage::PitchFor(kTooWide, 8)));
    const auto path = test::TestDirectory() / "wide.png";
    const int openFiles = test::OpenFileCount();
    EXPECT_EQ(WritePng(path.string().c_str(), bits.data(), kTooWide, 1, 8), 0);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(test::OpenFileCount(), openFiles) << "the file must be closed";
    // The writer is usable again at once.
    EXPECT_EQ(WritePng(path.string().c_str(), bits.data(), 8, 1, 8), 1);
    EXPECT_TRUE(ReadPng(path).ok);
}

TEST(ImagingPngFiles, WriterRefusesBitCountsWithoutPngForm) {
    const uint8_t bits[16] = {};
    const auto path = test::TestDirectory() / "odd.png";
    EXPECT_EQ(WritePng(path.string().c_str(), bits, 2, 2, 12), 0);
    EXPECT_EQ(WritePng(path.string().c_str(), nullptr, 2, 2, 8), 0);
    EXPECT_EQ(WritePng(path.string().c_str(), bits, 0, 2, 8), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ImagingPngFiles, ConcurrentSavesEachWriteTheirOwnFile) {
    // Two sessions saving at once must not share working state.
    const auto gray = PatternImage(320, 240, 16);
    const auto color = PatternImage(200, 150, 64);
    const auto grayReference = SavePng(*gray, "gray-reference.png", 16);
    const auto colorReference = SavePng(*color, "color-reference.png", 16);
    constexpr int kRounds = 10;
    auto saveRepeatedly = [](const FrameImage &image, const std::string &prefix) {
        for (int round = 0; round < kRounds; ++round) {
            const auto path = test::TestDirectory() / (prefix + std::to_string(round) + ".png");
            EXPECT_EQ(SaveImageFile(path.string().c_str(), &image, kImageFilePng, 16), 1);
        }
    };
    std::thread first(saveRepeatedly, std::cref(*gray), "gray-");
    std::thread second(saveRepeatedly, std::cref(*color), "color-");
    first.join();
    second.join();
    const auto grayBytes = test::ReadFileBytes(grayReference);
    const auto colorBytes = test::ReadFileBytes(colorReference);
    for (int round = 0; round < kRounds; ++round) {
        const auto suffix = std::to_string(round) + ".png";
        EXPECT_EQ(test::ReadFileBytes(test::TestDirectory() / ("gray-" + suffix)), grayBytes);
        EXPECT_EQ(test::ReadFileBytes(test::TestDirectory() / ("color-" + suffix)), colorBytes);
    }
}

}  // namespace
}  // namespace korvix::imaging
