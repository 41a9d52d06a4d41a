#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "CoreSimFixture.h"
#include "controller/KorCy3Cam.h"
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
    core->GetFrame(frame.data(), 1);
    EXPECT_EQ(WaitNewFrame(*core), 3);
    EXPECT_TRUE(core->TransferRunning());
    EXPECT_EQ(core->TransferFailed(), 0);
    core->StopTransfer(1);
}

}  // namespace
}  // namespace korvix::core::test
