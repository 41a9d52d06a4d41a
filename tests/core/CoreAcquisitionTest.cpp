#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "CoreSimFixture.h"
#include "sensors/SensorBase.h"
#include "sim/SimRegisterMap.h"

namespace korvix::core::test {
namespace {

using namespace std::chrono_literals;

class CoreAcquisition : public CoreSimTest {
  protected:
    // Waits (at most a few seconds) until the acquisition thread has ended by itself.
    static bool WaitForThreadEnd(const CKorvixU3T2Base &core) {
        for (int i = 0; i < 500 && core.TransferRunning(); ++i) std::this_thread::sleep_for(10ms);
        return !core.TransferRunning();
    }

    // A scene image whose every sample differs from its neighbours in both directions.
    static std::vector<uint16_t> DistinctImage(uint32_t width, uint32_t height) {
        std::vector<uint16_t> pixels(width * height);
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) pixels[y * width + x] = (x * 16 + y * 48) % 4096;
        }
        return pixels;
    }
};

TEST_F(CoreAcquisition, ContinuousTransferDeliversConsecutiveFrames) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->StartTransfer(0), 1);
    EXPECT_TRUE(core->TransferRunning());
    std::vector<uint8_t> frame(core->FrameBytes());
    std::vector<int> numbers;
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(WaitNewFrame(*core), 3) << "frame " << i;
        int number = -1;
        ASSERT_EQ(core->GetFrameEx(frame.data(), static_cast<uint32_t>(frame.size()), &number,
                                   nullptr, nullptr, nullptr, nullptr, 1, nullptr),
                  1);
        numbers.push_back(number);
    }
    EXPECT_EQ(core->StopTransfer(0), 1);
    EXPECT_FALSE(core->TransferRunning());
    for (size_t i = 1; i < numbers.size(); ++i) EXPECT_GT(numbers[i], numbers[i - 1]);
    EXPECT_EQ(core->FrameBytes(), 1280 * 1024);
    EXPECT_GT(core->TransferRate(), 0.0);
    // Stopping sends the pipe reset and the stream stop.
    EXPECT_EQ(core->TransferMode(), 0);
}

TEST_F(CoreAcquisition, FrameRateMeterCountsOnlyDeliveredFrames) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->StartTransfer(0), 1);
    std::vector<uint8_t> frame(core->FrameBytes());
    for (int i = 0; i < 400 && core->FrameRate() == 0.0f; ++i) {
        if (WaitNewFrame(*core) == 3) {
            core->GetFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1, nullptr);
        }
    }
    float rate = core->FrameRate();
    core->StopTransfer(0);
    EXPECT_GT(rate, 0.0f);
    // However fast or slow this build runs, the engine never delivers more frames than the
    // camera makes (one per frame period).
    EXPECT_LE(rate, 1000.0 / Camera().FramePeriodMs() * 1.1 + 1.0);
    EXPECT_EQ(core->FrameRate(), 0.0f);
}

TEST_F(CoreAcquisition, FrameAlreadyTakenIsNotNew) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->StartTransfer(1), 1);
    ASSERT_TRUE(WaitForThreadEnd(*core));
    ASSERT_TRUE(core->Ring().HasNewFrame());
    std::vector<uint8_t> frame(core->FrameBytes());
    EXPECT_EQ(core->GetFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1, nullptr), 1);
    // The frame event is still signalled, but the frame was taken.
    EXPECT_EQ(core->WaitFrame(100), 2);
    EXPECT_EQ(core->WaitFrame(50), 2);
}

TEST_F(CoreAcquisition, TriggeredFrameIsNewOnlyAfterItArrives) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    // The FPGA waits for external triggers; the core itself is not in trigger mode.
    ASSERT_EQ(core->Sensor()->SetTriggerMode(1), 1);
    ASSERT_TRUE(core->Ring().HasNewFrame());  // write index 0, read mark 3
    ASSERT_EQ(core->StartTransfer(2), 1);
    EXPECT_EQ(core->WaitFrame(300), 2);
    int result = 2;
    for (int i = 0; i < 20 && result != 3; ++i) {
        sim::Simulator::Instance().FireTrigger(0);
        result = core->WaitFrame(500);
    }
    EXPECT_EQ(result, 3);
    EXPECT_TRUE(WaitForThreadEnd(*core));
    EXPECT_EQ(core->CountedFrames(), 1);
    core->StopTransfer(0);
    EXPECT_EQ(core->CountedFrames(), 0);
}

TEST_F(CoreAcquisition, FiveFailedReadsEndTheThreadAndWaitFrameReportsIt) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->StartTransfer(0), 1);
    ASSERT_EQ(WaitNewFrame(*core), 3);
    sim::Simulator::Instance().Unplug(0);
    ASSERT_TRUE(WaitForThreadEnd(*core));
    EXPECT_EQ(core->TransferFailed(), 1);
    EXPECT_EQ(core->WaitFrame(60000), 1);
    EXPECT_EQ(core->StopTransfer(1), 1);
}

// A frame left untaken by a transfer is not the news a later one waits for, and the
// later one's frame is news wherever in the ring it lands (the third lands on the ring's
// initial read mark).
TEST_F(CoreAcquisition, EverySingleFrameTransferReportsItsOwnFrame) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    for (int round = 0; round < 5; ++round) {
        ASSERT_EQ(core->StartTransfer(1), 1);
        EXPECT_EQ(core->WaitFrame(3000), 3) << "round " << round;
        ASSERT_TRUE(WaitForThreadEnd(*core));
    }
}

// The camera gone as the transfer starts: the thread cannot open the data handle and ends;
// the wait reports the failure instead of waiting for frames that never come.
TEST_F(CoreAcquisition, TransferStartedWithTheCameraGoneReportsTheFailure) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    sim::Simulator::Instance().Unplug(0);
    core->StartTransfer(0);
    ASSERT_TRUE(WaitForThreadEnd(*core));
    EXPECT_EQ(core->WaitFrame(5000), 1);
    EXPECT_EQ(core->StopTransfer(1), 1);
}

TEST_F(CoreAcquisition, HalfTurnForOrientationFourAndRawCopyForOrientationOne) {
    UseCameras("imx990,imx990c");
    auto turned = OpenCore(0x3260);
    auto raw = OpenCore(0x3270);
    const uint32_t width = 1280, height = 1024;
    std::vector<uint16_t> image = DistinctImage(width, height);
    Camera(0).SetSceneImage(image, width, height);
    Camera(1).SetSceneImage(image, width, height);
    for (auto *core : {turned.get(), raw.get()}) {
        ASSERT_EQ(core->SetBitMode(1), 1);
        ASSERT_EQ(core->StartTransfer(1), 1);
        ASSERT_TRUE(WaitForThreadEnd(*core));
    }
    std::vector<uint8_t> turnedFrame(turned->FrameBytes()), rawFrame(raw->FrameBytes());
    turned->GetFrame(turnedFrame.data(), static_cast<uint32_t>(turnedFrame.size()), 1, nullptr);
    raw->GetFrame(rawFrame.data(), static_cast<uint32_t>(rawFrame.size()), 1, nullptr);
    ASSERT_EQ(turnedFrame.size(), width * height * 2);
    const uint16_t *turnedPixels = reinterpret_cast<const uint16_t *>(turnedFrame.data());
    const uint16_t *rawPixels = reinterpret_cast<const uint16_t *>(rawFrame.data());
    size_t mismatches = 0;
    for (size_t i = 0; i < size_t{width} * height; ++i) {
        if (turnedPixels[i] != rawPixels[size_t{width} * height - 1 - i]) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0u);
    // Orientation 1 with flag 1 is the ring content itself: the top-left sample of the scene
    // comes first, and rows follow in scene order.
    std::vector<uint8_t> again(raw->FrameBytes());
    raw->CopyFrame(again.data(), static_cast<uint32_t>(again.size()), nullptr, nullptr, nullptr,
                   nullptr, nullptr, 0, 1, nullptr);
    EXPECT_EQ(again, rawFrame);
    EXPECT_NE(rawPixels[0], rawPixels[width]);
}

TEST_F(CoreAcquisition, CopyOfFirstEntryWithoutBufferFillsNumberAndTags) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->StartTransfer(1), 1);  // the first frame lands in entry 0
    ASSERT_TRUE(WaitForThreadEnd(*core));
    int number = -7, tagA = -7, tagB = -7, tagC = -7, tagD = -7;
    EXPECT_EQ(core->CopyFrame(nullptr, static_cast<uint32_t>(core->FrameBytes()), &number, &tagA,
                              &tagB, &tagC, &tagD, 1, 1, nullptr),
              1);
    EXPECT_EQ(number, core->LastFrameCounter());
    EXPECT_EQ(tagB, number);  // tag B is the header's frame counter
    EXPECT_NE(tagA, 0xFFFF);
    EXPECT_NE(tagC, -7);
    EXPECT_NE(tagD, -7);
    // A buffer shorter than the frame is refused: nothing is copied, the outputs still say
    // which frame it was.
    std::vector<uint8_t> small(16, 0xAB);
    number = -7;
    EXPECT_EQ(core->CopyFrame(small.data(), 16, &number, nullptr, nullptr, nullptr, nullptr, 1, 1,
                              nullptr),
              0);
    EXPECT_EQ(number, core->LastFrameCounter());
    EXPECT_EQ(std::count(small.begin(), small.end(), 0xAB), 16);
    EXPECT_EQ(core->CopyFirstFrame(nullptr, 0, 1, nullptr), -2);
}

TEST_F(CoreAcquisition, StopWithAbortEndsAPendingDataRead) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    // Every payload ends more than a 512 KiB piece early, so the data phase waits for a
    // piece that never comes; only the abort can end it before the ten-minute limit.
    core->SetDataTimeout(600000);
    Camera().InjectShortPayloads(1000, 300000);
    ASSERT_EQ(core->StartTransfer(0), 1);
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(core->TransferRunning());
    uint32_t framesBefore = Camera().FrameCounter(sim::Simulator::NowMs());
    EXPECT_EQ(core->StopTransfer(1), 1);
    EXPECT_FALSE(core->TransferRunning());
    EXPECT_EQ(core->TransferFailed(), 0);
    EXPECT_FALSE(core->Ring().HasNewFrame() && core->Ring().WriteIndex() != 0);
    // The stop did not wait for the data limit (frames keep coming at the frame period).
    EXPECT_LT(Camera().FrameCounter(sim::Simulator::NowMs()) - framesBefore, 100u);
}

TEST_F(CoreAcquisition, SingleCaptureWithoutThreadFillsEntryZero) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    EXPECT_EQ(core->CaptureOne(), 0);
    EXPECT_EQ(core->TransferFailed(), 0);
    EXPECT_EQ(core->GeometryDirty(), 0);
    int number = -1;
    core->CopyFrame(nullptr, 0, &number, nullptr, nullptr, nullptr, nullptr, 1, 1, nullptr);
    EXPECT_GE(number, 0);
    EXPECT_LE(number, 255);
    std::vector<uint8_t> frame(core->FrameBytes());
    EXPECT_EQ(core->CopyFirstFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1, nullptr),
              1);
    EXPECT_NE(std::count(frame.begin(), frame.end(), 0), static_cast<long>(frame.size()));

    sim::Simulator::Instance().Unplug(0);
    EXPECT_EQ(core->CaptureOne(), 0);
    EXPECT_EQ(core->TransferFailed(), 1);
}

TEST_F(CoreAcquisition, HeaderOnlyModeStoresTheCounterWithoutAFrame) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->StartTransfer(3), 1);
    ASSERT_TRUE(WaitForThreadEnd(*core));
    EXPECT_GT(core->LastFrameCounter(), 0);
    EXPECT_EQ(core->Ring().WriteIndex(), 0);
    int tagB = -1;
    core->CopyFrame(nullptr, 0, nullptr, nullptr, &tagB, nullptr, nullptr, 1, 1, nullptr);
    EXPECT_EQ(tagB, core->LastFrameCounter());
}

TEST_F(CoreAcquisition, RestartingReplacesTheThread) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    for (int run = 0; run < 3; ++run) {
        ASSERT_EQ(core->StartTransfer(0), 1);
        EXPECT_EQ(WaitNewFrame(*core), 3);
        ASSERT_EQ(core->StartTransfer(0), 1);  // a start while running stops the old thread
        EXPECT_EQ(WaitNewFrame(*core), 3);
        core->StopTransfer(run % 2);
        EXPECT_EQ(core->WaitFrame(10), 2);
    }
}

// A core whose first ending data-path claimant stops half-ended (running cleared, the end
// event not yet set) until the test lets it go.
class CoreHeldAtDataPathEnd : public CKorvixUSB3T2SimpleSdk {
  public:
    std::promise<void> reachedEnd;
    std::shared_future<void> letGo;

    CoreHeldAtDataPathEnd() {
        onDataPathEnding = [this] {
            if (held.exchange(true)) return;
            reachedEnd.set_value();
            letGo.wait();
        };
    }

  private:
    std::atomic<bool> held{false};
};

// A restart that meets the previous thread half-ended, with a window change that makes it
// stop the data path once more, returns; so does the stop after it.
TEST_F(CoreAcquisition, RestartMeetingAnEndingThreadDoesNotHang) {
    UseCameras("imx990");
    CoreHeldAtDataPathEnd core;
    OpenAs(core, 0x3260);
    ASSERT_FALSE(HasFailure());
    std::promise<void> letGo;
    core.letGo = letGo.get_future().share();
    std::future<void> reachedEnd = core.reachedEnd.get_future();

    ASSERT_EQ(core.StartTransfer(1), 1);  // one frame, then the thread ends by itself
    ASSERT_EQ(reachedEnd.wait_for(10s), std::future_status::ready);
    ASSERT_EQ(core.SetCaptureWindow(0, 0, 640, 512, 0), 1);
    auto restart = std::async(std::launch::async, [&core] { return core.StartTransfer(0); });
    // Lets the restart reach the ending thread before it ends; the outcome must not depend
    // on whether it did.
    std::this_thread::sleep_for(50ms);
    letGo.set_value();
    ASSERT_EQ(restart.wait_for(10s), std::future_status::ready) << "the restart hangs";
    EXPECT_EQ(restart.get(), 1);
    EXPECT_EQ(WaitNewFrame(core), 3);
    auto stop = std::async(std::launch::async, [&core] { return core.StopTransfer(1); });
    ASSERT_EQ(stop.wait_for(10s), std::future_status::ready) << "the stop hangs";
}

}  // namespace
}  // namespace korvix::core::test
