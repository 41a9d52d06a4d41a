#include "imaging/files/ImageSaver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "imaging/files/FileBytes.h"
#include "imaging/files/TestImages.h"
#include "support/TestEnvironment.h"

namespace korvix::imaging {
namespace {

using test::FourCcAt;
using test::PatternImage;
using test::ReadFileBytes;
using test::U16At;
using test::U32At;

constexpr int kBitCounts[] = {8, 16, 24, 32, 48, 64};

std::filesystem::path PathFor(const std::string &name) {
    return test::TestDirectory() / name;
}

// The bytes of memory row `row` of `image`, padding included.
std::vector<uint8_t> MemoryRow(const FrameImage &image, int32_t row) {
    const uint8_t *start = image.Bits() + static_cast<size_t>(row) * image.Pitch();
    return {start, start + image.Pitch()};
}

std::vector<uint8_t> FileSlice(const std::vector<uint8_t> &bytes, size_t offset, size_t size) {
    if (offset + size > bytes.size()) return {};
    return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(offset + size)};
}

TEST(ImagingBmpFiles, GrayImageHasTableAndBottomRowFirst) {
    const auto image = PatternImage(641, 2, 8);
    ASSERT_EQ(image->Pitch(), 644);
    const auto path = PathFor("gray.bmp");
    ASSERT_EQ(SaveImageFile(path.string().c_str(), image.get(), kImageFileBmp, 16), 1);

    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 1078u + 2 * 644);
    EXPECT_EQ(U16At(bytes, 0), 0x4D42);
    EXPECT_EQ(U32At(bytes, 2), bytes.size());
    EXPECT_EQ(U32At(bytes, 6), 0u);
    EXPECT_EQ(U32At(bytes, 10), 1078u);
    EXPECT_EQ(U32At(bytes, 14), 40u);
    EXPECT_EQ(U32At(bytes, 18), 641u);
    EXPECT_EQ(U32At(bytes, 22), 2u);
    EXPECT_EQ(U16At(bytes, 26), 1u);
    EXPECT_EQ(U16At(bytes, 28), 8u);
    EXPECT_EQ(U32At(bytes, 30), 0u);
    for (uint32_t i = 0; i < 256; ++i) {
        ASSERT_EQ(U32At(bytes, 54 + 4 * i), i | i << 8 | i << 16) << "table entry " << i;
    }
    EXPECT_EQ(FileSlice(bytes, 1078, 644), MemoryRow(*image, 1)) << "bottom row first";
    EXPECT_EQ(FileSlice(bytes, 1078 + 644, 644), MemoryRow(*image, 0));
}

TEST(ImagingBmpFiles, ColorImageHasNoTable) {
    const auto image = PatternImage(5, 3, 24);
    ASSERT_EQ(image->Pitch(), 16);
    const auto path = PathFor("color.bmp");
    ASSERT_EQ(SaveImageFile(path.string().c_str(), image.get(), kImageFileBmp, 16), 1);

    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 54u + 3 * 16);
    EXPECT_EQ(U32At(bytes, 2), bytes.size());
    EXPECT_EQ(U32At(bytes, 10), 54u);
    EXPECT_EQ(U16At(bytes, 28), 24u);
    for (int32_t stored = 0; stored < 3; ++stored) {
        EXPECT_EQ(FileSlice(bytes, 54 + 16 * stored, 16), MemoryRow(*image, 2 - stored))
            << "stored row " << stored;
    }
}

TEST(ImagingBmpFiles, WideImagesKeepTheirBitCount) {
    for (int bitCount : {16, 32, 48, 64}) {
        const auto image = PatternImage(3, 2, bitCount);
        const auto path = PathFor("wide" + std::to_string(bitCount) + ".bmp");
        ASSERT_EQ(SaveImageFile(path.string().c_str(), image.get(), kImageFileBmp, 16), 1);
        const auto bytes = ReadFileBytes(path);
        ASSERT_EQ(bytes.size(), 54u + image->SizeBytes()) << bitCount;
        EXPECT_EQ(U32At(bytes, 10), 54u) << bitCount;
        EXPECT_EQ(U16At(bytes, 28), bitCount);
        EXPECT_EQ(FileSlice(bytes, 54, image->Pitch()), MemoryRow(*image, 1)) << bitCount;
    }
}

TEST(ImagingRawFiles, BufferAsItIsTopRowFirst) {
    const auto image = PatternImage(640, 480, 16);
    const auto path = PathFor("frame.raw");
    ASSERT_EQ(SaveImageFile(path.string().c_str(), image.get(), kImageFileRaw, 16), 1);
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 614'400u);
    EXPECT_EQ(std::memcmp(bytes.data(), image->Bits(), bytes.size()), 0);

    // Padding is kept: a width of 5 at 24 bits stores 16 bytes per row.
    const auto padded = PatternImage(5, 2, 24);
    ASSERT_EQ(SaveImageFile(PathFor("padded.raw").string().c_str(), padded.get(), kImageFileRaw, 16), 1);
    EXPECT_EQ(ReadFileBytes(PathFor("padded.raw")),
              FileSlice(std::vector<uint8_t>(padded->Bits(), padded->Bits() + padded->SizeBytes()),
                        0, 32));
}

TEST(ImagingImageFiles, UnknownFileTypeCreatesNoFile) {
    const auto image = PatternImage(4, 4, 24);
    for (int fileType : {7, -1, 100}) {
        const auto path = PathFor("type" + std::to_string(fileType));
        EXPECT_EQ(SaveImageFile(path.string().c_str(), image.get(), fileType, 16), 0);
        EXPECT_FALSE(std::filesystem::exists(path)) << fileType;
    }
}

TEST(ImagingImageFiles, UnknownSampleDepthCreatesNoFile) {
    const auto image = PatternImage(4, 4, 16);
    for (int depth : {0, 8, 14, 17}) {
        for (int fileType = kImageFileBmp; fileType <= kImageFileTiff; ++fileType) {
            const auto path =
                PathFor("depth" + std::to_string(depth) + "_" + std::to_string(fileType));
            EXPECT_EQ(SaveImageFile(path.string().c_str(), image.get(), fileType, depth), 0);
            EXPECT_FALSE(std::filesystem::exists(path)) << depth << " " << fileType;
        }
    }
}

TEST(ImagingImageFiles, MissingImageOrNameFails) {
    const FrameImage empty;
    const auto image = PatternImage(4, 4, 8);
    const auto path = PathFor("nothing.bmp");
    for (int fileType = kImageFileBmp; fileType <= kImageFileTiff; ++fileType) {
        EXPECT_EQ(SaveImageFile(path.string().c_str(), nullptr, fileType, 16), 0);
        EXPECT_EQ(SaveImageFile(path.string().c_str(), &empty, fileType, 16), 0);
        EXPECT_EQ(SaveImageFile(nullptr, image.get(), fileType, 16), 0);
        EXPECT_EQ(SaveImageFile("", image.get(), fileType, 16), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ImagingImageFiles, MissingDirectoryFailsForEveryTypeAndFormat) {
    const auto path = PathFor("no-such-directory") / "image";
    for (int bitCount : kBitCounts) {
        const auto image = PatternImage(8, 4, bitCount);
        for (int fileType = kImageFileBmp; fileType <= kImageFileTiff; ++fileType) {
            EXPECT_EQ(SaveImageFile(path.string().c_str(), image.get(), fileType, 16), 0)
                << "type " << fileType << ", " << bitCount << " bits";
        }
    }
    EXPECT_FALSE(std::filesystem::exists(path.parent_path()));
}

TEST(ImagingImageFiles, FullDiskFailsForEveryTypeAndFormat) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // Large enough that every writer's buffered output reaches the device.
    for (int bitCount : kBitCounts) {
        const auto image = PatternImage(256, 256, bitCount);
        for (int fileType = kImageFileBmp; fileType <= kImageFileTiff; ++fileType) {
            EXPECT_EQ(SaveImageFile("/dev/full", image.get(), fileType, 16), 0)
                << "type " << fileType << ", " << bitCount << " bits";
        }
    }
}

TEST(ImagingImageFiles, SavingReplacesAnExistingFile) {
    const auto path = PathFor("again.raw");
    const auto large = PatternImage(64, 64, 24);
    const auto small = PatternImage(4, 1, 8);
    ASSERT_EQ(SaveImageFile(path.string().c_str(), large.get(), kImageFileRaw, 16), 1);
    ASSERT_EQ(SaveImageFile(path.string().c_str(), small.get(), kImageFileRaw, 16), 1);
    EXPECT_EQ(ReadFileBytes(path).size(), 4u);
}

}  // namespace
}  // namespace korvix::imaging
