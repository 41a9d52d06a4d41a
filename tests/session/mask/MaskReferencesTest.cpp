#include "session/mask/MaskReferences.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "session/mask/MaskFile.h"

namespace korvix::mask {
namespace {

// Session images with neutral references, clear maps and a full-size raw frame of each
// depth holding one bright (8-bit: 250, 16-bit: 4000) pixel at (300, 200).
struct MaskImages {
    SessionImages images;
    platform::CriticalSection maskLock;

    MaskImages() {
        EXPECT_TRUE(images.CreateAll());
        for (auto *image : {&images.darkRef8, &images.brightRef8, &images.hotMap8, &images.deadMap8,
                            &images.defectMap8, &images.rawImage8}) {
            (*image)->Create(kMaskWidth, kMaskHeight, 8);
        }
        for (auto *image : {&images.darkRef16, &images.brightRef16, &images.hotMap16,
                            &images.deadMap16, &images.defectMap16, &images.rawImage16}) {
            (*image)->Create(kMaskWidth, kMaskHeight, 16);
        }
        std::fill_n(images.brightRef8->Bits(), kMaskBytes8, uint8_t{255});
        std::fill_n(reinterpret_cast<uint16_t *>(images.brightRef16->Bits()), kMaskBytes8,
                    uint16_t{4095});
        images.rawImage8->Bits()[200 * kMaskWidth + 300] = 250;
        reinterpret_cast<uint16_t *>(images.rawImage16->Bits())[200 * kMaskWidth + 300] = 4000;
    }
    static int At(const std::unique_ptr<imaging::FrameImage> &image, int32_t x, int32_t y) {
        const size_t i = size_t(y) * kMaskWidth + x;
        return image->BitCount() == 8 ? image->Bits()[i]
                                      : reinterpret_cast<const uint16_t *>(image->Bits())[i];
    }
};

TEST(SessionMaskReferences, CaptureUpdatesOnlyTheReferenceAndMapOfTheFrameDepth) {
    MaskImages m;
    ASSERT_TRUE(UpdateMaskReference(m.images, /*colorIndex=*/4, kHotMap, m.maskLock));
    EXPECT_EQ(MaskImages::At(m.images.darkRef16, 300, 200), 4000);
    EXPECT_EQ(MaskImages::At(m.images.hotMap16, 300, 200), 1);
    EXPECT_EQ(MaskImages::At(m.images.darkRef8, 300, 200), 0);
    EXPECT_EQ(MaskImages::At(m.images.hotMap8, 300, 200), 0);

    // An 8-bit frame as bright reference: every pixel below 64 but the bright one is dead.
    ASSERT_TRUE(UpdateMaskReference(m.images, /*colorIndex=*/2, kDeadMap, m.maskLock));
    EXPECT_EQ(MaskImages::At(m.images.brightRef8, 300, 200), 250);
    EXPECT_EQ(MaskImages::At(m.images.deadMap8, 300, 200), 0);
    EXPECT_EQ(MaskImages::At(m.images.deadMap8, 301, 200), 1);
    EXPECT_EQ(MaskImages::At(m.images.brightRef16, 301, 200), 4095);

    EXPECT_FALSE(UpdateMaskReference(m.images, 0, 2, m.maskLock));
    EXPECT_FALSE(UpdateMaskReference(m.images, 0, -1, m.maskLock));
}

// With the mask correction on, a 16-bit frame is spread over the full range before the
// defect correction looks at it: a pixel 40 above its neighbours (noise, in 12-bit units)
// stays, one 2000 above them (the bright pixel) is repaired.
TEST(SessionMaskReferences, SixteenBitDefectThresholdFollowsTheMaskRescale) {
    MaskImages m;
    auto *raw = reinterpret_cast<uint16_t *>(m.images.rawImage16->Bits());
    std::fill_n(raw, kMaskBytes8, uint16_t{2000});
    raw[200 * kMaskWidth + 300] = 4000;
    raw[300 * kMaskWidth + 400] = 2040;
    const MaskStepSwitches switches{&m.maskLock, /*maskCorrection=*/true,
                                    /*defectCorrection=*/true, ReadoutTurn{}};
    RunMaskStep(m.images, /*colorIndex=*/1, CaptureWindow{}, switches);
    EXPECT_EQ(MaskImages::At(m.images.rawImage16, 300, 200), 2000 << 4);
    EXPECT_EQ(MaskImages::At(m.images.rawImage16, 400, 300), 2040 << 4);
}

TEST(SessionMaskReferences, SensorWindowFollowsTheFrameSize) {
    struct Case {
        CaptureWindow window;
        int32_t frameWidth, frameHeight;
        int orientation;
        int32_t step;  // 0: no match
        int32_t startX, startY;
    };
    const Case cases[] = {
        {{1280, 1024, 1280, 1024, 0, 0}, 1280, 1024, 4, 1, 0, 0},
        {{1280, 1024, 1280, 1024, 0, 0}, 640, 512, 1, 2, 0, 0},
        // A turned sensor's sub-sampled pixels are the odd ones of the upright frame.
        {{1280, 1024, 1280, 1024, 0, 0}, 640, 512, 4, 2, 1, 1},
        {{1280, 1024, 1280, 1024, 0, 0}, 640, 512, 3, 2, 0, 1},
        {{1280, 1024, 640, 480, 32, 16}, 640, 480, 4, 1, 32, 16},
        {{1280, 1024, 641, 481, 32, 16}, 320, 240, 2, 2, 33, 16},
        {{1280, 1024, 1280, 1024, 0, 0}, 600, 512, 1, 0, 0, 0},  // a frame of another window
    };
    for (const Case &c : cases) {
        imaging::FrameImage frame;
        frame.Create(c.frameWidth, c.frameHeight, 8);
        const std::optional<SensorWindow> sensor =
            SensorWindowOf(c.window, frame, ReadoutTurn::OfOrientation(c.orientation));
        ASSERT_EQ(sensor.has_value(), c.step != 0) << c.frameWidth;
        if (!sensor) continue;
        EXPECT_EQ(sensor->step, c.step);
        EXPECT_EQ(sensor->startX, c.startX) << c.orientation;
        EXPECT_EQ(sensor->startY, c.startY) << c.orientation;
    }
}

}  // namespace
}  // namespace korvix::mask
