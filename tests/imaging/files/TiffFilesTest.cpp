#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "imaging/files/FileBytes.h"
#include "imaging/files/ImageSaver.h"
#include "imaging/files/TestImages.h"
#include "support/TestEnvironment.h"

// TIFF files read back through libtiff's own reader: tags, one strip, samples red first.

namespace korvix::imaging {
namespace {

using test::PatternImage;
using test::PatternSample;

struct DecodedTiff {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bitsPerSample = 0;
    uint16_t samplesPerPixel = 0;
    uint16_t photometric = 0;
    uint16_t compression = 0;
    uint16_t planar = 0;
    uint32_t strips = 0;
    std::vector<uint16_t> extraSamples;
    std::vector<uint8_t> strip;

    uint16_t Sample(uint32_t row, uint32_t column, int channel) const {
        const size_t index =
            (static_cast<size_t>(row) * width + column) * samplesPerPixel + channel;
        if (bitsPerSample == 8) return strip[index];
        uint16_t value;
        std::memcpy(&value, &strip[2 * index], 2);  // libtiff hands samples in host order
        return value;
    }
};

DecodedTiff ReadTiff(const std::filesystem::path &path) {
    DecodedTiff decoded;
    TIFF *tiff = TIFFOpen(path.string().c_str(), "r");
    if (tiff == nullptr) return decoded;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &decoded.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &decoded.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &decoded.bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &decoded.samplesPerPixel);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &decoded.photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &decoded.compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &decoded.planar);
    uint16_t extraCount = 0;
    uint16_t *extra = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) == 1) {
        decoded.extraSamples.assign(extra, extra + extraCount);
    }
    decoded.strips = TIFFNumberOfStrips(tiff);
    decoded.strip.resize(static_cast<size_t>(TIFFStripSize(tiff)));
    decoded.ok = TIFFReadEncodedStrip(tiff, 0, decoded.strip.data(),
                                      static_cast<tmsize_t>(decoded.strip.size())) ==
                 static_cast<tmsize_t>(decoded.strip.size());
    TIFFClose(tiff);
    return decoded;
}

DecodedTiff SaveAndRead(const FrameImage &image, const std::string &name, int depth) {
    const auto path = test::TestDirectory() / name;
    EXPECT_EQ(SaveImageFile(path.string().c_str(), &image, kImageFileTiff, depth), 1) << name;
    return ReadTiff(path);
}

TEST(ImagingTiffFiles, ColorImageIsOneStripOfRedGreenBlue) {
    const auto image = PatternImage(5, 3, 24);  // pitch 16: the strip drops the padding
    test::SetPixel8(*image, 0, 0, 30, 20, 10);
    const DecodedTiff tiff = SaveAndRead(*image, "rgb24.tif", 16);
    ASSERT_TRUE(tiff.ok);
    EXPECT_EQ(tiff.width, 5u);
    EXPECT_EQ(tiff.height, 3u);
    EXPECT_EQ(tiff.bitsPerSample, 8);
    EXPECT_EQ(tiff.samplesPerPixel, 3);
    EXPECT_EQ(tiff.photometric, PHOTOMETRIC_RGB);
    EXPECT_EQ(tiff.compression, COMPRESSION_NONE);
    EXPECT_EQ(tiff.planar, PLANARCONFIG_CONTIG);
    EXPECT_EQ(tiff.strips, 1u);
    ASSERT_EQ(tiff.strip.size(), 5u * 3 * 3);
    EXPECT_EQ(tiff.strip[0], 10) << "red first";
    EXPECT_EQ(tiff.strip[1], 20);
    EXPECT_EQ(tiff.strip[2], 30);
    for (uint32_t row = 0; row < 3; ++row) {
        for (uint32_t column = 0; column < 5; ++column) {
            if (row == 0 && column == 0) continue;
            for (int channel = 0; channel < 3; ++channel) {
                ASSERT_EQ(tiff.Sample(row, column, channel),
                          PatternSample(24, row, column, 2 - channel));
            }
        }
    }
}

TEST(ImagingTiffFiles, FourthSampleIsZeroOrOpaqueAndMarkedExtra) {
    const auto image32 = PatternImage(3, 2, 32);
    const auto image64 = PatternImage(3, 2, 64);
    const DecodedTiff tiff32 = SaveAndRead(*image32, "rgb32.tif", 16);
    const DecodedTiff tiff64 = SaveAndRead(*image64, "rgb64.tif", 16);
    ASSERT_TRUE(tiff32.ok && tiff64.ok);
    EXPECT_EQ(tiff32.samplesPerPixel, 4);
    EXPECT_EQ(tiff32.bitsPerSample, 8);
    EXPECT_EQ(tiff64.samplesPerPixel, 4);
    EXPECT_EQ(tiff64.bitsPerSample, 16);
    EXPECT_EQ(tiff32.extraSamples, std::vector<uint16_t>{EXTRASAMPLE_UNSPECIFIED});
    EXPECT_EQ(tiff64.extraSamples, std::vector<uint16_t>{EXTRASAMPLE_UNSPECIFIED});
    for (uint32_t row = 0; row < 2; ++row) {
        for (uint32_t column = 0; column < 3; ++column) {
            EXPECT_EQ(tiff32.Sample(row, column, 0), PatternSample(32, row, column, 2));
            EXPECT_EQ(tiff32.Sample(row, column, 3), 0);
            EXPECT_EQ(tiff64.Sample(row, column, 0), PatternSample(64, row, column, 2));
            EXPECT_EQ(tiff64.Sample(row, column, 2), PatternSample(64, row, column, 0));
            EXPECT_EQ(tiff64.Sample(row, column, 3), 65535);
        }
    }
}

TEST(ImagingTiffFiles, SixteenBitSamplesFollowTheSampleDepth) {
    const auto gray = PatternImage(3, 2, 16);
    const auto color = PatternImage(3, 2, 48);
    const int shifts[] = {0, 4, 6};
    const int depths[] = {16, 12, 10};
    for (int i = 0; i < 3; ++i) {
        const auto suffix = std::to_string(depths[i]) + ".tif";
        const DecodedTiff grayTiff = SaveAndRead(*gray, "gray" + suffix, depths[i]);
        const DecodedTiff colorTiff = SaveAndRead(*color, "rgb48-" + suffix, depths[i]);
        ASSERT_TRUE(grayTiff.ok && colorTiff.ok);
        EXPECT_EQ(grayTiff.photometric, PHOTOMETRIC_MINISBLACK);
        EXPECT_EQ(grayTiff.bitsPerSample, 16);
        EXPECT_EQ(colorTiff.samplesPerPixel, 3);
        EXPECT_EQ(grayTiff.Sample(1, 2, 0), PatternSample(16, 1, 2, 0) << shifts[i]);
        EXPECT_EQ(colorTiff.Sample(1, 2, 0), PatternSample(48, 1, 2, 2) << shifts[i]);
        EXPECT_EQ(colorTiff.Sample(1, 2, 1), PatternSample(48, 1, 2, 1) << shifts[i]);
        EXPECT_EQ(colorTiff.Sample(1, 2, 2), PatternSample(48, 1, 2, 0) << shifts[i]);
    }
}

TEST(ImagingTiffFiles, GrayImageKeepsItsSamplesTopRowFirst) {
    const auto image = PatternImage(6, 4, 8);
    const DecodedTiff tiff = SaveAndRead(*image, "gray8.tif", 16);
    ASSERT_TRUE(tiff.ok);
    EXPECT_EQ(tiff.photometric, PHOTOMETRIC_MINISBLACK);
    EXPECT_EQ(tiff.samplesPerPixel, 1);
    EXPECT_TRUE(tiff.extraSamples.empty());
    for (uint32_t row = 0; row < 4; ++row) {
        for (uint32_t column = 0; column < 6; ++column) {
            ASSERT_EQ(tiff.Sample(row, column, 0), PatternSample(8, row, column, 0));
        }
    }
}

TEST(ImagingTiffFiles, WriteErrorFailsTheSaveAndClosesTheFile) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const auto image = PatternImage(64, 64, 24);
    const int openFiles = test::OpenFileCount();
    EXPECT_EQ(SaveImageFile("/dev/full", image.get(), kImageFileTiff, 16), 0);
    EXPECT_EQ(test::OpenFileCount(), openFiles);
}

}  // namespace
}  // namespace korvix::imaging
