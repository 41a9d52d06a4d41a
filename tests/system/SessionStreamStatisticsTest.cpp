#include <cstddef>
#include <cstring>
#include <vector>

#include "SimulatedCameras.h"

// The statistics record of the Linux extension, read by bindings (the Python package) at
// these offsets.
static_assert(offsetof(KorvixStreamStatistics, framesDelivered) == 8);
static_assert(offsetof(KorvixStreamStatistics, framesLost) == 16);
static_assert(offsetof(KorvixStreamStatistics, transferFailures) == 24);
static_assert(offsetof(KorvixStreamStatistics, restartPulses) == 32);
static_assert(offsetof(KorvixStreamStatistics, transferRateMBps) == 40);
static_assert(sizeof(KorvixStreamStatistics) == 48);


namespace korvix::test {
namespace {

class SystemStreamStatistics : public SimulatedCamerasTest {};

KorvixStreamStatistics EmptyStatistics() {
    KorvixStreamStatistics stats;
    std::memset(&stats, 0xAB, sizeof stats);
    stats.size = sizeof stats;
    return stats;
}

// The statistics through the extension exports: snapshots are counted frames, a short
// record or none is refused with its code, and a reset starts the counts again.
TEST_F(SystemStreamStatistics, SnapshotsAreCountedUntilReset) {
    UseCameras("imx990");
    const int handle = NewHandle();
    ASSERT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Korvix_SetColorMode(handle, 8), 1);
    std::vector<uint8_t> frame(1280 * 1024);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(Korvix_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1), 1);
    }
    KorvixStreamStatistics stats = EmptyStatistics();
    ASSERT_EQ(Korvix_GetStreamStatistics(handle, &stats), 1);
    EXPECT_EQ(stats.reserved, 0);
    EXPECT_EQ(stats.framesDelivered, 2u);
    EXPECT_EQ(stats.framesLost, 0u);
    EXPECT_EQ(stats.transferFailures, 0u);
    EXPECT_EQ(stats.restartPulses, 0u);
    EXPECT_GT(stats.transferRateMBps, 0.0);

    EXPECT_EQ(Korvix_GetStreamStatistics(handle, nullptr), 0);
    KorvixStreamStatistics shortRecord = EmptyStatistics();
    shortRecord.size = offsetof(KorvixStreamStatistics, transferRateMBps);
    EXPECT_EQ(Korvix_GetStreamStatistics(handle, &shortRecord), 0);
    EXPECT_EQ(shortRecord.framesDelivered, EmptyStatistics().framesDelivered);
    EXPECT_EQ(Errors(handle), (std::vector<int>{CAMERR_MEMORY, CAMERR_PARAMETER}));

    ASSERT_EQ(Korvix_ResetStreamStatistics(handle), 1);
    ASSERT_EQ(Korvix_GetStreamStatistics(handle, &stats), 1);
    EXPECT_EQ(stats.framesDelivered, 0u);
    EXPECT_EQ(stats.transferRateMBps, 0.0);
}

// A fixed limit holds through exposure changes, which otherwise set the library's own; 0
// gives the library's own back.
TEST_F(SystemStreamStatistics, FixedDataTimeoutOutlastsExposureChanges) {
    UseCameras("imx990");
    const int handle = NewHandle();
    EXPECT_EQ(Korvix_GetDataTimeout(handle), 5000);
    EXPECT_EQ(Korvix_SetDataTimeout(handle, 1234), 1);
    ASSERT_EQ(Korvix_SetExposureTime(handle, 100), 1);
    EXPECT_EQ(Korvix_GetDataTimeout(handle), 1234);
    EXPECT_EQ(Korvix_SetDataTimeout(handle, -1), 0);
    EXPECT_EQ(Korvix_GetDataTimeout(handle), 1234);
    EXPECT_EQ(Korvix_SetDataTimeout(handle, 0), 1);
    EXPECT_EQ(Korvix_GetDataTimeout(handle), 5000);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_PARAMETER});
    // An unknown handle records nothing and answers 0.
    EXPECT_EQ(Korvix_GetDataTimeout(handle + 1000), 0);
}

}  // namespace
}  // namespace korvix::test
