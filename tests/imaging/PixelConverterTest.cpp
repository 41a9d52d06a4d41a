#include "imaging/PixelConverter.h"

#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "imaging/DisplayScaling.h"
#include "imaging/FormatConverters.h"

namespace korvix::imaging {
namespace {

using test::Byte;
using test::FillRandom;
using test::Snapshot;

// Records what the dispatcher handed to a converter.
struct CallRecord {
    int calls = 0;
    PixelRect rect;
    int32_t x = -1, y = -1;
    uint16_t destinationBytes = 0, sourceBytes = 0;
    int32_t destinationPitch = 0, sourcePitch = 0;
    void *second = nullptr;
};

int RecordingConverter(uint8_t *, const uint8_t *, const PixelRect &rect, int32_t x, int32_t y,
                       uint16_t destinationBytes, uint16_t sourceBytes, int32_t destinationPitch,
                       int32_t sourcePitch, void *first, void *second) {
    auto *record = static_cast<CallRecord *>(first);
    ++record->calls;
    record->rect = rect;
    record->x = x;
    record->y = y;
    record->destinationBytes = destinationBytes;
    record->sourceBytes = sourceBytes;
    record->destinationPitch = destinationPitch;
    record->sourcePitch = sourcePitch;
    record->second = second;
    return 7;
}

TEST(ImagingConvertImage, WholeImageByDefault) {
    FrameImage destination, source;
    ASSERT_EQ(destination.Create(10, 6, 24), 1);
    ASSERT_EQ(source.Create(10, 6, 32), 1);
    CallRecord record;
    int marker = 0;
    EXPECT_EQ(
        ConvertImage(destination, RecordingConverter, source, nullptr, 0, 0, &record, &marker), 7);
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(record.rect.left, 0);
    EXPECT_EQ(record.rect.top, 0);
    EXPECT_EQ(record.rect.right, 10);
    EXPECT_EQ(record.rect.bottom, 6);
    EXPECT_EQ(record.x, 0);
    EXPECT_EQ(record.y, 0);
    EXPECT_EQ(record.destinationBytes, 3);
    EXPECT_EQ(record.sourceBytes, 4);
    EXPECT_EQ(record.destinationPitch, 32);
    EXPECT_EQ(record.sourcePitch, 40);
    EXPECT_EQ(record.second, &marker);
}

TEST(ImagingConvertImage, ClipsAndTurnsRowsBottomUp) {
    FrameImage destination, source;
    ASSERT_EQ(destination.Create(8, 8, 8), 1);
    ASSERT_EQ(source.Create(10, 10, 8), 1);
    CallRecord record;
    // Source rows 2..9 placed at destination (-1, 3): one column cut on the left, the
    // destination holds rows 3..7 only, so source rows 2..6 survive.
    const PixelRect rect{0, 2, 6, 10};
    ASSERT_EQ(ConvertImage(destination, RecordingConverter, source, &rect, -1, 3, &record), 7);
    EXPECT_EQ(record.rect.left, 1);
    EXPECT_EQ(record.rect.right, 6);
    // Surface rows 2..6 of a 10-row source are memory rows 3..7.
    EXPECT_EQ(record.rect.top, 10 - 7);
    EXPECT_EQ(record.rect.bottom, 10 - 2);
    EXPECT_EQ(record.x, 0);
    // Destination surface rows 3..7 of 8 are memory rows 0..4.
    EXPECT_EQ(record.y, 8 - 8);
}

TEST(ImagingConvertImage, RectangleOutsideConvertsNothing) {
    FrameImage destination, source;
    ASSERT_EQ(destination.Create(8, 8, 8), 1);
    ASSERT_EQ(source.Create(8, 8, 8), 1);
    FillRandom(source, 1);
    const auto before = Snapshot(destination);
    CallRecord record;
    const PixelRect outsideSource{8, 0, 12, 4};
    EXPECT_EQ(ConvertImage(destination, RecordingConverter, source, &outsideSource, 0, 0, &record),
              0);
    EXPECT_EQ(ConvertImage(destination, RecordingConverter, source, nullptr, 8, 0, &record), 0);
    EXPECT_EQ(ConvertImage(destination, RecordingConverter, source, nullptr, 0, -8, &record), 0);
    const PixelRect inverted{4, 4, 2, 6};
    EXPECT_EQ(ConvertImage(destination, RecordingConverter, source, &inverted, 0, 0, &record), 0);
    EXPECT_EQ(record.calls, 0);
    EXPECT_EQ(ConvertImage(destination, FlipCopyRows, source, nullptr, 0, 8), 0);
    EXPECT_EQ(Snapshot(destination), before);
}

TEST(ImagingConvertImage, MissingConverterOrEmptyImageConvertsNothing) {
    FrameImage destination, source, empty;
    ASSERT_EQ(destination.Create(4, 4, 8), 1);
    ASSERT_EQ(source.Create(4, 4, 8), 1);
    EXPECT_EQ(ConvertImage(destination, nullptr, source, nullptr, 0, 0), 0);
    CallRecord record;
    EXPECT_EQ(ConvertImage(destination, RecordingConverter, empty, nullptr, 0, 0, &record), 0);
    EXPECT_EQ(ConvertImage(empty, RecordingConverter, source, nullptr, 0, 0, &record), 0);
    EXPECT_EQ(record.calls, 0);
}

TEST(ImagingClipConversion, ExtremeValuesDoNotOverflow) {
    PixelRect rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    int32_t x = INT32_MAX, y = INT32_MIN;
    EXPECT_FALSE(ClipConversion(rect, x, y, 100, 100, 100, 100));
    EXPECT_TRUE(rect.IsEmpty());
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    rect = PixelRect{-3, 0, INT32_MAX, INT32_MAX};
    x = INT32_MIN;
    y = 0;
    EXPECT_FALSE(ClipConversion(rect, x, y, 50, 40, 100, 100));
    rect = PixelRect{-3, 0, INT32_MAX, INT32_MAX};
    x = 0;
    y = 0;
    EXPECT_TRUE(ClipConversion(rect, x, y, 50, 40, 100, 100));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(rect.right, 47);
    EXPECT_EQ(rect.bottom, 40);
    rect = PixelRect{0, 0, INT32_MAX, INT32_MAX};
    x = 0;
    y = 0;
    EXPECT_TRUE(ClipConversion(rect, x, y, 50, 40, 100, 100));
    EXPECT_EQ(rect.right, 50);
    EXPECT_EQ(rect.bottom, 40);
}

TEST(ImagingDisplayScaling, Scale8FlipDoublesRowsReversed) {
    FrameImage source, destination;
    ASSERT_EQ(source.Create(4, 4, 8), 1);
    ASSERT_EQ(destination.Create(8, 8, 8), 1);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) Byte(source, column, row) = row * 16 + column;
    }
    ASSERT_EQ(ConvertImageScaled(destination, Scale8Flip, source, nullptr, nullptr), 1);
    const int expectedRows[8] = {3, 3, 2, 2, 1, 1, 0, 0};
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 8; ++column) {
            EXPECT_EQ(Byte(destination, column, row), expectedRows[row] * 16 + column / 2)
                << row << "," << column;
        }
    }
}

TEST(ImagingDisplayScaling, Scale24FlipShrinksWithNearestPixel) {
    FrameImage source, destination;
    ASSERT_EQ(source.Create(6, 3, 24), 1);
    ASSERT_EQ(destination.Create(4, 2, 24), 1);
    FillRandom(source, 5);
    ASSERT_EQ(ConvertImageScaled(destination, Scale24Flip, source, nullptr, nullptr), 1);
    // rx = 1.5, ry = 1.5: columns 0, 1, 3, 4; rows 2 - 0 = 2 and 2 - 1 = 1.
    const int columns[4] = {0, 1, 3, 4};
    const int rows[2] = {2, 1};
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 4; ++column) {
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_EQ(Byte(destination, column, row, channel),
                          Byte(source, columns[column], rows[row], channel));
            }
        }
    }
}

TEST(ImagingDisplayScaling, RefusesBadRectanglesAndFormats) {
    FrameImage source, destination, color;
    ASSERT_EQ(source.Create(4, 4, 8), 1);
    ASSERT_EQ(destination.Create(8, 8, 8), 1);
    ASSERT_EQ(color.Create(8, 8, 32), 1);
    const PixelRect tooLarge{0, 0, 5, 4};
    EXPECT_EQ(ConvertImageScaled(destination, Scale8Flip, source, &tooLarge, nullptr), 0);
    const PixelRect empty{2, 2, 2, 4};
    EXPECT_EQ(ConvertImageScaled(destination, Scale8Flip, source, nullptr, &empty), 0);
    EXPECT_EQ(ConvertImageScaled(destination, nullptr, source, nullptr, nullptr), 0);
    EXPECT_EQ(ConvertImageScaled(color, Scale24Flip, source, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace korvix::imaging
