#include <gtest/gtest.h>

#include <cstddef>

#include "KorvixSdk_Tesslin.h"

extern "C" int KorvixVersionFromC(void);

static_assert(offsetof(KorvixFrameInfo, reserved) == 0);
static_assert(offsetof(KorvixFrameInfo, width) == 4);
static_assert(offsetof(KorvixFrameInfo, height) == 8);
static_assert(offsetof(KorvixFrameInfo, bitCount) == 12);
static_assert(offsetof(KorvixFrameInfo, frameRate10) == 16);
static_assert(offsetof(KorvixFrameInfo, userBuffer) == 24);
static_assert(offsetof(KorvixCameraInfo, size) == 0);
static_assert(offsetof(KorvixCameraInfo, sensorWidth) == 4);
static_assert(offsetof(KorvixCameraInfo, sensorHeight) == 8);
static_assert(offsetof(KorvixCameraInfo, minGlobalGain) == 12);
static_assert(offsetof(KorvixCameraInfo, maxGlobalGain) == 16);
static_assert(offsetof(KorvixCameraInfo, minColorGain) == 20);
static_assert(offsetof(KorvixCameraInfo, maxColorGain) == 24);
static_assert(offsetof(KorvixCameraInfo, minExposure) == 28);
static_assert(offsetof(KorvixCameraInfo, maxExposure) == 32);
static_assert(offsetof(KorvixCameraInfo, minRealExposure) == 40);
static_assert(offsetof(KorvixCameraInfo, maxRealExposure) == 48);
static_assert(sizeof(KorvixCameraInfo) == 56);

TEST(SystemHeader, CodesAndMessagesHaveTheirInterfaceNumbers) {
    const int codes[] = {CAMERR_NONE,    CAMERR_NOT_READY,      CAMERR_OPEN,          CAMERR_THREAD,
                         CAMERR_WINDOW,  CAMERR_MEMORY,         CAMERR_IO,            CAMERR_CAPTURE_WINDOW,
                         CAMERR_FRAME,   CAMERR_PARAMETER,      CAMERR_NOT_SUPPORTED, CAMERR_FAILED,
                         CAMERR_DEVICE_LOST, CAMERR_MASK_FILE};
    const int expected[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14};
    for (size_t i = 0; i < std::size(codes); ++i) EXPECT_EQ(codes[i], expected[i]);
    EXPECT_EQ(WM_CAMERA_FRAME, 0x8002);
    EXPECT_EQ(WM_CAMERA_ERROR, 0x8003);
}

TEST(SystemHeader, CallableFromC) { EXPECT_EQ(KorvixVersionFromC(), 0x02160521); }
