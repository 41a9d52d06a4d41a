#include <gtest/gtest.h>

#include "platform/TextConversion.h"

using namespace korvix::platform;

TEST(PlatformTextConversion, CapacityCountsTheTerminator) {
    // ASCII has the same form in every code page.
    wchar_t wide[4];
    EXPECT_EQ(NarrowToWide("abc", wide, 4), 4u);
    EXPECT_EQ(NarrowToWide("abcd", wide, 4), 0u);
    char narrow[3];
    EXPECT_EQ(WideToNarrow(L"ab", narrow, 3), 3u);
    EXPECT_EQ(WideToNarrow(L"abc", narrow, 3), 0u);
}
