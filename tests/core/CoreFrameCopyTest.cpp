#include "core/FrameCopy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace korvix::core {
namespace {

// A frame whose every byte tells its row and byte position.
std::vector<uint8_t> NumberedFrame(uint32_t width, uint32_t height, uint32_t bytesPerPixel) {
    std::vector<uint8_t> frame(width * height * bytesPerPixel);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + i / 13);
    return frame;
}

TEST(CoreFrameCopyOrientation, FlagAndSensorOrientationChooseRowOrderAndMirror) {
    // Orientation 1: as is with flag 1, upside down with flag 0; never mirrored.
    EXPECT_FALSE(OrientationFor(1, 1).mirror);
    EXPECT_FALSE(OrientationFor(1, 1).reverseRows);
    EXPECT_TRUE(OrientationFor(1, 0).reverseRows);
    // Orientation 2 mirrors and keeps rows with flag 1.
    EXPECT_TRUE(OrientationFor(2, 1).mirror);
    EXPECT_FALSE(OrientationFor(2, 1).reverseRows);
    // Orientation 3 flips the rows with flag 1, no mirror.
    EXPECT_FALSE(OrientationFor(3, 1).mirror);
    EXPECT_TRUE(OrientationFor(3, 1).reverseRows);
    EXPECT_FALSE(OrientationFor(3, 0).reverseRows);
    // Orientation 4 with flag 1: both, a half turn.
    EXPECT_TRUE(OrientationFor(4, 1).mirror);
    EXPECT_TRUE(OrientationFor(4, 1).reverseRows);
    EXPECT_FALSE(OrientationFor(4, 0).reverseRows);
}

TEST(CoreFrameCopy, UnorientedCopyIsExact) {
    auto source = NumberedFrame(6, 4, 1);
    std::vector<uint8_t> copy(source.size());
    CopyOrientedFrame(source.data(), copy.data(), 6, 4, 1, {});
    EXPECT_EQ(copy, source);
}

// A half turn reverses the frame pixel by pixel. The widths run the 32-byte vector steps,
// the eight-pixel steps and single pixels, alone and together.
TEST(CoreFrameCopy, HalfTurnReversesThePixelsOfTheWholeFrame) {
    struct Case {
        uint32_t width, bytesPerPixel;
    };
    for (const Case c : {Case{21, 1}, Case{75, 1}, Case{64, 1}, Case{3, 2}, Case{37, 2}}) {
        const uint32_t height = 3;
        auto source = NumberedFrame(c.width, height, c.bytesPerPixel);
        std::vector<uint8_t> copy(source.size());
        CopyOrientedFrame(source.data(), copy.data(), c.width, height, c.bytesPerPixel,
                          OrientationFor(4, 1));
        std::vector<uint8_t> expected(source.size());
        const size_t pixels = source.size() / c.bytesPerPixel;
        for (size_t i = 0; i < pixels; ++i) {
            std::memcpy(&expected[i * c.bytesPerPixel],
                        &source[(pixels - 1 - i) * c.bytesPerPixel], c.bytesPerPixel);
        }
        EXPECT_EQ(copy, expected) << c.width << " x " << c.bytesPerPixel;
    }
}

TEST(CoreFrameCopy, MirrorMovesSixteenBitPixelsAsUnits) {
    const uint32_t width = 4, height = 2;
    std::vector<uint16_t> pixels = {0x0102, 0x0304, 0x0506, 0x0708, 0x1112, 0x1314, 0x1516, 0x1718};
    std::vector<uint8_t> source(pixels.size() * 2);
    std::memcpy(source.data(), pixels.data(), source.size());
    std::vector<uint8_t> copy(source.size());
    CopyOrientedFrame(source.data(), copy.data(), width, height, 2, {true, false});
    std::vector<uint16_t> result(pixels.size());
    std::memcpy(result.data(), copy.data(), copy.size());
    EXPECT_EQ(result, (std::vector<uint16_t>{0x0708, 0x0506, 0x0304, 0x0102, 0x1718, 0x1516, 0x1314,
                                             0x1112}));
}

TEST(CoreFrameCopy, ReversedRowsKeepPixelOrderWithinRows) {
    const uint32_t width = 3, height = 3;
    auto source = NumberedFrame(width, height, 2);
    std::vector<uint8_t> copy(source.size());
    CopyOrientedFrame(source.data(), copy.data(), width, height, 2, {false, true});
    const size_t rowBytes = width * 2;
    for (uint32_t row = 0; row < height; ++row) {
        EXPECT_EQ(0, std::memcmp(copy.data() + row * rowBytes,
                                 source.data() + (height - 1 - row) * rowBytes, rowBytes))
            << "row " << row;
    }
}

}  // namespace
}  // namespace korvix::core
