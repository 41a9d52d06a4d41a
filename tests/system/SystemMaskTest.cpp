#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "FrameFiles.h"
#include "SimulatedCameras.h"
#include "imaging/files/FileBytes.h"

namespace korvix::test {
namespace {

constexpr size_t kMaskFileSize = 7864360;
constexpr size_t kDark8 = 40;
constexpr size_t kBright8 = 40 + 1310720;

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

}  // namespace
}  // namespace korvix::test
