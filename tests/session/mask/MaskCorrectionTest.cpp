#include "session/mask/MaskCorrection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

namespace korvix::mask {
namespace {

constexpr int32_t kSensorW = 1280;
constexpr int32_t kSensorH = 1024;

void Put(imaging::FrameImage &image, int32_t x, int32_t y, int value) {
    uint8_t *row = image.Bits() + int64_t{y} * image.Pitch();
    if (image.BitCount() == 8) {
        row[x] = static_cast<uint8_t>(value);
    } else {
        reinterpret_cast<uint16_t *>(row)[x] = static_cast<uint16_t>(value);
    }
}

int Get(const imaging::FrameImage &image, int32_t x, int32_t y) {
    const uint8_t *row = image.Bits() + int64_t{y} * image.Pitch();
    return image.BitCount() == 8 ? row[x] : reinterpret_cast<const uint16_t *>(row)[x];
}

void Fill(imaging::FrameImage &image, int32_t width, int32_t height, int bits, int value) {
    ASSERT_EQ(image.Create(width, height, bits), 1);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t *row = image.Bits() + int64_t{y} * image.Pitch();
        if (bits == 8) {
            std::fill_n(row, width, static_cast<uint8_t>(value));
        } else {
            std::fill_n(reinterpret_cast<uint16_t *>(row), width, static_cast<uint16_t>(value));
        }
    }
}

// A smooth frame without outliers: a gentle gradient well inside the sample range.
void FillGradient(imaging::FrameImage &frame, int32_t width, int32_t height, int bits) {
    ASSERT_EQ(frame.Create(width, height, bits), 1);
    const int scale = bits == 8 ? 1 : 16;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) Put(frame, x, y, (60 + (x + 2 * y) % 40) * scale);
    }
}

TEST(SessionMaskCorrection, RescalesBetweenTheReferences) {
    struct Case {
        int bits, dark, bright, pixel, expected;
    };
    const Case cases[] = {
        {8, 10, 210, 110, 128},            // (110 - 10) x 256 / 200
        {8, 10, 210, 5, 0},                // below the dark reference: limited to 0
        {8, 10, 210, 250, 255},            // above the bright reference: limited to 255
        {8, 0, 255, 255, 255},             // neutral references: 256/255, limited
        {8, 200, 100, 250, 0},             // inverted references: signed arithmetic, limited
        {8, 90, 90, 77, 77},               // equal references leave the pixel alone
        {16, 100, 3100, 1600, 2048 << 4},  // (1600 - 100) x 4096 / 3000, to the full 16 bits
        {16, 0, 4095, 4095, 4095 << 4},    // neutral: the whole 12-bit range to 16 bits
        {16, 0, 4095, 5000, 4095 << 4},    // limited to 4095 before the shift
        {16, 3000, 1000, 2000, 2000},      // dark not below bright: left alone
    };
    for (const Case &c : cases) {
        imaging::FrameImage frame, dark, bright;
        Fill(frame, 64, 48, c.bits, c.pixel);
        Fill(dark, kSensorW, kSensorH, c.bits, c.dark);
        Fill(bright, kSensorW, kSensorH, c.bits, c.bright);
        ASSERT_TRUE(MaskCorrect(frame, dark, bright, {}));
        EXPECT_EQ(Get(frame, 10, 10), c.expected) << c.bits << " bits, pixel " << c.pixel;
    }
}

// The rescale computes its quotient without an integer division; it must equal the integer
// rule for every 8-bit sample and reference pair, and for every 16-bit sample under a spread
// of reference pairs (equal, adjacent, inverted, extreme and the 12-bit range).
TEST(SessionMaskCorrection, RescaleEqualsTheIntegerRuleForEverySample) {
    // One assertion per pass (naming the first difference): millions of samples are compared.
    std::string firstDifference;
    const auto compare = [&](const imaging::FrameImage &frame, int32_t x, int32_t y, int expected,
                             int d, int b) {
        if (firstDifference.empty() && Get(frame, x, y) != expected) {
            firstDifference = "pixel " + std::to_string(x) + " dark " + std::to_string(d) +
                              " bright " + std::to_string(b) + ": " +
                              std::to_string(Get(frame, x, y)) + ", not " +
                              std::to_string(expected);
        }
    };
    // 8 bits: row d holds every pixel value 0..255 against dark d; one pass per bright value.
    imaging::FrameImage frame, dark, bright;
    ASSERT_EQ(dark.Create(256, 256, 8), 1);
    for (int32_t d = 0; d < 256; ++d) std::fill_n(dark.Bits() + d * dark.Pitch(), 256, uint8_t(d));
    for (int b = 0; b < 256; ++b) {
        Fill(bright, 256, 256, 8, b);
        ASSERT_EQ(frame.Create(256, 256, 8), 1);
        for (int32_t d = 0; d < 256; ++d) {
            for (int32_t p = 0; p < 256; ++p) Put(frame, p, d, p);
        }
        ASSERT_TRUE(MaskCorrect(frame, dark, bright, {}));
        for (int32_t d = 0; d < 256; ++d) {
            for (int32_t p = 0; p < 256; ++p) {
                compare(frame, p, d, d == b ? p : std::clamp((p - d) * 256 / (b - d), 0, 255), d,
                        b);
            }
        }
    }
    EXPECT_EQ(firstDifference, "");
    // 16 bits: row k holds every pixel value 0..65535 against the k-th reference pair.
    const int pairs[][2] = {{0, 0},       {0, 1},         {0, 2},      {0, 3},
                            {1, 2},       {0, 4095},      {100, 3100}, {4094, 4095},
                            {3000, 1000}, {0, 65535},     {1, 65535},  {65534, 65535},
                            {7, 40961},   {12345, 54321}, {65535, 0},  {333, 334}};
    constexpr int32_t kRows = static_cast<int32_t>(std::size(pairs));
    Fill(frame, 65536, kRows, 16, 0);
    Fill(dark, 65536, kRows, 16, 0);
    Fill(bright, 65536, kRows, 16, 0);
    for (int32_t k = 0; k < kRows; ++k) {
        for (int32_t p = 0; p < 65536; ++p) {
            Put(frame, p, k, p);
            Put(dark, p, k, pairs[k][0]);
            Put(bright, p, k, pairs[k][1]);
        }
    }
    ASSERT_TRUE(MaskCorrect(frame, dark, bright, {}));
    for (int32_t k = 0; k < kRows; ++k) {
        const int d = pairs[k][0], b = pairs[k][1];
        for (int32_t p = 0; p < 65536; ++p) {
            compare(frame, p, k, d < b ? std::clamp((p - d) * 4096 / (b - d), 0, 4095) << 4 : p, d,
                    b);
        }
    }
    EXPECT_EQ(firstDifference, "");
}

// Frames of a capture window, full, windowed with an unpadded width, or sub-sampled; the
// sensor pixel (100, 100) lies at frame pixel `at`.
struct WindowCase {
    const char *name;
    int32_t width, height;
    SensorWindow window;
    int32_t atX, atY;
};
const WindowCase kWindows[] = {
    {"full frame", 1280, 1024, {0, 0, 1}, 100, 100},
    {"window", 637, 301, {60, 44, 1}, 40, 56},
    {"sub-sampled", 640, 512, {0, 0, 2}, 50, 50},
    {"sub-sampled window", 321, 200, {20, 40, 2}, 40, 30},
};

TEST(SessionMaskCorrection, PairsFramePixelsWithTheirSensorPosition) {
    for (const WindowCase &w : kWindows) {
        imaging::FrameImage frame, dark, bright;
        Fill(frame, w.width, w.height, 8, 110);
        Fill(dark, kSensorW, kSensorH, 8, 0);
        Fill(bright, kSensorW, kSensorH, 8, 0);  // equal references: pixels left alone
        Put(dark, 100, 100, 10);
        Put(bright, 100, 100, 210);
        ASSERT_TRUE(MaskCorrect(frame, dark, bright, w.window)) << w.name;
        for (int32_t y = 0; y < w.height; ++y) {
            for (int32_t x = 0; x < w.width; ++x) {
                const int expected = x == w.atX && y == w.atY ? 128 : 110;
                ASSERT_EQ(Get(frame, x, y), expected) << w.name << " at " << x << "," << y;
            }
        }
    }
}

TEST(SessionMaskCorrection, RefusesWindowsOutsideTheReferences) {
    imaging::FrameImage frame, dark, bright, frame16;
    Fill(frame, 640, 512, 8, 110);
    Fill(frame16, 640, 512, 16, 110);
    Fill(dark, kSensorW, kSensorH, 8, 10);
    Fill(bright, kSensorW, kSensorH, 8, 210);
    EXPECT_FALSE(MaskCorrect(frame, dark, bright, {641, 0, 1}));
    EXPECT_FALSE(MaskCorrect(frame, dark, bright, {2, 0, 2}));  // last column at 1280
    EXPECT_FALSE(MaskCorrect(frame16, dark, bright, {}));       // depth of the references
    EXPECT_EQ(Get(frame, 0, 0), 110);
    EXPECT_TRUE(MaskCorrect(frame, dark, bright, {640, 512, 1}));
}

TEST(SessionDefectMap, MarksBeyondTheLimitsInsideTheBorder) {
    struct Case {
        int bits;
        DefectMapKind kind;
        int background, marked, unmarked;
    };
    const Case cases[] = {
        {8, kHotMap, 0, 193, 192},
        {8, kDeadMap, 255, 63, 64},
        {16, kHotMap, 0, 3073, 3072},
        {16, kDeadMap, 4095, 1023, 1024},
    };
    for (const Case &c : cases) {
        imaging::FrameImage reference, map;
        Fill(reference, kSensorW, kSensorH, c.bits, c.background);
        Fill(map, kSensorW, kSensorH, c.bits, 7);  // stale content is replaced everywhere
        Put(reference, 2, 2, c.marked);
        Put(reference, 1277, 1021, c.marked);
        Put(reference, 1, 500, c.marked);     // inside the two-pixel border
        Put(reference, 600, 1022, c.marked);  // inside the two-pixel border
        Put(reference, 300, 300, c.unmarked);
        ASSERT_TRUE(BuildDefectMap(reference, map, c.kind));
        int count = 0;
        for (int32_t y = 0; y < kSensorH; ++y) {
            for (int32_t x = 0; x < kSensorW; ++x) count += Get(map, x, y);
        }
        EXPECT_EQ(count, 2) << c.bits << " bits, kind " << c.kind;
        EXPECT_EQ(Get(map, 2, 2), 1);
        EXPECT_EQ(Get(map, 1277, 1021), 1);
    }
}

// A hot pixel of the map, not an outlier of the frame by itself, is replaced by the mean
// of its four neighbours at its frame position, whatever the capture window; nothing
// else of the smooth frame changes.
TEST(SessionDefectCorrection, RepairsAMappedHotPixelInEveryWindow) {
    for (int bits : {8, 16}) {
        for (const WindowCase &w : kWindows) {
            imaging::FrameImage frame, hot, dead, work, original;
            FillGradient(frame, w.width, w.height, bits);
            FillGradient(original, w.width, w.height, bits);
            Fill(hot, kSensorW, kSensorH, bits, 0);
            Fill(dead, kSensorW, kSensorH, bits, 0);
            Fill(work, kSensorW, kSensorH, bits, 0);
            Put(hot, 100, 100, 1);
            const int scale = bits == 8 ? 1 : 16;
            Put(frame, w.atX, w.atY, Get(frame, w.atX, w.atY) + 10 * scale);  // below threshold
            const int expected = (Get(frame, w.atX - 1, w.atY) + Get(frame, w.atX + 1, w.atY) +
                                  Get(frame, w.atX, w.atY - 1) + Get(frame, w.atX, w.atY + 1)) /
                                 4;
            Put(original, w.atX, w.atY, expected);

            ASSERT_TRUE(DefectCorrect(frame, hot, dead, work, w.window,
                                      bits == 8 ? kDefectThreshold8 : kDefectThreshold16));
            for (int32_t y = 0; y < w.height; ++y) {
                ASSERT_EQ(std::memcmp(frame.Bits() + int64_t{y} * frame.Pitch(),
                                      original.Bits() + int64_t{y} * original.Pitch(),
                                      size_t(w.width) * (bits / 8)),
                          0)
                    << bits << " bits, " << w.name << ", row " << y;
            }
        }
    }
}

TEST(SessionDefectCorrection, RepairsOutliersFromUnmarkedNeighboursOnly) {
    imaging::FrameImage frame, hot, dead, work;
    Fill(frame, 200, 100, 8, 100);
    Fill(hot, kSensorW, kSensorH, 8, 0);
    Fill(dead, kSensorW, kSensorH, 8, 0);
    Fill(work, kSensorW, kSensorH, 8, 0);
    Put(frame, 50, 50, 130);  // exactly the threshold above its neighbours: an outlier
    Put(frame, 49, 50, 40);   // its left neighbour: 60 below (and marked itself)
    Put(frame, 48, 50, 80);   // the nearest unmarked pixel to the left of both
    Put(frame, 80, 20, 129);  // 29 above: kept
    Put(frame, 2, 50, 250);   // inside the four-pixel margin: never marked
    ASSERT_TRUE(DefectCorrect(frame, hot, dead, work, {}, kDefectThreshold8));
    EXPECT_EQ(Get(frame, 50, 50), (80 + 100 + 100 + 100) / 4);
    EXPECT_EQ(Get(frame, 49, 50), (80 + 100 + 100 + 100) / 4);
    EXPECT_EQ(Get(frame, 80, 20), 129);
    EXPECT_EQ(Get(frame, 2, 50), 250);
    EXPECT_EQ(Get(frame, 48, 50), 80);
}

}  // namespace
}  // namespace korvix::mask
