// A sensor driver that writes one register wrongly gives wrong frames on the simulated
// camera, because the camera's frame follows the sensor's registers as well as the FPGA's.
// The driver's writes reach the camera through the controller's driver port; a port that
// rewrites the value of one sensor register on its way stands in for a broken driver (the
// IMX992 driver does not read its writes back, so the driver cannot tell the difference).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controller/KorCy3Cam.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/usb/DriverPort.h"
#include "platform/usb/DriverRecords.h"
#include "sim/SimRegisterMap.h"
#include "sim/SimulatedDriverPort.h"
#include "sim/Simulator.h"
#include "support/TestEnvironment.h"

namespace korvix {
namespace {

namespace usb = platform::usb;

constexpr uint8_t kI2cWriteRequest = 0x30;

// Passes everything through, except that an I2C write of `address` to the sensor carries
// `value` instead of what the driver sent.
class SensorWriteRewritingFile final : public usb::DeviceFile {
  public:
    SensorWriteRewritingFile(std::unique_ptr<usb::DeviceFile> inner, uint16_t address,
                             uint8_t value)
        : inner_(std::move(inner)), address_(address), value_(value) {}

    uint32_t IoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                       uint32_t *bytesReturned) override {
        Rewrite(code, in, inSize, out, outSize);
        return inner_->IoControl(code, in, inSize, out, outSize, bytesReturned);
    }
    uint32_t SubmitIoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                             uint32_t *bytesReturned, usb::Overlapped &overlapped) override {
        Rewrite(code, in, inSize, out, outSize);
        return inner_->SubmitIoControl(code, in, inSize, out, outSize, bytesReturned, overlapped);
    }
    uint32_t GetOverlappedResult(usb::Overlapped &overlapped, uint32_t *bytes, bool wait) override {
        return inner_->GetOverlappedResult(overlapped, bytes, wait);
    }

  private:
    void Rewrite(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize) const {
        usb::DecodedRequest request;
        if (usb::DecodeRequest(code, in, inSize, out, outSize, &request) != usb::kIoSuccess ||
            request.kind != usb::RequestKind::ControlTransfer ||
            request.setup.request != kI2cWriteRequest || request.setup.index != sim::i2c::kSensor ||
            request.setup.value != 3) {
            return;
        }
        if ((request.data[0] << 8 | request.data[1]) == address_) request.data[2] = value_;
    }

    std::unique_ptr<usb::DeviceFile> inner_;
    const uint16_t address_;
    const uint8_t value_;
};

class SensorWriteRewritingPort final : public usb::DriverPort {
  public:
    SensorWriteRewritingPort(std::unique_ptr<usb::DriverPort> inner, uint16_t address,
                             uint8_t value)
        : inner_(std::move(inner)), address_(address), value_(value) {}

    std::vector<std::string> EnumerateInterfaces(const usb::Guid &guid) override {
        return inner_->EnumerateInterfaces(guid);
    }
    std::unique_ptr<usb::DeviceFile> Open(const std::string &path, bool overlapped) override {
        auto file = inner_->Open(path, overlapped);
        if (!file) return nullptr;
        return std::make_unique<SensorWriteRewritingFile>(std::move(file), address_, value_);
    }

  private:
    std::unique_ptr<usb::DriverPort> inner_;
    const uint16_t address_;
    const uint8_t value_;
};

class SystemBrokenSensorDriver : public ::testing::Test {
  protected:
    static constexpr const char *kCameraList = "imx992:scene=ramp";
    static constexpr int kProductCode = 0x3370;
    static constexpr size_t kWidth = 2560, kHeight = 2048;

    void SetUp() override {
        test::SetEnvironmentValue("KORVIX_SIMULATE", kCameraList);
        std::string error;
        ASSERT_TRUE(sim::Simulator::Instance().Configure(kCameraList, &error)) << error;
    }
    void TearDown() override { sim::Simulator::Instance().Reset(); }

    // Opens the camera through `port` in 8-bit (bitMode 0) or 16-bit (1) output, captures
    // one frame and returns it (empty on failure).
    static std::vector<uint8_t> CaptureThrough(std::unique_ptr<usb::DriverPort> port,
                                               int bitMode = 0) {
        core::CKorvixUSB3T2SimpleSdk core;
        core.SetProductCode(kProductCode);
        core.AdoptController(std::make_unique<controller::CKorCy3Cam>(std::move(port), nullptr));
        EXPECT_EQ(core.CountDevices(kProductCode), 1);
        if (core.Open(0) == 0 || core.SetBitMode(bitMode) == 0) return {};
        if (core.CaptureOne() != 0 || core.TransferFailed() != 0) return {};
        const size_t sampleBytes = bitMode == 1 ? 2 : 1;
        EXPECT_EQ(core.FrameBytes(), static_cast<int>(kWidth * kHeight * sampleBytes));
        std::vector<uint8_t> frame(static_cast<size_t>(core.FrameBytes()));
        if (core.CopyFirstFrame(frame.data(), static_cast<uint32_t>(frame.size()), 0, nullptr) !=
            1) {
            return {};
        }
        return frame;
    }

    // Samples of one row that are 0 (8-bit, or 16-bit little-endian when wide).
    static size_t ZeroColumnsOfRow(const std::vector<uint8_t> &frame, size_t row,
                                   bool wide = false) {
        const size_t sampleBytes = wide ? 2 : 1;
        const uint8_t *samples = frame.data() + row * kWidth * sampleBytes;
        size_t zeros = 0;
        for (size_t c = 0; c < kWidth; ++c) {
            const uint8_t *sample = samples + c * sampleBytes;
            zeros += sample[0] == 0 && (!wide || sample[1] == 0);
        }
        return zeros;
    }

    static void PowerCycle() {
        sim::Simulator::Instance().Unplug(0);
        sim::Simulator::Instance().Replug(0);
    }
};

TEST_F(SystemBrokenSensorDriver, WrongWindowWidthWriteGivesPaddedFrames) {
    const std::vector<uint8_t> good = CaptureThrough(sim::CreateSimulatedDriverPort(kCameraList));
    ASSERT_EQ(good.size(), kWidth * kHeight);
    // The scene's ramp spans the whole row: in 8 bits only its darkest 10 columns are 0.
    EXPECT_EQ(ZeroColumnsOfRow(good, kHeight / 2), 10u);

    // The window width's high bits (2560 = 0x0A00) written as 0x05: a 1280-wide read-out.
    PowerCycle();  // the sensor forgets the good window
    const std::vector<uint8_t> broken = CaptureThrough(std::make_unique<SensorWriteRewritingPort>(
        sim::CreateSimulatedDriverPort(kCameraList), sim::sensor::kWindowWidth1, 0x05));
    ASSERT_EQ(broken.size(), kWidth * kHeight);
    EXPECT_EQ(sim::Simulator::Instance().Camera(0)->SensorRegister(sim::sensor::kWindowWidth1),
              0x05);
    // The FPGA pads each 1280-sample sensor row to its 2560 columns: half of every row is 0.
    for (size_t row : {size_t{0}, kHeight / 2, kHeight - 1}) {
        EXPECT_GE(ZeroColumnsOfRow(broken, row), kWidth / 2) << "row " << row;
    }
    EXPECT_NE(broken, good);
}

// The IMX992 changes its line length (HMAX) for 16-bit output inside a standby bracket.
// With the standby write broken, the camera refuses the change, and the line stays too short
// for 16-bit samples: the second half of every row is lost.
TEST_F(SystemBrokenSensorDriver, LostStandbyWriteGetsTheLineLengthRefused) {
    const std::vector<uint8_t> good =
        CaptureThrough(sim::CreateSimulatedDriverPort(kCameraList), 1);
    ASSERT_EQ(good.size(), kWidth * kHeight * 2);
    EXPECT_EQ(ZeroColumnsOfRow(good, kHeight / 2, true), 1u);  // the ramp starts at 0

    PowerCycle();
    auto &camera = *sim::Simulator::Instance().Camera(0);
    camera.ClearLog();
    const std::vector<uint8_t> broken = CaptureThrough(
        std::make_unique<SensorWriteRewritingPort>(sim::CreateSimulatedDriverPort(kCameraList),
                                                   sim::sensor::kStandby, 0x00),
        1);
    ASSERT_EQ(broken.size(), kWidth * kHeight * 2);
    const auto log = camera.Log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const sim::LogEntry &entry) {
        return entry.access == sim::LogAccess::RefusedNotInStandby &&
               entry.address == sim::sensor::kHmax0;
    }));
    for (size_t row : {size_t{0}, kHeight / 2, kHeight - 1}) {
        EXPECT_GE(ZeroColumnsOfRow(broken, row, true), kWidth / 2) << "row " << row;
    }
}

}  // namespace
}  // namespace korvix
