#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "platform/TextConversion.h"

// The Linux build's narrow text is UTF-8 and its wide text UTF-32.

using namespace korvix::platform;

TEST(PlatformTextConversion, RoundTripsMultiByteText) {
    const char *narrow = "KorvixTesslin_01 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\xB7";
    wchar_t wide[64];
    size_t wideCount = NarrowToWide(narrow, wide, 64);
    ASSERT_GT(wideCount, 0u);
    EXPECT_EQ(wideCount, wcslen(wide) + 1);
    EXPECT_EQ(wide[17], 0x65E5);   // first CJK character
    EXPECT_EQ(wide[20], 0x1F4F7);  // a character outside the basic plane

    char back[64];
    size_t narrowCount = WideToNarrow(wide, back, sizeof back);
    ASSERT_EQ(narrowCount, strlen(narrow) + 1);
    EXPECT_STREQ(back, narrow);
}

TEST(PlatformTextConversion, MultiByteCharacterStraddlingTheEndDoesNotFit) {
    char narrow[3];
    EXPECT_EQ(WideToNarrow(L"a\x00E9", narrow, 3), 0u);
}

TEST(PlatformTextConversion, RejectsMalformedInput) {
    wchar_t wide[8];
    EXPECT_EQ(NarrowToWide("\xC3", wide, 8), 0u);          // truncated sequence
    EXPECT_EQ(NarrowToWide("\xC0\xAF", wide, 8), 0u);      // overlong form
    EXPECT_EQ(NarrowToWide("\xED\xA0\x80", wide, 8), 0u);  // surrogate
    EXPECT_EQ(NarrowToWide(nullptr, wide, 8), 0u);
    char narrow[8];
    const wchar_t surrogate[] = {0xD800, 0};
    EXPECT_EQ(WideToNarrow(surrogate, narrow, 8), 0u);
}
