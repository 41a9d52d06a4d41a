#include "session/FrameTransfer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace korvix {
namespace {

TEST(SessionFrameRate, TwentyFiveFramesASecondReadTwoHundredFifty) {
    FrameRateCounter counter;
    counter.Restart(1000);
    int32_t rate = -1;
    // 26 frames 40 ms apart: the window ends with the frame that passes 1000 ms.
    for (int frame = 1; frame <= 26; ++frame) rate = counter.Count(1000 + 40 * frame);
    EXPECT_EQ(rate, 250);  // 26 frames in 1040 ms
    EXPECT_EQ(counter.Rate10(), 250);
}

TEST(SessionFrameRate, RateHoldsUntilTheNextWindowEndsAndSurvivesTheTickWrap) {
    FrameRateCounter counter;
    const uint32_t start = 0xFFFFFF00u;  // the tick count wraps inside the window
    counter.Restart(start);
    EXPECT_EQ(counter.Count(start + 500), 0);
    EXPECT_EQ(counter.Count(start + 1001), 19);  // 2 frames in 1001 ms, truncated
    EXPECT_EQ(counter.Count(start + 1500), 19);
    EXPECT_EQ(counter.Count(start + 3001), 10);  // 2 frames in 2000 ms
    counter.Restart(start);
    EXPECT_EQ(counter.Rate10(), 0);
}

TEST(SessionFrameLayout, PackedRowsMoveToTheirPaddedPlaces) {
    for (int bits : {8, 16}) {
        imaging::FrameImage image;
        ASSERT_EQ(image.Create(5, 3, bits), 1);  // rows of 5 or 10 bytes padded to 8 or 12
        const int packed = 5 * bits / 8;
        for (int i = 0; i < packed * 3; ++i) image.Bits()[i] = static_cast<uint8_t>(i + 1);
        SpreadRowsToPitch(image);
        for (int row = 0; row < 3; ++row) {
            for (int i = 0; i < packed; ++i) {
                EXPECT_EQ(image.Bits()[row * image.Pitch() + i], row * packed + i + 1)
                    << bits << " " << row << " " << i;
            }
        }
    }
}

}  // namespace
}  // namespace korvix
