#include "imaging/FormatConverters.h"

#include <gtest/gtest.h>

#include "ImageTestSupport.h"

namespace korvix::imaging {
namespace {

using test::Byte;
using test::FillRandom;
using test::SetWord;
using test::Word;

TEST(ImagingRepackRows, SpreadsPackedRowsToPitchWidthFive) {
    FrameImage image;
    ASSERT_EQ(image.Create(5, 4, 8), 1);  // pitch 8
    for (int k = 0; k < 20; ++k) image.Bits()[k] = static_cast<uint8_t>(k + 1);
    ASSERT_EQ(ConvertImage(image, RepackRows8, image, nullptr, 0, 0), 1);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 5; ++column) {
            EXPECT_EQ(Byte(image, column, row), row * 5 + column + 1) << row << "," << column;
        }
    }
}

TEST(ImagingRepackRows, SixteenBitRowsMoveWholeSamples) {
    FrameImage image;
    ASSERT_EQ(image.Create(3, 3, 16), 1);  // packed 6 bytes per row, pitch 8
    for (int k = 0; k < 9; ++k) {
        const auto value = static_cast<uint16_t>(0x1000 * k + k);
        std::memcpy(image.Bits() + 2 * k, &value, 2);
    }
    ASSERT_EQ(ConvertImage(image, RepackRows16, image, nullptr, 0, 0), 1);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const int k = row * 3 + column;
            EXPECT_EQ(Word(image, column, row), 0x1000 * k + k);
        }
    }
}

TEST(ImagingFlipConverters, FlipCopyRowsReversesWholeRows) {
    FrameImage source, destination;
    ASSERT_EQ(source.Create(3, 4, 24), 1);
    ASSERT_EQ(destination.CopyFormat(source), 1);
    FillRandom(source, 11);
    ASSERT_EQ(ConvertImage(destination, FlipCopyRows, source, nullptr, 0, 0), 1);
    for (int row = 0; row < 4; ++row) {
        for (int k = 0; k < source.Pitch(); ++k) {
            EXPECT_EQ(destination.Bits()[row * 12 + k], source.Bits()[(3 - row) * 12 + k]);
        }
    }
}

TEST(ImagingColorConverters, ThirtyTwoToTwentyFourWithAndWithoutFlip) {
    FrameImage source, straight, flipped;
    ASSERT_EQ(source.Create(5, 3, 32), 1);
    ASSERT_EQ(straight.Create(5, 3, 24), 1);
    ASSERT_EQ(flipped.Create(5, 3, 24), 1);
    FillRandom(source, 3);
    ASSERT_EQ(ConvertImage(straight, Rgb32To24, source, nullptr, 0, 0), 1);
    ASSERT_EQ(ConvertImage(flipped, Rgb24FlipCopy, source, nullptr, 0, 0), 1);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 5; ++column) {
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_EQ(Byte(straight, column, row, channel), Byte(source, column, row, channel));
                EXPECT_EQ(Byte(flipped, column, 2 - row, channel),
                          Byte(source, column, row, channel));
            }
        }
    }
}

TEST(ImagingColorConverters, SwapRedBlueInPlaceKeepsFourthByte) {
    FrameImage image;
    ASSERT_EQ(image.Create(2, 1, 32), 1);
    const uint8_t pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::memcpy(image.Bits(), pixels, 8);
    ASSERT_EQ(ConvertImage(image, SwapRB24, image, nullptr, 0, 0), 1);
    const uint8_t expected[8] = {3, 2, 1, 4, 7, 6, 5, 8};
    EXPECT_EQ(0, std::memcmp(image.Bits(), expected, 8));
}

TEST(ImagingColorConverters, InvertAlphaTurnsZeroInto255) {
    FrameImage image;
    ASSERT_EQ(image.Create(2, 1, 32), 1);
    const uint8_t pixels[8] = {10, 20, 30, 0, 40, 50, 60, 200};
    std::memcpy(image.Bits(), pixels, 8);
    ASSERT_EQ(ConvertImage(image, InvertAlpha32, image, nullptr, 0, 0), 1);
    const uint8_t expected[8] = {10, 20, 30, 255, 40, 50, 60, 55};
    EXPECT_EQ(0, std::memcmp(image.Bits(), expected, 8));
}

TEST(ImagingColorConverters, ColorToGrayWeightsChannels) {
    FrameImage source, destination;
    ASSERT_EQ(source.Create(2, 1, 24), 1);
    ASSERT_EQ(destination.Create(2, 1, 8), 1);
    const uint8_t pixels[6] = {255, 255, 255, 10, 20, 250};  // blue, green, red
    std::memcpy(source.Bits(), pixels, 6);
    ASSERT_EQ(ConvertImage(destination, ColorToGray24, source, nullptr, 0, 0), 1);
    EXPECT_EQ(Byte(destination, 0, 0), 255);
    EXPECT_EQ(Byte(destination, 1, 0), (30 * 250 + 59 * 20 + 11 * 10) / 100);
}

TEST(ImagingDepthConverters, GrayReductionsSelectTheirBits) {
    FrameImage source, hi, hiFlip, shift4, shift2;
    ASSERT_EQ(source.Create(1, 2, 16), 1);
    SetWord(source, 0, 0, 0, 0xABCD);
    SetWord(source, 0, 1, 0, 0x1234);
    for (FrameImage *image : {&hi, &hiFlip, &shift4, &shift2}) ASSERT_EQ(image->Create(1, 2, 8), 1);
    ASSERT_EQ(ConvertImage(hi, Gray16To8Hi, source, nullptr, 0, 0), 1);
    ASSERT_EQ(ConvertImage(hiFlip, Gray16To8HiFlip, source, nullptr, 0, 0), 1);
    ASSERT_EQ(ConvertImage(shift4, Gray16To8Shift4Flip, source, nullptr, 0, 0), 1);
    ASSERT_EQ(ConvertImage(shift2, Gray16To8Shift2Flip, source, nullptr, 0, 0), 1);
    EXPECT_EQ(Byte(hi, 0, 0), 0xAB);
    EXPECT_EQ(Byte(hi, 0, 1), 0x12);
    EXPECT_EQ(Byte(hiFlip, 0, 0), 0x12);
    EXPECT_EQ(Byte(hiFlip, 0, 1), 0xAB);
    EXPECT_EQ(Byte(shift4, 0, 0), 0x23);
    EXPECT_EQ(Byte(shift4, 0, 1), 0xBC);
    EXPECT_EQ(Byte(shift2, 0, 0), (0x1234 >> 2) & 0xFF);
    EXPECT_EQ(Byte(shift2, 0, 1), (0xABCD >> 2) & 0xFF);
}

TEST(ImagingDepthConverters, ColorReductionsFromFortyEightAndSixtyFour) {
    for (int bits : {48, 64}) {
        FrameImage source, shift4, hiFlip;
        ASSERT_EQ(source.Create(1, 2, bits), 1);
        ASSERT_EQ(shift4.Create(1, 2, 24), 1);
        ASSERT_EQ(hiFlip.Create(1, 2, 24), 1);
        const uint16_t words[2][3] = {{0x1234, 0x5678, 0x9ABC}, {0xFEDC, 0x0FF0, 0x00FF}};
        for (int row = 0; row < 2; ++row) {
            for (int channel = 0; channel < 3; ++channel) {
                SetWord(source, 0, row, channel, words[row][channel]);
            }
        }
        ASSERT_EQ(ConvertImage(shift4, Rgb48To24Shift4, source, nullptr, 0, 0), 1);
        ASSERT_EQ(ConvertImage(hiFlip, Rgb48To24HiFlip, source, nullptr, 0, 0), 1);
        for (int row = 0; row < 2; ++row) {
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_EQ(Byte(shift4, 0, row, channel), (words[row][channel] >> 4) & 0xFF);
                EXPECT_EQ(Byte(hiFlip, 0, 1 - row, channel), words[row][channel] >> 8);
            }
        }
    }
}

TEST(ImagingDepthConverters, LeftShiftsKeepLowBitsAndSetFourthWord) {
    FrameImage gray;
    ASSERT_EQ(gray.Create(1, 1, 16), 1);
    SetWord(gray, 0, 0, 0, 0x0FFF);
    ASSERT_EQ(ConvertImage(gray, Gray16Shl4, gray, nullptr, 0, 0), 1);
    EXPECT_EQ(Word(gray, 0, 0), 0xFFF0);
    SetWord(gray, 0, 0, 0, 0x0FFF);
    ASSERT_EQ(ConvertImage(gray, Gray16Shl6, gray, nullptr, 0, 0), 1);
    EXPECT_EQ(Word(gray, 0, 0), 0xFFC0);

    const struct {
        PixelConverter converter;
        int bits;
        int shift;
        bool swap;
    } cases[] = {{Rgb48Shl4, 48, 4, false},      {Rgb48Shl6, 48, 6, false},
                 {Rgb48Shl4SwapRB, 48, 4, true}, {Rgb48Shl6SwapRB, 48, 6, true},
                 {Rgb64Shl4, 64, 4, false},      {Rgb64Shl6, 64, 6, false},
                 {Rgb64Shl4SwapRB, 64, 4, true}, {Rgb64Shl6SwapRB, 64, 6, true}};
    for (const auto &c : cases) {
        FrameImage image;
        ASSERT_EQ(image.Create(1, 1, c.bits), 1);
        SetWord(image, 0, 0, 0, 0x0123);  // blue
        SetWord(image, 0, 0, 1, 0x0456);
        SetWord(image, 0, 0, 2, 0x0789);  // red
        ASSERT_EQ(ConvertImage(image, c.converter, image, nullptr, 0, 0), 1);
        const uint16_t blue = static_cast<uint16_t>(0x0123 << c.shift);
        const uint16_t red = static_cast<uint16_t>(0x0789 << c.shift);
        EXPECT_EQ(Word(image, 0, 0, 0), c.swap ? red : blue) << c.bits << c.shift;
        EXPECT_EQ(Word(image, 0, 0, 1), static_cast<uint16_t>(0x0456 << c.shift));
        EXPECT_EQ(Word(image, 0, 0, 2), c.swap ? blue : red);
        if (c.bits == 64) {
            EXPECT_EQ(Word(image, 0, 0, 3), 65535);
        }
    }
}

TEST(ImagingColorConverters, UnsupportedPixelSizeConvertsNothing) {
    FrameImage source, destination;
    ASSERT_EQ(source.Create(2, 2, 16), 1);
    ASSERT_EQ(destination.Create(2, 2, 24), 1);
    FillRandom(source, 9);
    EXPECT_EQ(ConvertImage(destination, Rgb32To24, source, nullptr, 0, 0), 0);
    EXPECT_EQ(ConvertImage(destination, Rgb48To24Shift4, source, nullptr, 0, 0), 0);
    for (size_t k = 0; k < destination.SizeBytes(); ++k) EXPECT_EQ(destination.Bits()[k], 0);
}

}  // namespace
}  // namespace korvix::imaging
