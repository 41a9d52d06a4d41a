#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "CoreSimFixture.h"
#include "sensors/SensorBase.h"

namespace korvix::core::test {
namespace {

using CoreFrameRead = CoreSimTest;

// A device core whose frame buffers run out after a given number.
class CoreWithScarceMemory : public CKorvixUSB3T2SimpleSdk {
  public:
    int buffersLeft = 1 << 20;

  protected:
    std::unique_ptr<uint8_t[]> AllocateFrameBuffer(uint32_t bytes) override {
        --buffersLeft;
        if (buffersLeft < 0) return nullptr;
        return CKorvixUSB3T2SimpleSdk::AllocateFrameBuffer(bytes);
    }
};

// A window change takes effect with the next transfer: until then a read hands out the frame
// in the ring with the geometry it was captured with, however large the caller's buffer, and
// refuses a buffer too small for it.
TEST_F(CoreFrameRead, CopyFollowsTheGeometryOfTheFrameInTheRing) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->SetCaptureWindow(0, 0, 1280, 512, 0), 1);
    ASSERT_EQ(core->StartTransfer(1), 1);
    ASSERT_EQ(WaitNewFrame(*core), 3);
    core->StopTransfer(0);
    ASSERT_EQ(core->SetCaptureWindow(0, 0, 1280, 1024, 0), 1);

    const size_t smallFrame = 1280 * 512;
    std::vector<uint8_t> large(1280 * 1024, 0xAB);
    FrameLayout layout;
    EXPECT_EQ(core->GetFrame(large.data(), static_cast<uint32_t>(large.size()), 1, &layout), 1);
    EXPECT_EQ(layout.width, 1280);
    EXPECT_EQ(layout.height, 512);
    EXPECT_EQ(layout.bytesPerSample, 1);
    EXPECT_EQ(std::count(large.begin() + smallFrame, large.end(), 0xAB),
              static_cast<long>(large.size() - smallFrame));

    std::vector<uint8_t> tooSmall(smallFrame - 1, 0xCD);
    layout = {};
    EXPECT_EQ(core->CopyFrame(tooSmall.data(), static_cast<uint32_t>(tooSmall.size()), nullptr,
                              nullptr, nullptr, nullptr, nullptr, 0, 1, &layout),
              0);
    EXPECT_EQ(layout.height, 512);
    EXPECT_EQ(std::count(tooSmall.begin(), tooSmall.end(), 0xCD),
              static_cast<long>(tooSmall.size()));

    // The next transfer brings frames of the new window.
    ASSERT_EQ(core->StartTransfer(1), 1);
    ASSERT_EQ(WaitNewFrame(*core), 3);
    EXPECT_EQ(core->GetFrame(large.data(), static_cast<uint32_t>(large.size()), 1, &layout), 1);
    EXPECT_EQ(layout.height, 1024);
    core->StopTransfer(0);
}

TEST_F(CoreFrameRead, AnEntryWithoutAFrameIsAFailedRead) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->ApplyGeometry(), 1);
    std::vector<uint8_t> buffer(static_cast<size_t>(core->FrameBytes()));
    FrameLayout layout{1, 1, 1};
    EXPECT_EQ(core->CopyFirstFrame(buffer.data(), static_cast<uint32_t>(buffer.size()), 1, &layout),
              0);
    EXPECT_EQ(layout.width, 0);
    EXPECT_EQ(layout.Bytes(), 0u);
}

// Memory that runs out while the ring is built (the transfer buffer and two of the four
// entries were had) is a failure the caller sees: the single capture cannot start, and a
// transfer thread reports the failure instead of dropping every frame.
TEST_F(CoreFrameRead, RingAllocationFailureReachesTheCaller) {
    UseCameras("imx990");
    CoreWithScarceMemory core;
    OpenAs(core, 0x3260);
    ASSERT_FALSE(HasFailure());

    core.buffersLeft = 3;
    EXPECT_EQ(core.CaptureOne(), 2);
    core.buffersLeft = 3;
    ASSERT_EQ(core.StartTransfer(0), 1);
    EXPECT_EQ(core.WaitFrame(5000), 1);
    core.StopTransfer(1);

    core.buffersLeft = 1 << 20;
    ASSERT_EQ(core.StartTransfer(0), 1);
    EXPECT_EQ(WaitNewFrame(core), 3);
    core.StopTransfer(1);
}

// A window whose frame size does not fit the int fields of the frame (width x height x bytes
// per pixel above 2^31 - 1, while the transfer buffer size still fits 32 bits) is refused
// before anything is allocated or computed, and leaves the core without buffers. The
// allocation seam refuses everything, so a regression asks for memory instead of taking it.
TEST_F(CoreFrameRead, WindowBeyondTheFrameSizeIsRefusedBeforeAllocating) {
    UseCameras("imx990");
    CoreWithScarceMemory core;
    OpenAs(core, 0x3260);
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(core.SetBitMode(1), 1);

    sensors::SensorParams &params = core.Sensor()->Params();
    params.width = 40000;  // 40000 x 40000 x 2 = 3.2e9 bytes
    params.height = 40000;
    core.buffersLeft = 0;
    const int before = core.buffersLeft;
    EXPECT_EQ(core.ApplyGeometry(), 0);
    EXPECT_EQ(core.buffersLeft, before);
    EXPECT_EQ(core.FrameBytes(), 0);
    EXPECT_EQ(core.CaptureOne(), 2);
}

}  // namespace
}  // namespace korvix::core::test
