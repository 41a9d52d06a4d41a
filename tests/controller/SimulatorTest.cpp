// The controller against the simulated camera, end to end through the driver port.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "controller/DriverPortFactory.h"
#include "controller/KorCy3Cam.h"
#include "platform/Clock.h"
#include "platform/usb/DriverRecords.h"
#include "sim/SimulatedDriverPort.h"
#include "sim/Simulator.h"
#include "support/TestEnvironment.h"

namespace korvix::controller {
namespace {

using platform::usb::LoadLe32;
using sim::LogAccess;
using sim::LogEntry;
using sim::LogTarget;
using sim::Simulator;

class ControllerWithSimulator : public ::testing::Test {
  protected:
    void Configure(const char *cameraList) {
        std::string error;
        ASSERT_TRUE(Simulator::Instance().Configure(cameraList, &error)) << error;
    }

    static std::unique_ptr<CKorCy3Cam> MakeController() {
        return std::make_unique<CKorCy3Cam>(sim::CreateSimulatedDriverPort(""), nullptr);
    }

    // A controller with the first camera enumerated and selected.
    void OpenFirstCamera(const char *cameraList = "imx990") {
        Configure(cameraList);
        camera = Simulator::Instance().Camera(0);
        controller = MakeController();
        ASSERT_GE(controller->EnumerateDevices(), 1);
        ASSERT_EQ(controller->SelectDevice(0), 1);
    }

    static int CountLog(const std::vector<LogEntry> &log, LogTarget target, uint16_t address,
                        LogAccess access) {
        return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const LogEntry &e) {
            return e.target == target && e.address == address && e.access == access;
        }));
    }

    void TearDown() override {
        controller.reset();
        Simulator::Instance().Reset();
    }

    std::shared_ptr<sim::SimulatedCamera> camera;
    std::unique_ptr<CKorCy3Cam> controller;
};

TEST_F(ControllerWithSimulator, FactorySelectsTheSimulatorFromTheEnvironment) {
    Simulator::Instance().Reset();
    korvix::test::SetEnvironmentValue("KORVIX_SIMULATE", "imx990,imx991c");
    controller = std::make_unique<CKorCy3Cam>();
    korvix::test::SetEnvironmentValue("KORVIX_SIMULATE", nullptr);
    ASSERT_EQ(controller->EnumerateDevices(), 2);
    EXPECT_EQ(controller->TableRow(0).productId, 0x3260);
    EXPECT_EQ(controller->TableRow(1).productId, 0x3290);
}

TEST_F(ControllerWithSimulator, FactoryUsesTheHardwareBackendWithoutKorvixSimulate) {
    korvix::test::SetEnvironmentValue("KORVIX_SIMULATE", nullptr);
    EXPECT_EQ(SelectDriverBackend(), DriverBackend::Hardware);
    EXPECT_NE(CreateDriverPort(), nullptr);
    korvix::test::SetEnvironmentValue("KORVIX_SIMULATE", "imx990");
    EXPECT_EQ(SelectDriverBackend(), DriverBackend::Simulator);
    korvix::test::SetEnvironmentValue("KORVIX_SIMULATE", nullptr);
}

TEST_F(ControllerWithSimulator, TwoCamerasOfOneModelGetInstancesZeroAndOne) {
    Configure("imx990,imx992,imx990");
    controller = MakeController();
    ASSERT_EQ(controller->EnumerateDevices(), 3);
    EXPECT_EQ(controller->TableRow(0).instance, 0);
    EXPECT_EQ(controller->TableRow(1).productId, 0x3370);
    EXPECT_EQ(controller->TableRow(1).instance, 0);
    EXPECT_EQ(controller->TableRow(2).productId, 0x3260);
    EXPECT_EQ(controller->TableRow(2).instance, 1);
}

TEST_F(ControllerWithSimulator, ReplugOfTheSameCameraAddsNoRow) {
    OpenFirstCamera();
    ASSERT_TRUE(Simulator::Instance().Unplug(0));
    EXPECT_EQ(controller->EnumerateDevices(), 1);
    EXPECT_EQ(controller->DeviceAvailable(0), 0);
    uint8_t value = 0;
    EXPECT_EQ(controller->ReadFpgaRegister(0x10, &value), 0);
    ASSERT_TRUE(Simulator::Instance().Replug(0));
    EXPECT_EQ(controller->EnumerateDevices(), 1);
    EXPECT_EQ(controller->SelectDevice(0), 1);
    EXPECT_EQ(controller->ReadFpgaRegister(0x10, &value), 1);
}

TEST_F(ControllerWithSimulator, FullTableTakesNoNewCameraAndStillReturnsThirtyTwo) {
    std::string cameraList = "imx990";
    for (int i = 1; i < 32; ++i) cameraList += ",imx990";
    Configure(cameraList.c_str());
    controller = MakeController();
    ASSERT_EQ(controller->EnumerateDevices(), 32);
    EXPECT_EQ(controller->TableRow(31).instance, 31);
    Configure("imx991");
    EXPECT_EQ(controller->EnumerateDevices(), 32);
    for (int row = 0; row < 32; ++row) EXPECT_EQ(controller->TableRow(row).productId, 0x3260);
}

TEST_F(ControllerWithSimulator, I2cCountSixtyFiveFailsWithoutIo) {
    OpenFirstCamera();
    camera->ClearLog();
    uint8_t bytes[65] = {};
    EXPECT_EQ(controller->I2cWrite(0x40, bytes, 65, 3000), 0);
    EXPECT_EQ(controller->I2cRead(0x41, bytes, 65, 3000), 0);
    EXPECT_TRUE(camera->Log().empty());
}

TEST_F(ControllerWithSimulator, FailedReadLeavesTheOutputUnchanged) {
    OpenFirstCamera();
    camera->InjectI2cNak(0x40, 2);
    uint8_t value = 0x5A;
    EXPECT_EQ(controller->ReadFpgaRegister(0x10, &value), 0);
    EXPECT_EQ(value, 0x5A);
    uint8_t bytes[2] = {0x11, 0x22};
    camera->InjectI2cNak(0x41, 1);
    EXPECT_EQ(controller->I2cRead(0x41, bytes, 2, 3000), 0);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0x22);

    ASSERT_TRUE(Simulator::Instance().Unplug(0));
    uint32_t word = 0xFFFFFFFF;
    EXPECT_EQ(controller->ReadRegister16(0x0010, &word), 0);
    EXPECT_EQ(word, 0u);
}

TEST_F(ControllerWithSimulator, FpgaAndSromAccessReachTheCameraWithTheirPauses) {
    platform::ManualClock clock;
    platform::ScopedClockOverride use(clock);
    OpenFirstCamera();
    const uint64_t now = Simulator::NowMs();
    ASSERT_EQ(controller->WriteFpgaRegister(0x3C, 2), 1);
    EXPECT_EQ(camera->FpgaRegister(0x3C, now), 2);
    uint8_t value = 0;
    ASSERT_EQ(controller->ReadFpgaRegister(0x3C, &value), 1);
    EXPECT_EQ(value, 2);
    uint16_t version = 0;
    ASSERT_EQ(controller->ReadFpgaVersion(&version), 1);
    EXPECT_EQ(version, (camera->FpgaRegister(0x11, now) << 8) | camera->FpgaRegister(0x10, now));

    const uint64_t sleptBefore = clock.SleptMs();
    ASSERT_EQ(controller->WriteSromByte(0x1080, 0x42), 1);
    EXPECT_EQ(clock.SleptMs() - sleptBefore, 14u);
    EXPECT_EQ(camera->SromByte(0x1080), 0x42);
    uint8_t srom = 0;
    ASSERT_EQ(controller->ReadSromByte(0x1080, &srom), 1);
    EXPECT_EQ(srom, 0x42);
    EXPECT_EQ(clock.SleptMs() - sleptBefore, 24u);
}

TEST_F(ControllerWithSimulator, TransfersBeforePrepareOrTooLongFailAtOnce) {
    OpenFirstCamera();
    auto handle = controller->OpenDevice(0, true);
    ASSERT_NE(handle, nullptr);
    std::vector<uint8_t> buffer(64);
    uint32_t received = 0;
    camera->ClearLog();
    EXPECT_EQ(controller->ReadDirect(handle.get(), buffer.data(), 64, 0x81, &received, 400), 0);
    ASSERT_EQ(controller->PrepareDevice(), 1);
    EXPECT_EQ(controller->ReadDirect(handle.get(), buffer.data(), 0x4000001, 0x81, &received, 400),
              0);
    EXPECT_EQ(CountLog(camera->Log(), LogTarget::Port, sim::kPortAbortPipe, LogAccess::Write), 0);
}

TEST_F(ControllerWithSimulator, FrameHeaderGivesUpAfterFifteenLostHeadersWithRestartPulses) {
    platform::ManualClock clock;
    platform::ScopedClockOverride use(clock);
    OpenFirstCamera();
    ASSERT_EQ(controller->PrepareDevice(), 1);
    camera->InjectLostHeaders(100);
    camera->ClearLog();
    TransferRecord record{};
    EXPECT_EQ(controller->ReadFrameHeader(&record), 0);
    const auto log = camera->Log();
    EXPECT_EQ(CountLog(log, LogTarget::Fpga, 0x6C, LogAccess::Write), 2 * 14);
    std::vector<uint32_t> restart;
    for (const LogEntry &e : log) {
        if (e.target == LogTarget::Fpga && e.address == 0x6C) restart.push_back(e.value);
    }
    for (size_t i = 0; i < restart.size(); ++i) EXPECT_EQ(restart[i], i % 2 == 0 ? 1u : 0u);
}

TEST_F(ControllerWithSimulator, FramePayloadArrivesWholeAsTheRegistersDescribe) {
    OpenFirstCamera();
    ASSERT_EQ(controller->PrepareDevice(), 1);
    camera->SetScene(sim::SceneKind::Uniform, 1234);
    ASSERT_EQ(controller->WriteFpgaRegister(0x3C, 2), 1);  // 16-bit samples
    uint8_t low = 0, high = 0;
    ASSERT_EQ(controller->ReadFpgaRegister(0x40, &low), 1);
    ASSERT_EQ(controller->ReadFpgaRegister(0x41, &high), 1);
    const uint32_t height = (high << 8) | low;
    ASSERT_EQ(controller->ReadFpgaRegister(0x44, &low), 1);
    ASSERT_EQ(controller->ReadFpgaRegister(0x45, &high), 1);
    const uint32_t width = (high << 8) | low;
    ASSERT_GT(width * height, 0u);

    ASSERT_EQ(controller->OpenDataHandle(), 1);
    TransferRecord record{};
    ASSERT_EQ(controller->ReadFrameHeader(&record), 1);
    const uint32_t size = LoadLe32(record.header + 16);
    EXPECT_EQ(size, width * height * 2);
    ASSERT_GT(size, 524288u);  // more than one piece
    std::vector<uint8_t> frame(size + 64, 0xEE);
    record.destination = frame.data();
    record.capacity = static_cast<uint32_t>(frame.size());
    ASSERT_EQ(controller->ReadFrameData(&record, 3000), 1);
    controller->CloseDataHandle();
    for (uint32_t i = 0; i < size; i += 2) {
        ASSERT_EQ(frame[i] | (frame[i + 1] << 8), 1234) << "sample " << i / 2;
    }
    EXPECT_EQ(frame[size], 0xEE);
}

TEST_F(ControllerWithSimulator, TimedOutDirectTransferAbortsThePipeAndFails) {
    platform::ManualClock clock;
    platform::ScopedClockOverride use(clock);
    OpenFirstCamera();
    ASSERT_EQ(controller->PrepareDevice(), 1);
    auto handle = controller->OpenDevice(0, true);
    camera->ClearLog();
    std::vector<uint8_t> buffer(64);
    uint32_t received = 0;
    // Not armed: the camera sends nothing.
    EXPECT_EQ(controller->ReadDirect(handle.get(), buffer.data(), 64, 0x81, &received, 400), 0);
    EXPECT_GE(CountLog(camera->Log(), LogTarget::Port, sim::kPortAbortPipe, LogAccess::Write), 1);
}

TEST_F(ControllerWithSimulator, LinkSpeedFollowsTheCameraConfiguration) {
    OpenFirstCamera("imx990:speed=3");
    uint32_t speed = 0;
    ASSERT_EQ(controller->GetDeviceSpeed(&speed), 1);
    EXPECT_EQ(speed, 3u);
}

}  // namespace
}  // namespace korvix::controller
