#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "CoreSimFixture.h"
#include "controller/KorCy3Cam.h"
#include "sim/SimRegisterMap.h"
#include "sim/SimulatedDriverPort.h"

namespace korvix::core::test {
namespace {

// A controller whose frame-header reads fail on request, at once, so the engine's retry
// logic is seen without the controller's own 400 ms header attempts.
class HeaderFailingController : public controller::CKorCy3Cam {
  public:
    explicit HeaderFailingController(std::unique_ptr<platform::usb::DriverPort> port)
        : CKorCy3Cam(std::move(port), nullptr) {}

    int ReadFrameHeader(controller::TransferRecord *record) override {
        ++headerReads;
        if (failuresLeft.load() > 0) {
            --failuresLeft;
            return 0;
        }
        return CKorCy3Cam::ReadFrameHeader(record);
    }

    std::atomic<int> headerReads{0};
    std::atomic<int> failuresLeft{0};
};

// A controller that tracks how many frame reads are in flight at once and whether the data
// handle is closed while one is.
class DataPathWatchingController : public controller::CKorCy3Cam {
  public:
    using CKorCy3Cam::CKorCy3Cam;

    int ReadFrameHeader(controller::TransferRecord *record) override {
        Enter();
        int ok = CKorCy3Cam::ReadFrameHeader(record);
        --inFlight;
        return ok;
    }
    int ReadFrameData(controller::TransferRecord *record, uint32_t timeoutMs) override {
        Enter();
        int ok = CKorCy3Cam::ReadFrameData(record, timeoutMs);
        --inFlight;
        return ok;
    }
    void CloseDataHandle() override {
        if (inFlight.load() > 0) ++closedUnderARead;
        CKorCy3Cam::CloseDataHandle();
    }

    std::atomic<int> inFlight{0};
    std::atomic<int> mostAtOnce{0};
    std::atomic<int> closedUnderARead{0};

  private:
    void Enter() {
        int now = ++inFlight;
        int most = mostAtOnce.load();
        while (now > most && !mostAtOnce.compare_exchange_weak(most, now)) {
        }
    }
};

class CoreTransferRetry : public CoreSimTest {
  protected:
    std::unique_ptr<CKorvixUSB3T2SimpleSdk> OpenWithFailingHeaders() {
        UseCameras("imx990");
        auto failing =
            std::make_unique<HeaderFailingController>(sim::CreateSimulatedDriverPort("imx990"));
        controller = failing.get();
        auto core = std::make_unique<CKorvixUSB3T2SimpleSdk>();
        core->SetProductCode(0x3260);
        core->AdoptController(std::move(failing));
        core->CountDevices(0x3260);
        EXPECT_NE(core->Open(0), 0);
        return core;
    }

    HeaderFailingController *controller = nullptr;  // owned by the core
};

TEST_F(CoreTransferRetry, FiveHeaderFailuresInARowEndTheThread) {
    auto core = OpenWithFailingHeaders();
    controller->failuresLeft = 1000;
    ASSERT_EQ(core->StartTransfer(0), 1);
    for (int i = 0; i < 500 && core->TransferRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(core->TransferRunning());
    EXPECT_EQ(controller->headerReads.load(), 5);
    EXPECT_EQ(core->TransferFailed(), 1);
    EXPECT_EQ(core->WaitFrame(60000), 1);
    // A new start clears the failure.
    controller->failuresLeft = 0;
    ASSERT_EQ(core->StartTransfer(0), 1);
    EXPECT_EQ(WaitNewFrame(*core), 3);
    core->StopTransfer(1);
}

TEST_F(CoreTransferRetry, ASuccessfulFrameStartsTheFailureCountAfresh) {
    auto core = OpenWithFailingHeaders();
    controller->failuresLeft = 4;
    ASSERT_EQ(core->StartTransfer(0), 1);
    ASSERT_EQ(WaitNewFrame(*core), 3);
    controller->failuresLeft = 4;
    // Four more failures after a good frame do not end the thread either.
    std::vector<uint8_t> frame(core->FrameBytes());
    core->GetFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1, nullptr);
    EXPECT_EQ(WaitNewFrame(*core), 3);
    EXPECT_TRUE(core->TransferRunning());
    EXPECT_EQ(core->TransferFailed(), 0);
    core->StopTransfer(1);
}

// The single capture and the transfer thread never use the data path at once: a capture
// while frames stream ends the transfer first, so nobody closes the data handle under a
// read and the ring has one writer.
TEST_F(CoreTransferRetry, SingleCaptureEndsTheTransferBeforeItReads) {
    UseCameras("imx990");
    auto watching = std::make_unique<DataPathWatchingController>(
        sim::CreateSimulatedDriverPort("imx990"), nullptr);
    DataPathWatchingController *watcher = watching.get();
    auto core = std::make_unique<CKorvixUSB3T2SimpleSdk>();
    core->SetProductCode(0x3260);
    core->AdoptController(std::move(watching));
    ASSERT_EQ(core->CountDevices(0x3260), 1);
    ASSERT_NE(core->Open(0), 0);
    ASSERT_EQ(core->StartTransfer(0), 1);
    ASSERT_EQ(WaitNewFrame(*core), 3);
    EXPECT_EQ(core->CaptureOne(), 0);
    EXPECT_EQ(core->TransferFailed(), 0);
    EXPECT_FALSE(core->TransferRunning());
    EXPECT_EQ(watcher->mostAtOnce.load(), 1);
    EXPECT_EQ(watcher->closedUnderARead.load(), 0);
}

// Headers that never come keep the thread in the controller's header attempts (400 ms each,
// re-armed after a restart pulse). A stop with abort ends that phase: no attempt starts over
// once the pipe was aborted.
TEST_F(CoreTransferRetry, StopWithAbortEndsTheHeaderPhaseWithoutNewAttempts) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    Camera().InjectLostHeaders(1000);
    const size_t armsAtStart = RequestCount(Camera(), sim::request::kArmStream);
    ASSERT_EQ(core->StartTransfer(0), 1);
    while (RequestCount(Camera(), sim::request::kArmStream) == armsAtStart) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const size_t armsBeforeStop = RequestCount(Camera(), sim::request::kArmStream);
    EXPECT_EQ(core->StopTransfer(1), 1);
    EXPECT_FALSE(core->TransferRunning());
    // At most the attempt that began during the stop's settling pause.
    EXPECT_LE(RequestCount(Camera(), sim::request::kArmStream) - armsBeforeStop, 1u);
}

}  // namespace
}  // namespace korvix::core::test
