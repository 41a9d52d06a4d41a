// The simulator behind the driver port: paths, files, records, overlapped reads, abort,
// unplug, and frame timing on the manual clock.

#include "sim/SimulatedDriverPort.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "SimTestBus.h"
#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/usb/DriverRecords.h"
#include "sim/Simulator.h"

namespace korvix::sim {
namespace {

namespace usb = platform::usb;

class SimDriverPort : public ::testing::Test {
  protected:
    void Configure(const char *cameraList) {
        std::string error;
        ASSERT_TRUE(Simulator::Instance().Configure(cameraList, &error)) << error;
        port_ = CreateSimulatedDriverPort("imx993");  // already configured: cameraList ignored
    }
    void TearDown() override { Simulator::Instance().Reset(); }

    std::unique_ptr<usb::DeviceFile> OpenCamera(size_t index, bool overlapped = true) {
        return port_->Open(Simulator::Instance().DevicePath(index), overlapped);
    }

    // A control request as the controller builds it; returns the error and the buffer.
    static uint32_t Control(usb::DeviceFile &file, uint8_t type, uint8_t req, uint16_t value,
                            uint16_t index, std::array<uint8_t, 102> &buffer, uint32_t *returned) {
        usb::EncodeTransferHeader(usb::MakeControlHeader(type, req, value, index), buffer.data());
        return file.IoControl(usb::kIoctlControlTransfer, buffer.data(), 102, buffer.data(), 102,
                              returned);
    }
    static bool FpgaWrite(usb::DeviceFile &file, uint8_t reg, uint8_t value) {
        std::array<uint8_t, 102> buffer{};
        buffer[38] = reg;
        buffer[40] = value;
        uint32_t returned = 0;
        return Control(file, request::kTypeVendorOut, request::kI2cWrite, 3, i2c::kFpga, buffer,
                       &returned) == usb::kIoSuccess;
    }
    static bool Arm(usb::DeviceFile &file) {
        std::array<uint8_t, 102> buffer{};
        uint32_t returned = 0;
        return Control(file, request::kTypeVendorOutEndpoint, request::kArmStream, 0, 0, buffer,
                       &returned) == usb::kIoSuccess;
    }
    // Submits a direct read of `length` bytes from 0x81.
    static uint32_t SubmitRead(usb::DeviceFile &file, std::array<uint8_t, 38> &header,
                               std::vector<uint8_t> &data, usb::Overlapped &overlapped) {
        usb::EncodeTransferHeader(usb::MakeDirectHeader(endpoint::kFrameIn), header.data());
        uint32_t returned = 0;
        return file.SubmitIoControl(usb::kIoctlDirectTransfer, header.data(), 38, data.data(),
                                    static_cast<uint32_t>(data.size()), &returned, overlapped);
    }
    static uint32_t Abort(usb::DeviceFile &file) {
        uint8_t endpoint = endpoint::kFrameIn;
        uint32_t returned = 0;
        return file.IoControl(usb::kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &returned);
    }

    std::unique_ptr<usb::DriverPort> port_;
};

TEST_F(SimDriverPort, PathsCarryVendorAndProductIdsInEnumerationOrder) {
    Configure("imx990,imx990,imx993c");
    auto paths = port_->EnumerateInterfaces(usb::kCameraInterfaceGuid);
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[0].substr(12, 4), "04b4");
    EXPECT_EQ(paths[0].substr(21, 4), "3260");
    EXPECT_EQ(paths[2].substr(21, 4), "33d0");
    EXPECT_NE(paths[0], paths[1]);
    EXPECT_EQ(paths[0].substr(0, 8), "\\\\?\\usb#");
    EXPECT_TRUE(port_->EnumerateInterfaces(usb::Guid{}).empty());
    // Paths are matched without regard to letter case.
    std::string upper = paths[1];
    for (char &c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_NE(port_->Open(upper, false), nullptr);
    EXPECT_EQ(port_->Open("\\\\?\\usb#vid_04b4&pid_3260#nothing#{x}", false), nullptr);
}

TEST_F(SimDriverPort, ControlRecordsReachTheRegistersAndReturnTheWholeBuffer) {
    Configure("imx990");
    auto file = OpenCamera(0, false);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(FpgaWrite(*file, fpga::kIoPort, 0x3C));
    EXPECT_EQ(Simulator::Instance().Camera(0)->FpgaRegister(fpga::kIoPort, 0), 0x3C);

    std::array<uint8_t, 102> buffer{};
    uint32_t returned = 0;
    ASSERT_EQ(Control(*file, request::kTypeVendorIn, request::kInfoBlock, 0, 0, buffer, &returned),
              usb::kIoSuccess);
    EXPECT_EQ(returned, 102u);
    EXPECT_EQ(buffer[38 + 24] | buffer[38 + 25] << 8, 0x1101);
    EXPECT_EQ(usb::LoadLe32(buffer.data() + usb::kHeaderNtStatus), 0u);

    // A stalled request fails and says so in the driver statuses.
    ASSERT_NE(Control(*file, request::kTypeVendorIn, 0x77, 0, 0, buffer, &returned),
              usb::kIoSuccess);
    EXPECT_NE(usb::LoadLe32(buffer.data() + usb::kHeaderUsbdStatus), 0u);
}

TEST_F(SimDriverPort, DeviceSpeedFromTheConfiguration) {
    Configure("imx990:speed=3,imx990");
    for (size_t i = 0; i < 2; ++i) {
        auto file = OpenCamera(i, false);
        uint32_t speed = 0, returned = 0;
        ASSERT_EQ(file->IoControl(usb::kIoctlGetDeviceSpeed, &speed, 4, &speed, 4, &returned),
                  usb::kIoSuccess);
        EXPECT_EQ(speed, i == 0 ? 3u : 4u);
    }
}

TEST_F(SimDriverPort, OverlappedReadOnTheManualClockGetsTheDueFrame) {
    platform::ManualClock clock;
    platform::ScopedClockOverride useClock(clock);
    Configure("imx991");
    auto file = OpenCamera(0);
    ASSERT_TRUE(Arm(*file));
    platform::Event event;
    usb::Overlapped overlapped(event);
    std::array<uint8_t, 38> header{};
    std::vector<uint8_t> data(64);
    // The first frame completes one frame period after power-up.
    ASSERT_EQ(SubmitRead(*file, header, data, overlapped), usb::kIoSuccess);
    EXPECT_TRUE(event.IsSet());
    uint32_t bytes = 0;
    EXPECT_EQ(file->GetOverlappedResult(overlapped, &bytes, false), usb::kIoSuccess);
    EXPECT_EQ(bytes, 64u);
    EXPECT_EQ(usb::LoadLe32(data.data() + header::kDataLengthOffset), 640u * 512u);
    EXPECT_EQ(usb::LoadLe32(data.data() + header::kFrameCounterOffset), 1u);
    EXPECT_GE(clock.NowMs(), 1000u + 7u);
}

TEST_F(SimDriverPort, FramePeriodOnTheManualClockFollowsVmax) {
    platform::ManualClock clock;
    platform::ScopedClockOverride useClock(clock);
    Configure("imx990");
    auto file = OpenCamera(0);
    auto headerTimes = [&](int count) {
        std::vector<uint64_t> times;
        for (int i = 0; i < count; ++i) {
            EXPECT_TRUE(Arm(*file));
            platform::Event event;
            usb::Overlapped overlapped(event);
            std::array<uint8_t, 38> header{};
            std::vector<uint8_t> data(64);
            EXPECT_EQ(SubmitRead(*file, header, data, overlapped), usb::kIoSuccess);
            times.push_back(clock.NowMs());
            // Discard the payload: re-arming drops it.
        }
        return (times.back() - times.front()) / static_cast<double>(count - 1);
    };
    const double before = headerTimes(21);
    // Double VMAX through the sensor registers (0x02D4..0x02D6 = 2156), holding the bus.
    auto camera = Simulator::Instance().Camera(0);
    ASSERT_TRUE(FpgaWrite(*file, fpga::kBusRequest, 1));
    for (auto [address, value] :
         {std::pair<uint8_t, uint8_t>{0xD4, 2156 & 0xFF}, {0xD5, 2156 >> 8}}) {
        std::array<uint8_t, 102> buffer{};
        buffer[38] = 0x02;
        buffer[39] = address;
        buffer[40] = value;
        uint32_t returned = 0;
        ASSERT_EQ(Control(*file, request::kTypeVendorOut, request::kI2cWrite, 3, i2c::kSensor,
                          buffer, &returned),
                  usb::kIoSuccess);
    }
    ASSERT_TRUE(FpgaWrite(*file, fpga::kBusRequest, 0));
    const double after = headerTimes(21);
    EXPECT_NEAR(before, 1078 * 0.0129618, 0.1);
    EXPECT_NEAR(after, 2156 * 0.0129618, 0.1);
}

TEST_F(SimDriverPort, PendingReadEndsByAbortPipeFromAnotherFile) {
    Configure("imx990");
    auto file = OpenCamera(0);
    auto other = OpenCamera(0, false);
    platform::Event event;
    usb::Overlapped overlapped(event);
    std::array<uint8_t, 38> header{};
    std::vector<uint8_t> data(64);
    // Not armed: nothing will come.
    ASSERT_EQ(SubmitRead(*file, header, data, overlapped), usb::kIoPending);
    EXPECT_TRUE(overlapped.IsPending());
    ASSERT_EQ(Abort(*other), usb::kIoSuccess);
    EXPECT_TRUE(event.IsSet());
    uint32_t bytes = 7;
    EXPECT_EQ(file->GetOverlappedResult(overlapped, &bytes, false), usb::kIoOperationAborted);
    EXPECT_EQ(bytes, 0u);
}

TEST_F(SimDriverPort, PendingReadCompletesWhenATriggerFires) {
    Configure("imx990");
    auto file = OpenCamera(0);
    test::EnterExternalTrigger(*Simulator::Instance().Camera(0), Simulator::NowMs());
    ASSERT_TRUE(Arm(*file));
    platform::Event event;
    usb::Overlapped overlapped(event);
    std::array<uint8_t, 38> header{};
    std::vector<uint8_t> data(64);
    ASSERT_EQ(SubmitRead(*file, header, data, overlapped), usb::kIoPending);
    ASSERT_TRUE(Simulator::Instance().FireTrigger(0));
    ASSERT_TRUE(event.Wait(10000));
    uint32_t bytes = 0;
    EXPECT_EQ(file->GetOverlappedResult(overlapped, &bytes, true), usb::kIoSuccess);
    EXPECT_EQ(bytes, 64u);
    EXPECT_EQ(usb::LoadLe32(data.data() + header::kDataLengthOffset), 1280u * 1024u);
}

TEST_F(SimDriverPort, ClosingAFileFailsItsPendingRead) {
    Configure("imx990");
    auto file = OpenCamera(0);
    platform::Event event;
    usb::Overlapped overlapped(event);
    std::array<uint8_t, 38> header{};
    std::vector<uint8_t> data(64);
    ASSERT_EQ(SubmitRead(*file, header, data, overlapped), usb::kIoPending);
    file.reset();
    EXPECT_TRUE(event.IsSet());
    EXPECT_EQ(overlapped.Error(), usb::kIoOperationAborted);
}

TEST_F(SimDriverPort, UnplugFailsPendingReadsAndOldFilesStayDead) {
    Configure("imx990,imx992");
    auto file = OpenCamera(0);
    platform::Event event;
    usb::Overlapped overlapped(event);
    std::array<uint8_t, 38> header{};
    std::vector<uint8_t> data(64);
    ASSERT_EQ(SubmitRead(*file, header, data, overlapped), usb::kIoPending);
    const std::string path = Simulator::Instance().DevicePath(0);
    ASSERT_TRUE(Simulator::Instance().Unplug(0));
    ASSERT_TRUE(event.Wait(10000));
    EXPECT_EQ(overlapped.Error(), usb::kIoDeviceNotConnected);
    EXPECT_EQ(port_->EnumerateInterfaces(usb::kCameraInterfaceGuid).size(), 1u);
    EXPECT_EQ(port_->Open(path, false), nullptr);

    ASSERT_TRUE(Simulator::Instance().Replug(0));
    auto paths = port_->EnumerateInterfaces(usb::kCameraInterfaceGuid);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], path);  // same port, same path
    EXPECT_FALSE(FpgaWrite(*file, fpga::kIoPort, 1));
    auto fresh = port_->Open(path, false);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(FpgaWrite(*fresh, fpga::kIoPort, 1));
}

TEST_F(SimDriverPort, SynchronousReadOnAPlainFileAndSubmitRefused) {
    platform::ManualClock clock;
    platform::ScopedClockOverride useClock(clock);
    Configure("imx990");
    auto file = OpenCamera(0, false);
    ASSERT_TRUE(Arm(*file));
    std::array<uint8_t, 38> header{};
    usb::EncodeTransferHeader(usb::MakeDirectHeader(endpoint::kFrameIn), header.data());
    std::vector<uint8_t> data(64);
    uint32_t returned = 0;
    ASSERT_EQ(
        file->IoControl(usb::kIoctlDirectTransfer, header.data(), 38, data.data(), 64, &returned),
        usb::kIoSuccess);
    EXPECT_EQ(returned, 64u);

    platform::Event event;
    usb::Overlapped overlapped(event);
    EXPECT_EQ(SubmitRead(*file, header, data, overlapped), usb::kIoInvalidHandle);
}

TEST_F(SimDriverPort, FirstPortConfiguresFromItsCameraListOnly) {
    Simulator::Instance().Reset();
    auto port = CreateSimulatedDriverPort("imx991,imx991");
    EXPECT_EQ(Simulator::Instance().CameraCount(), 2u);
    auto second = CreateSimulatedDriverPort("imx990");
    EXPECT_EQ(Simulator::Instance().CameraCount(), 2u);
    EXPECT_EQ(Simulator::Instance().Camera(0)->ProductId(), 0x3280);
}

// The port announces the simulator's plug events: unplug, re-plug, and a camera leaving by
// itself after its unplug_after frames.
TEST_F(SimDriverPort, DeviceChangesFollowThePlugEvents) {
    Configure("imx990,imx991:unplug_after=1");
    std::mutex mutex;
    std::vector<std::pair<usb::DeviceChange, std::string>> seen;
    platform::Event third;
    const usb::DeviceChangeToken token =
        port_->RegisterDeviceChangeCallback([&](usb::DeviceChange change, const std::string &path) {
            std::lock_guard lock(mutex);
            seen.emplace_back(change, path);
            if (seen.size() == 3) third.Set();
        });
    ASSERT_NE(token, 0u);
    ASSERT_TRUE(Simulator::Instance().Unplug(0));
    ASSERT_TRUE(Simulator::Instance().Replug(0));
    // A frame time from now: the camera has made a frame by then.
    ASSERT_TRUE(test::ReadFrame(*Simulator::Instance().Camera(1), Simulator::NowMs() + 100));
    ASSERT_TRUE(third.Wait(10000));
    port_->UnregisterDeviceChangeCallback(token);

    std::lock_guard lock(mutex);
    const std::string first = Simulator::Instance().DevicePath(0);
    const std::string second = Simulator::Instance().DevicePath(1);
    EXPECT_EQ(seen, (std::vector<std::pair<usb::DeviceChange, std::string>>{
                        {usb::DeviceChange::Removal, first},
                        {usb::DeviceChange::Arrival, first},
                        {usb::DeviceChange::Removal, second}}));
}

}  // namespace
}  // namespace korvix::sim
