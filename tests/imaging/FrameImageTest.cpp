#include "imaging/FrameImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace korvix::imaging {
namespace {

void ExpectEmpty(const FrameImage &image) {
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.Bits(), nullptr);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_EQ(image.Pitch(), 0);
    EXPECT_EQ(image.BitCount(), 0);
    EXPECT_EQ(image.Header().size, 40u);
    EXPECT_EQ(image.Header().width, 0);
    EXPECT_EQ(image.ColorTable()[255].red, 0);
}

// Fills every byte of an image with a value that depends on its position.
void FillPattern(FrameImage &image) {
    for (size_t i = 0; i < image.SizeBytes(); ++i)
        image.Bits()[i] = static_cast<uint8_t>(i * 7 + 3);
}

TEST(ImagingFrameImageCreate, RejectsInvalidArgumentsAndStaysEmpty) {
    FrameImage image;
    EXPECT_EQ(image.Create(0, 480, 8), 0);
    ExpectEmpty(image);
    EXPECT_EQ(image.Create(640, -1, 8), 0);
    ExpectEmpty(image);
    EXPECT_EQ(image.Create(640, 480, 0), 0);
    ExpectEmpty(image);
    EXPECT_EQ(image.Create(640, 480, 12), 0);
    ExpectEmpty(image);
}

TEST(ImagingFrameImageCreate, InvalidArgumentsKeepAnExistingImage) {
    FrameImage image;
    ASSERT_EQ(image.Create(4, 4, 8), 1);
    EXPECT_EQ(image.Create(0, 4, 8), 0);
    EXPECT_EQ(image.Width(), 4);
    EXPECT_NE(image.Bits(), nullptr);
}

TEST(ImagingFrameImageCreate, PitchRoundsRowsUpToFourBytes) {
    FrameImage image;
    ASSERT_EQ(image.Create(641, 1, 8), 1);
    EXPECT_EQ(image.Pitch(), 644);
    ASSERT_EQ(image.Create(641, 1, 24), 1);
    EXPECT_EQ(image.Pitch(), 1924);
    ASSERT_EQ(image.Create(3, 1, 48), 1);
    EXPECT_EQ(image.Pitch(), 20);
    ASSERT_EQ(image.Create(5, 3, 16), 1);
    EXPECT_EQ(image.Pitch(), 12);
    EXPECT_EQ(image.SizeBytes(), 36u);
}

TEST(ImagingFrameImageCreate, FillsHeaderAndZeroesPixels) {
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        FrameImage image;
        ASSERT_EQ(image.Create(7, 5, bits), 1) << bits;
        const BitmapInfoHeader &header = image.Header();
        EXPECT_EQ(header.size, 40u);
        EXPECT_EQ(header.width, 7);
        EXPECT_EQ(header.height, 5);
        EXPECT_EQ(header.planes, 1);
        EXPECT_EQ(header.bitCount, bits);
        EXPECT_EQ(header.compression, 0u);
        EXPECT_EQ(header.sizeImage, 0u);
        EXPECT_EQ(image.BytesPerPixel(), bits / 8);
        std::vector<uint8_t> zeros(image.SizeBytes(), 0);
        EXPECT_EQ(std::vector<uint8_t>(image.Bits(), image.Bits() + image.SizeBytes()), zeros);
        EXPECT_EQ(image.HasBitmap(), bits <= 32) << bits;
    }
}

TEST(ImagingFrameImagePalette, EightBitImageStartsWithGrayRamp) {
    FrameImage image;
    ASSERT_EQ(image.Create(8, 8, 8), 1);
    for (int i = 0; i < kPaletteSize; ++i) {
        const RgbQuad entry = image.ColorTable()[i];
        EXPECT_EQ(entry.blue, i);
        EXPECT_EQ(entry.green, i);
        EXPECT_EQ(entry.red, i);
        EXPECT_EQ(entry.reserved, 0);
    }
    RgbQuad read[kPaletteSize];
    ASSERT_EQ(image.GetBitmapColorTable(read, 0, kPaletteSize), kPaletteSize);
    EXPECT_EQ(read[255].red, 255);
    EXPECT_EQ(read[255].reserved, 0);
}

TEST(ImagingFrameImagePalette, BitmapOnlyModeLeavesOwnTable) {
    FrameImage image;
    ASSERT_EQ(image.Create(8, 8, 8), 1);
    const RgbQuad red[2] = {{0, 0, 200, 0}, {0, 0, 201, 0}};
    EXPECT_EQ(image.SetPalette(kPaletteBitmapOnly, red, 254, 5), 1);  // clipped to 2 entries
    RgbQuad read[3];
    ASSERT_EQ(image.GetBitmapColorTable(read, 253, 3), 3);
    EXPECT_EQ(read[0].red, 253);
    EXPECT_EQ(read[1].red, 200);
    EXPECT_EQ(read[1].green, 0);
    EXPECT_EQ(read[2].red, 201);
    EXPECT_EQ(image.ColorTable()[254].green, 254);

    EXPECT_EQ(image.SetPalette(kPaletteGrayRamp, nullptr, 0, 0), 1);
    ASSERT_EQ(image.GetBitmapColorTable(read, 254, 1), 1);
    EXPECT_EQ(read[0].green, 254);
    EXPECT_EQ(image.SetPalette(1, red, 0, 2), 1);  // unknown mode: nothing changes
    ASSERT_EQ(image.GetBitmapColorTable(read, 0, 1), 1);
    EXPECT_EQ(read[0].red, 0);
}

TEST(ImagingFrameImagePalette, ImagesWithoutTableReadNothing) {
    FrameImage color, deep, empty;
    ASSERT_EQ(color.Create(2, 2, 24), 1);
    ASSERT_EQ(deep.Create(2, 2, 48), 1);
    RgbQuad read[1];
    EXPECT_EQ(color.GetBitmapColorTable(read, 0, 1), 0);
    EXPECT_EQ(deep.GetBitmapColorTable(read, 0, 1), 0);
    EXPECT_EQ(empty.GetBitmapColorTable(read, 0, 1), 0);
}

TEST(ImagingFrameImageLifecycle, CopyFormatOfEmptyImageFails) {
    FrameImage empty, target;
    ASSERT_EQ(target.Create(4, 4, 24), 1);
    EXPECT_EQ(target.CopyFormat(empty), 0);
    EXPECT_EQ(target.Width(), 4);  // the failed call left the target alone
}

TEST(ImagingFrameImageLifecycle, CopyFormatCopiesGeometryButNotPixelsOrPalette) {
    FrameImage source, copy;
    ASSERT_EQ(source.Create(13, 6, 24), 1);
    FillPattern(source);
    ASSERT_EQ(copy.Create(2, 2, 8), 1);
    ASSERT_EQ(copy.CopyFormat(source), 1);
    EXPECT_EQ(copy.Width(), 13);
    EXPECT_EQ(copy.Height(), 6);
    EXPECT_EQ(copy.Pitch(), source.Pitch());
    EXPECT_EQ(copy.BitCount(), 24);
    EXPECT_EQ(copy.Header().bitCount, 24);
    EXPECT_NE(copy.Bits(), source.Bits());
    for (size_t i = 0; i < copy.SizeBytes(); ++i) ASSERT_EQ(copy.Bits()[i], 0) << i;
    EXPECT_EQ(copy.ColorTable()[200].red, 0);  // the 8-bit ramp of the old image is gone
}

TEST(ImagingFrameImageLifecycle, ReleaseTwiceIsHarmless) {
    FrameImage image;
    ASSERT_EQ(image.Create(16, 16, 64), 1);
    image.Release();
    ExpectEmpty(image);
    image.Release();
    ExpectEmpty(image);
}

TEST(ImagingFrameImageCopyOut, CopiesRowsInEitherOrder) {
    FrameImage image;
    ASSERT_EQ(image.Create(3, 3, 8), 1);  // pitch 4
    FillPattern(image);
    std::vector<uint8_t> out(image.SizeBytes());
    ASSERT_EQ(image.CopyTo(out.data(), out.size(), false), 1);
    EXPECT_EQ(out, std::vector<uint8_t>(image.Bits(), image.Bits() + 12));
    ASSERT_EQ(image.CopyTo(out.data(), out.size(), true), 1);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 4; ++col) {
            EXPECT_EQ(out[row * 4 + col], image.Bits()[(2 - row) * 4 + col]);
        }
    }
}

TEST(ImagingFrameImageCopyOut, RefusesShortBuffersAndEmptyImages) {
    FrameImage image, empty;
    ASSERT_EQ(image.Create(3, 3, 8), 1);
    std::vector<uint8_t> out(11, 0xAA);
    EXPECT_EQ(image.CopyTo(out.data(), out.size(), false), 0);
    EXPECT_EQ(out, std::vector<uint8_t>(11, 0xAA));
    EXPECT_EQ(image.CopyTo(nullptr, 100, false), 0);
    EXPECT_EQ(empty.CopyTo(out.data(), out.size(), false), 0);
}

TEST(ImagingFrameImageDraw, SameFormatKeepsMemoryRowOrder) {
    FrameImage source, target;
    ASSERT_EQ(source.Create(5, 4, 24), 1);
    FillPattern(source);
    ASSERT_EQ(target.CopyFormat(source), 1);
    ASSERT_TRUE(target.Draw(source, nullptr, 0, 0));
    for (int row = 0; row < 4; ++row) {
        for (int byte = 0; byte < 15; ++byte) {
            EXPECT_EQ(target.Bits()[row * 16 + byte], source.Bits()[row * 16 + byte]);
        }
    }
}

TEST(ImagingFrameImageDraw, ExpandsEightBitThroughBitmapPaletteAndClips) {
    FrameImage source, target;
    ASSERT_EQ(source.Create(2, 2, 8), 1);
    const RgbQuad colors[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    source.SetPalette(kPaletteBitmapOnly, colors, 0, 2);
    source.Bits()[0] = 0;  // memory row 0 = bottom row for the blit
    source.Bits()[1] = 1;
    source.Bits()[4] = 1;
    source.Bits()[5] = 0;
    ASSERT_EQ(target.Create(3, 3, 32), 1);
    // Placed at (1, 1) in the top-down coordinates of a bottom-up surface: the source's
    // two rows land in memory rows 1 and 0, columns 1 and 2.
    ASSERT_TRUE(target.Draw(source, nullptr, 1, 1));
    const uint8_t *bottom = target.Bits();
    const uint8_t *middle = target.Bits() + target.Pitch();
    EXPECT_EQ(bottom[4], 1);
    EXPECT_EQ(bottom[6], 3);
    EXPECT_EQ(bottom[8], 4);
    EXPECT_EQ(bottom[10], 6);
    EXPECT_EQ(middle[4], 4);
    EXPECT_EQ(middle[8], 1);
    EXPECT_EQ(bottom[0], 0);                              // column 0 untouched
    EXPECT_EQ(target.Bits()[2 * target.Pitch() + 4], 0);  // top row untouched

    // Wholly outside: nothing happens.
    ASSERT_TRUE(target.Draw(source, nullptr, 10, -10));
    EXPECT_EQ(bottom[4], 1);
}

TEST(ImagingFrameImageDraw, RefusesImagesWithoutBitmapOrUnconvertibleFormats) {
    FrameImage deep, color, gray16;
    ASSERT_EQ(deep.Create(2, 2, 48), 1);
    ASSERT_EQ(color.Create(2, 2, 24), 1);
    ASSERT_EQ(gray16.Create(2, 2, 16), 1);
    EXPECT_FALSE(color.Draw(deep, nullptr, 0, 0));
    EXPECT_FALSE(deep.Draw(deep, nullptr, 0, 0));
    EXPECT_FALSE(color.Draw(gray16, nullptr, 0, 0));
    EXPECT_FALSE(gray16.Draw(color, nullptr, 0, 0));
}

}  // namespace
}  // namespace korvix::imaging
