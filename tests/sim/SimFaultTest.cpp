// Faults the simulated camera injects on request.

#include <gtest/gtest.h>

#include "SimTestBus.h"
#include "sim/SimulatedCamera.h"

namespace korvix::sim {
namespace {

using namespace korvix::sim::test;

CameraConfig Config(const char *cameraList) {
    auto parsed = ParseCameraList(cameraList);
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    return parsed.cameras.at(0);
}

TEST(SimFaults, LostHeadersSwallowWholeArms) {
    SimulatedCamera camera(Config("imx990"), 0);
    camera.InjectLostHeaders(2);
    ASSERT_TRUE(Arm(camera, 100));
    EXPECT_FALSE(Bulk(camera, 64, 1000));  // no frame, however long one waits
    ASSERT_TRUE(Arm(camera, 1000));
    EXPECT_FALSE(Bulk(camera, 64, 2000));
    EXPECT_TRUE(ReadFrame(camera, 2000));
}

TEST(SimFaults, ShortPayloadEndsEarlyAndLeavesTheRestPending) {
    SimulatedCamera camera(Config("imx991"), 0);
    camera.InjectShortPayloads(1, 1000);
    ASSERT_TRUE(Arm(camera, 100));
    auto header = Bulk(camera, 64, 100);
    ASSERT_TRUE(header);
    EXPECT_EQ(HeaderWord(*header, header::kDataLengthOffset), 640u * 512u);
    auto first = Bulk(camera, 640 * 512, 100);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), 640u * 512u - 1000u);
    EXPECT_FALSE(Bulk(camera, 1000, 5000));
    // The next frame is whole again.
    auto frame = ReadFrame(camera, 5000);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->payload.size(), 640u * 512u);
}

TEST(SimFaults, I2cNakForACountOfTransfers) {
    SimulatedCamera camera(Config("imx990"), 0);
    camera.InjectI2cNak(i2c::kSensor | i2c::kReadBit, 2);
    EXPECT_FALSE(SensorWrite(camera, sensor::kGain0, 1, 0));
    EXPECT_FALSE(SensorWrite(camera, sensor::kGain0, 1, 0));
    EXPECT_TRUE(SensorWrite(camera, sensor::kGain0, 1, 0));
    EXPECT_TRUE(FpgaWrite(camera, fpga::kIoPort, 1, 0));  // other devices unaffected

    camera.InjectI2cNak(i2c::kFpga, -1);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(FpgaRead(camera, fpga::kIoPort, 0));
    camera.ClearFaults();
    EXPECT_TRUE(FpgaRead(camera, fpga::kIoPort, 0));
}

TEST(SimFaults, StuckBusyBit) {
    SimulatedCamera camera(Config("imx990"), 0);
    camera.SetBusyBitStuck(true);
    FpgaWrite(camera, fpga::kBusRequest, 1, 0);
    for (uint64_t t = 0; t < 100; t += 7) {
        EXPECT_EQ(FpgaRead(camera, fpga::kStatus, t), fpga::kStatusBusBusy);
    }
    camera.SetBusyBitStuck(false);
    EXPECT_EQ(FpgaRead(camera, fpga::kStatus, 100), 0);
}

TEST(SimFaults, StuckSensorReadBack) {
    SimulatedCamera camera(Config("imx990"), 0);
    camera.StickSensorReadBack(sensor::kGain0, 0x0A);
    ASSERT_TRUE(SensorWrite(camera, sensor::kGain0, 0x30, 0));
    EXPECT_EQ(SensorRead(camera, sensor::kGain0, 0), 0x0A);
    EXPECT_EQ(camera.SensorRegister(sensor::kGain0), 0x30);  // the write itself landed
}

TEST(SimFaults, FpgaNeverReady) {
    SimulatedCamera camera(Config("imx990"), 0);
    camera.SetFpgaNeverReady(true);
    for (uint64_t t : {0ull, 1000ull, 200000ull}) {
        std::array<uint8_t, 64> data{};
        ASSERT_TRUE(
            Request(camera, request::kTypeVendorIn, request::kReadyFlag, 0, 0, t, &data).ok);
        EXPECT_EQ(data[0], 0);
    }
}

TEST(SimFaults, UnplugFailsEverythingAndReplugPowerCycles) {
    SimulatedCamera camera(Config("imx990"), 0);
    int changes = 0;
    camera.AddChangeListener([&] { ++changes; });
    FpgaWrite(camera, fpga::kDataWidth, fpga::kDataWidth16, 0);
    const uint32_t generation = camera.PlugGeneration();
    camera.Unplug(10);
    EXPECT_FALSE(camera.Plugged());
    EXPECT_NE(camera.PlugGeneration(), generation);
    EXPECT_GE(changes, 1);
    EXPECT_FALSE(FpgaRead(camera, fpga::kDataWidth, 20));
    EXPECT_FALSE(Arm(camera, 20));
    std::vector<uint8_t> header(64);
    EXPECT_FALSE(camera.BulkRead(endpoint::kFrameIn, header, 20).ready);

    camera.Replug(30);
    EXPECT_TRUE(camera.Plugged());
    EXPECT_EQ(FpgaRead(camera, fpga::kDataWidth, 40), fpga::kDataWidth8);
    EXPECT_EQ(camera.FrameCounter(40), 0u);
}

}  // namespace
}  // namespace korvix::sim
