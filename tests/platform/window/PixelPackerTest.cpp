#include "platform/window/x11/PixelPacker.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace korvix::platform::x11 {
namespace {

// A 3 x 2 bitmap of distinct colours, rows padded to 12 bytes.
struct Bitmap24 {
    std::array<uint8_t, 24> bytes{// row 0: blue, green, red per pixel
                                  0x01, 0x02, 0x03, 0x10, 0x20, 0x30, 0xFF, 0x00, 0x80, 0, 0, 0,
                                  // row 1
                                  0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x40, 0x50, 0x60, 0, 0, 0};
    BitmapView View(RowOrder order) const {
        BitmapView view;
        view.bits = bytes.data();
        view.width = 3;
        view.height = 2;
        view.pitch = 12;
        view.bitCount = 24;
        view.rowOrder = order;
        return view;
    }
};

uint32_t Load32(const std::vector<uint8_t> &out, size_t index) {
    return uint32_t{out[index * 4]} | uint32_t{out[index * 4 + 1]} << 8 |
           uint32_t{out[index * 4 + 2]} << 16 | uint32_t{out[index * 4 + 3]} << 24;
}

TEST(PlatformPixelPacker, RejectsLayoutsItCannotWrite) {
    PixelPacker packer;
    EXPECT_FALSE(packer.Configure(8, false, 0xE0, 0x1C, 0x03));
    EXPECT_FALSE(packer.Configure(32, false, 0, 0xFF00, 0xFF));
    EXPECT_FALSE(packer.Configure(32, false, 0xF0F000, 0xFF00, 0xFF));   // split mask
    EXPECT_FALSE(packer.Configure(32, false, 0xFFFFF000, 0xF00, 0xFF));  // 20 bits wide
    std::vector<uint8_t> out(64);
    Bitmap24 bitmap;
    EXPECT_FALSE(packer.Pack(bitmap.View(RowOrder::kTopRowFirst), out.data(), 16));
}

TEST(PlatformPixelPacker, TrueColor32KeepsChannelsAndRowOrder) {
    PixelPacker packer;
    ASSERT_TRUE(packer.Configure(32, false, 0xFF0000, 0x00FF00, 0x0000FF));
    Bitmap24 bitmap;
    std::vector<uint8_t> out(2 * 16, 0xEE);
    ASSERT_TRUE(packer.Pack(bitmap.View(RowOrder::kTopRowFirst), out.data(), 16));
    EXPECT_EQ(Load32(out, 0), 0x030201u);
    EXPECT_EQ(Load32(out, 1), 0x302010u);
    EXPECT_EQ(Load32(out, 2), 0x8000FFu);
    EXPECT_EQ(Load32(out, 4), 0x000000u);  // second row starts at byte 16
    EXPECT_EQ(Load32(out, 6), 0x605040u);
    EXPECT_EQ(Load32(out, 3), 0xEEEEEEEEu);  // padding beyond the width is not written

    ASSERT_TRUE(packer.Pack(bitmap.View(RowOrder::kBottomRowFirst), out.data(), 16));
    EXPECT_EQ(Load32(out, 0), 0x000000u);  // memory row 1 is now the top
    EXPECT_EQ(Load32(out, 2), 0x605040u);
    EXPECT_EQ(Load32(out, 4), 0x030201u);
}

TEST(PlatformPixelPacker, PaletteIndicesBecomeTheirColours) {
    std::array<uint8_t, 256 * 4> palette{};
    for (int i = 0; i < 256; ++i) {
        palette[i * 4] = static_cast<uint8_t>(i);            // blue
        palette[i * 4 + 1] = static_cast<uint8_t>(255 - i);  // green
        palette[i * 4 + 2] = static_cast<uint8_t>(i / 2);    // red
    }
    const std::array<uint8_t, 8> bits{0, 255, 7, 0xAA, 128, 1, 2, 3};
    BitmapView view;
    view.bits = bits.data();
    view.width = 2;
    view.height = 2;
    view.pitch = 4;
    view.bitCount = 8;
    view.rowOrder = RowOrder::kTopRowFirst;

    PixelPacker packer;
    ASSERT_TRUE(packer.Configure(32, false, 0xFF0000, 0x00FF00, 0x0000FF));
    std::vector<uint8_t> out(2 * 8);
    EXPECT_FALSE(packer.Pack(view, out.data(), 8));  // no palette
    view.palette = palette.data();
    ASSERT_TRUE(packer.Pack(view, out.data(), 8));
    EXPECT_EQ(Load32(out, 0), 0x00FF00u);
    EXPECT_EQ(Load32(out, 1), 0x7F00FFu);
    EXPECT_EQ(Load32(out, 2), 0x407F80u);
    EXPECT_EQ(Load32(out, 3), 0x00FE01u);
}

TEST(PlatformPixelPacker, SixteenBitAndBigEndianLayouts) {
    Bitmap24 bitmap;
    PixelPacker packer;
    ASSERT_TRUE(packer.Configure(16, false, 0xF800, 0x07E0, 0x001F));
    std::vector<uint8_t> out(2 * 8);
    ASSERT_TRUE(packer.Pack(bitmap.View(RowOrder::kTopRowFirst), out.data(), 8));
    // White stays full white; red 0x80, green 0, blue 0xFF rounds to 16 of 31, 0, 31.
    EXPECT_EQ(out[8 + 2] | out[8 + 3] << 8, 0xFFFF);
    EXPECT_EQ(out[4] | out[5] << 8, (16 << 11) | 31);

    ASSERT_TRUE(packer.Configure(32, true, 0xFF0000, 0x00FF00, 0x0000FF));
    std::vector<uint8_t> big(2 * 12);
    ASSERT_TRUE(packer.Pack(bitmap.View(RowOrder::kTopRowFirst), big.data(), 12));
    EXPECT_EQ(big[4], 0x00);  // most significant byte first: 00 30 20 10
    EXPECT_EQ(big[5], 0x30);
    EXPECT_EQ(big[6], 0x20);
    EXPECT_EQ(big[7], 0x10);

    ASSERT_TRUE(packer.Configure(24, false, 0xFF0000, 0x00FF00, 0x0000FF));
    EXPECT_EQ(packer.BytesPerPixel(), 3);
    std::vector<uint8_t> packed(2 * 9);
    ASSERT_TRUE(packer.Pack(bitmap.View(RowOrder::kTopRowFirst), packed.data(), 9));
    EXPECT_EQ(packed[6], 0xFF);  // third pixel: blue, green, red bytes
    EXPECT_EQ(packed[7], 0x00);
    EXPECT_EQ(packed[8], 0x80);
}

TEST(PlatformPixelPacker, RefusesBitmapsItCannotRead) {
    PixelPacker packer;
    ASSERT_TRUE(packer.Configure(32, false, 0xFF0000, 0x00FF00, 0x0000FF));
    Bitmap24 bitmap;
    std::vector<uint8_t> out(64);
    BitmapView view = bitmap.View(RowOrder::kTopRowFirst);
    view.bitCount = 32;
    EXPECT_FALSE(packer.Pack(view, out.data(), 16));
    view = bitmap.View(RowOrder::kTopRowFirst);
    view.pitch = 8;  // shorter than three pixels of three bytes
    EXPECT_FALSE(packer.Pack(view, out.data(), 16));
    view = bitmap.View(RowOrder::kTopRowFirst);
    view.bits = nullptr;
    EXPECT_FALSE(packer.Pack(view, out.data(), 16));
}

}  // namespace
}  // namespace korvix::platform::x11
