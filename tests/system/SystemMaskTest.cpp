#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "FrameFiles.h"
#include "SimulatedCameras.h"
#include "imaging/files/FileBytes.h"
#include "sim/SyntheticScene.h"

namespace korvix::test {
namespace {

constexpr size_t kMaskFileSize = 7864360;
constexpr size_t kDark8 = 40;
constexpr size_t kBright8 = 40 + 1310720;
// The synthetic scene's hot pixels have this radiance, its dead pixels none; a defect
// differs from each neighbour by this much or more.
constexpr int kHotSceneRadiance = 16000;
constexpr int kStandingOut = 1000;

void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

class SystemDefectMask : public SimulatedCamerasTest {
  protected:
    int OpenCamera(const std::string &list = "imx990:scene=ramp") {
        UseCameras(list);
        const int handle = NewHandle();
        EXPECT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
        EXPECT_EQ(Korvix_SetColorMode(handle, 8), 1);
        return handle;
    }

    static std::vector<uint8_t> SavedMask(int handle) {
        const std::string path = PathIn("saved.msk");
        EXPECT_EQ(Korvix_SaveMaskFile(handle, path.c_str()), 1);
        return ReadFileBytes(path);
    }

    // An 8-bit snapshot of the current window, rows in memory order.
    static std::vector<uint8_t> Snapshot(int handle, int width, int height) {
        std::vector<uint8_t> frame(size_t(FramePitch(width, 8)) * height);
        EXPECT_EQ(Korvix_SnapShot(handle, frame.data(), int(frame.size()), 1), 1);
        return frame;
    }
};

TEST_F(SystemDefectMask, MaskFilesSaveLoadAndRefuseDamageWithoutChange) {
    const int handle = OpenCamera();
    const std::vector<uint8_t> fresh = SavedMask(handle);
    ASSERT_EQ(fresh.size(), kMaskFileSize);
    EXPECT_EQ(std::string(fresh.begin(), fresh.begin() + 16), std::string("VELSOR MASK1000\0", 16));
    EXPECT_EQ(U32At(fresh, 16), 1280u);
    EXPECT_EQ(U32At(fresh, 20), 1024u);
    EXPECT_EQ(std::count(fresh.begin() + kDark8, fresh.begin() + kBright8, 0), 1310720);
    EXPECT_EQ(std::count(fresh.begin() + kBright8, fresh.begin() + 2621480, 255), 1310720);
    EXPECT_EQ(U32At(fresh, 5242920), 4095u | 4095u << 16);

    // A mask of its own, loaded through the wide name.
    std::vector<uint8_t> own = fresh;
    own[kDark8 + 777] = 33;
    const std::string ownPath = PathIn("own.msk");
    WriteFile(ownPath, own);
    ASSERT_EQ(Korvix_LoadMaskFileW(handle, std::wstring(ownPath.begin(), ownPath.end()).c_str()),
              1);

    std::vector<uint8_t> narrow = fresh;
    narrow[16] = 0x80, narrow[17] = 0x02;  // width 640
    std::vector<uint8_t> truncated = fresh;
    truncated.resize(kMaskFileSize - 1000);
    WriteFile(PathIn("narrow.msk"), narrow);
    WriteFile(PathIn("truncated.msk"), truncated);
    for (const char *name : {"narrow.msk", "truncated.msk", "missing.msk"}) {
        EXPECT_EQ(Korvix_LoadMaskFile(handle, PathIn(name).c_str()), 0) << name;
        EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_MASK_FILE}) << name;
    }
    EXPECT_TRUE(SavedMask(handle) == own);
    EXPECT_EQ(Korvix_SaveMaskFile(handle, PathIn("no/dir.msk").c_str()), 0);
    EXPECT_EQ(Korvix_SaveMaskFileW(handle, nullptr), 0);
    EXPECT_EQ(Errors(handle), (std::vector<int>{CAMERR_FAILED, CAMERR_MASK_FILE}));
}

TEST_F(SystemDefectMask, UpdateMaskDataStoresOnlyFullFrames) {
    const int handle = OpenCamera();
    const std::vector<uint8_t> fresh = SavedMask(handle);
    ASSERT_EQ(Korvix_SetSubSample(handle, 1), 1);
    Snapshot(handle, 640, 512);
    EXPECT_EQ(Korvix_UpdateMaskData(handle, 1), 1);
    EXPECT_TRUE(SavedMask(handle) == fresh);
    EXPECT_EQ(Korvix_UpdateMaskData(handle, 2), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_FAILED});

    ASSERT_EQ(Korvix_SetSubSample(handle, 0), 1);
    const std::vector<uint8_t> frame = Snapshot(handle, 1280, 1024);
    EXPECT_EQ(Korvix_UpdateMaskData(handle, 0), 1);
    const std::vector<uint8_t> saved = SavedMask(handle);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), saved.begin() + kDark8));
    EXPECT_TRUE(std::equal(saved.begin() + kBright8, saved.end(), fresh.begin() + kBright8));
}

// A still 8-bit frame in memory order and the neighbourhood arithmetic the tests need.
struct StillFrame {
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;

    int At(int x, int y) const { return bytes[size_t(y) * FramePitch(width, 8) + x]; }
    // The mean of the four pixels `d` away along the row and the column (truncated, as the
    // repair computes it).
    int NeighbourMean(int x, int y, int d = 1) const {
        return (At(x - d, y) + At(x + d, y) + At(x, y - d) + At(x, y + d)) / 4;
    }
    int Excess(int x, int y, int d = 1) const { return At(x, y) - NeighbourMean(x, y, d); }
};

// A place of the full frame where a hot pixel of the mask shows when repaired: odd x and y
// (the turned sensor's sub-sampled read-out takes the odd pixels of the upright frame), inside
// rows 256..767, clearly above the mean of its neighbours at distances 1 and 2, with no
// outlier around it that the defect correction would mark by itself.
std::pair<int, int> QuietBump(const StillFrame &full) {
    const auto quiet = [&](int x, int y) {
        for (int dy = -4; dy <= 4; ++dy) {
            for (int dx = -4; dx <= 4; ++dx) {
                if (std::abs(full.Excess(x + dx, y + dy, 1)) >= 20) return false;
                if (std::abs(full.Excess(x + dx, y + dy, 2)) >= 20) return false;
            }
        }
        return true;
    };
    for (int y = 401; y < 700; y += 2) {
        for (int x = 401; x < 900; x += 2) {
            if (full.Excess(x, y, 1) >= 4 && full.Excess(x, y, 2) >= 4 && quiet(x, y)) return {x, y};
        }
    }
    return {0, 0};
}

// One pixel marked hot in the mask file's dark reference (200) is replaced by the mean of
// its four neighbours in every frame once the defect correction is on: in the full frame,
// in a window (the frame's rows start at the window's top) and in a sub-sampled frame (the
// neighbours are the sub-sampled ones). A still synthetic scene, so each frame can be
// compared with the same frame taken without the correction.
TEST_F(SystemDefectMask, MaskedHotPixelIsRepairedInFullWindowedAndSubSampledFrames) {
    const int handle = OpenCamera("imx990:noise=off");
    const StillFrame full{Snapshot(handle, 1280, 1024), 1280, 1024};
    const auto [hotX, hotY] = QuietBump(full);
    ASSERT_NE(hotX, 0) << "no quiet place in the scene";
    std::vector<uint8_t> mask = SavedMask(handle);
    mask[kDark8 + size_t(hotY) * 1280 + hotX] = 200;
    WriteFile(PathIn("hot.msk"), mask);
    ASSERT_EQ(Korvix_LoadMaskFile(handle, PathIn("hot.msk").c_str()), 1);

    struct FrameKind {
        const char *name;
        int startY, height, subSample;
        int x, y;  // the hot pixel in the frame
        int distance;  // of its neighbours in the full frame
    };
    const FrameKind kinds[] = {
        {"full", 0, 1024, 0, hotX, hotY, 1},
        {"window", 256, 512, 0, hotX, hotY - 256, 1},
        {"sub-sampled", 0, 1024, 1, (hotX - 1) / 2, (hotY - 1) / 2, 2},
    };
    for (const FrameKind &kind : kinds) {
        SCOPED_TRACE(kind.name);
        ASSERT_EQ(Korvix_SetSubSample(handle, kind.subSample), 1);
        ASSERT_EQ(Korvix_SetCaptureWindowEx(handle, 1280, 0, 1280, 1024, kind.startY, kind.height), 1);
        const int width = 1280 >> kind.subSample;
        const int height = kind.height >> kind.subSample;
        ASSERT_EQ(Korvix_SetDotFilter(handle, 0), 1);
        const StillFrame plain{Snapshot(handle, width, height), width, height};
        // The frame shows the sensor pixels the corrections pair it with.
        ASSERT_EQ(plain.At(kind.x, kind.y), full.At(hotX, hotY));
        ASSERT_EQ(plain.NeighbourMean(kind.x, kind.y), full.NeighbourMean(hotX, hotY, kind.distance));

        ASSERT_EQ(Korvix_SetDotFilter(handle, 1), 1);
        for (int frame = 0; frame < 2; ++frame) {
            const StillFrame repaired{Snapshot(handle, width, height), width, height};
            EXPECT_EQ(repaired.At(kind.x, kind.y), plain.NeighbourMean(kind.x, kind.y));
            for (int dy = -4; dy <= 4; ++dy) {
                for (int dx = -4; dx <= 4; ++dx) {
                    if (dx == 0 && dy == 0) continue;
                    EXPECT_EQ(repaired.At(kind.x + dx, kind.y + dy), plain.At(kind.x + dx, kind.y + dy))
                        << "only the hot pixel changes: " << dx << "," << dy;
                }
            }
        }
    }
}

// The synthetic scene's hot and dead pixels (known from the scene itself): a short exposure
// serves as the dark reference, a long one as the bright reference; with both corrections on
// they no longer stand out of the frames.
TEST_F(SystemDefectMask, SyntheticDefectsDisappearWithBothCorrections) {
    // No temporal noise and a target that holds still: the frames differ only by exposure
    // and correction, however long apart they are taken.
    const int handle = OpenCamera("imx990:seed=1:noise=off");
    sim::SyntheticScene scene(1280, 1024, 1);
    // Radiance of the pixel at (x, y) of the upright frame: the array turned.
    const auto radiance = [&](int x, int y) { return int(scene.RadianceAt(1279 - x, 1023 - y)); };
    std::vector<std::pair<int, int>> defects;  // single hot or dead pixels
    for (int y = 8; y < 1024 - 8; ++y) {
        for (int x = 8; x < 1280 - 8; ++x) {
            const int r = radiance(x, y);
            if (r != 0 && r != kHotSceneRadiance) continue;
            const int neighbours[] = {radiance(x - 1, y), radiance(x + 1, y), radiance(x, y - 1),
                                      radiance(x, y + 1)};
            if (std::all_of(std::begin(neighbours), std::end(neighbours),
                            [&](int n) { return std::abs(n - r) >= kStandingOut; })) {
                defects.emplace_back(x, y);
            }
        }
    }
    ASSERT_GE(defects.size(), 20u);

    ASSERT_EQ(Korvix_SetExposureTime(handle, 45), 1);  // 4.5 ms: hot pixels above 192
    Snapshot(handle, 1280, 1024);
    ASSERT_EQ(Korvix_UpdateMaskData(handle, 0), 1);
    ASSERT_EQ(Korvix_SetExposureTime(handle, 1200), 1);  // 120 ms: a bright frame
    Snapshot(handle, 1280, 1024);
    ASSERT_EQ(Korvix_UpdateMaskData(handle, 1), 1);

    ASSERT_EQ(Korvix_SetExposureTime(handle, 200), 1);
    const StillFrame plain{Snapshot(handle, 1280, 1024), 1280, 1024};
    ASSERT_EQ(Korvix_SetMaskFilter(handle, 1), 1);
    ASSERT_EQ(Korvix_SetDotFilter(handle, 1), 1);
    const StillFrame corrected{Snapshot(handle, 1280, 1024), 1280, 1024};
    size_t stoodOut = 0;
    for (const auto &[x, y] : defects) {
        if (std::abs(plain.Excess(x, y)) >= 30) ++stoodOut;
        EXPECT_LT(std::abs(corrected.Excess(x, y)), 30) << x << "," << y;
    }
    EXPECT_GE(stoodOut, defects.size() / 2) << "the defects stood out before";
}

}  // namespace
}  // namespace korvix::test
