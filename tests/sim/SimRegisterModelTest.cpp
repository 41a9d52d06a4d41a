// The register side of the simulated camera: FX3 requests, FPGA register file, identity
// EEPROM and sensor registers, as the controller and the sensor drivers reach them.

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

TEST(SimFx3Requests, InfoBlockCarriesFirmwareAndGpioFlag) {
    SimulatedCamera camera(Config("imx990:fw=0x1234"), 0);
    std::array<uint8_t, 64> data{};
    auto result = Request(camera, request::kTypeVendorIn, request::kInfoBlock, 0, 0, 0, &data);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.dataBytes, 64u);
    EXPECT_EQ(data[24] | data[25] << 8, 0x1234);
    EXPECT_EQ(data[52], 1);
}

TEST(SimFx3Requests, WrongRequestTypeOrUnknownRequestStalls) {
    SimulatedCamera camera(Config("imx990"), 0);
    EXPECT_FALSE(Request(camera, request::kTypeVendorOut, request::kInfoBlock, 0, 0, 0).ok);
    EXPECT_FALSE(Request(camera, request::kTypeVendorOut, request::kArmStream, 0, 0, 0).ok);
    EXPECT_FALSE(Request(camera, request::kTypeVendorIn, 0x77, 0, 0, 0).ok);
    EXPECT_TRUE(Request(camera, request::kTypeVendorOut, request::kStopStream, 0, 0, 0).ok);
}

TEST(SimFx3Requests, I2cCountAbove64OrWrongAddressFormFails) {
    SimulatedCamera camera(Config("imx990"), 0);
    EXPECT_FALSE(
        Request(camera, request::kTypeVendorOut, request::kI2cWrite, 65, i2c::kFpga, 0).ok);
    EXPECT_FALSE(
        Request(camera, request::kTypeVendorIn, request::kI2cRead, 65, i2c::kFpga | 1, 0).ok);
    // A write to the read address and a read from the write address are refused.
    EXPECT_FALSE(I2cWrite(camera, i2c::kFpga | 1, {0x10}, 0));
    EXPECT_FALSE(Request(camera, request::kTypeVendorIn, request::kI2cRead, 2, i2c::kFpga, 0).ok);
    // Nobody answers at an unused address.
    EXPECT_FALSE(I2cWrite(camera, 0x60, {0x00, 0x01}, 0));
}

TEST(SimFx3Requests, OpaqueRequestsAnswerWhatWasStored) {
    SimulatedCamera camera(Config("imx990"), 0);
    std::array<uint8_t, 64> data{};
    data[0] = 0x5A;
    ASSERT_TRUE(Request(camera, request::kTypeVendorOut, request::kWriteByte3C, 0, 0, 0, &data).ok);
    data.fill(0);
    ASSERT_TRUE(Request(camera, request::kTypeVendorIn, request::kReadByte3D, 0, 0, 0, &data).ok);
    EXPECT_EQ(data[0], 0x5A);

    data.fill(0);
    data[0] = 0x34;
    data[1] = 0x12;
    // Address 0x8123: bit 15 travels in the value field.
    ASSERT_TRUE(
        Request(camera, request::kTypeVendorOut, request::kWriteRegister32, 1, 0x0123, 0, &data)
            .ok);
    data.fill(0xEE);
    ASSERT_TRUE(
        Request(camera, request::kTypeVendorIn, request::kReadRegister16, 0, 0x8123, 0, &data).ok);
    EXPECT_EQ(data[0] | data[1] << 8, 0x1234);
}

TEST(SimFpgaRegisters, WriteAndReadBackThroughI2c) {
    SimulatedCamera camera(Config("imx990"), 0);
    ASSERT_TRUE(FpgaWrite(camera, fpga::kIoPort, 0xA5, 1));
    EXPECT_EQ(FpgaRead(camera, fpga::kIoPort, 2), 0xA5);
    EXPECT_EQ(camera.FpgaRegister(fpga::kIoPort, 3), 0xA5);

    auto log = camera.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], (LogEntry{1, LogTarget::Fpga, LogAccess::Write, fpga::kIoPort, 0xA5}));
    EXPECT_EQ(log[1], (LogEntry{2, LogTarget::Fpga, LogAccess::Read, fpga::kIoPort, 0xA5}));
}

TEST(SimFpgaRegisters, VersionIsReadOnlyAndFromTheConfiguration) {
    SimulatedCamera camera(Config("imx990:fpga=0x8126"), 0);
    EXPECT_TRUE(FpgaWrite(camera, fpga::kVersionLow, 0x00, 0));
    EXPECT_EQ(FpgaRead(camera, fpga::kVersionLow, 0), 0x26);
    EXPECT_EQ(FpgaRead(camera, fpga::kVersionHigh, 0), 0x81);
}

TEST(SimFpgaRegisters, PowerUpGeometryIsTheFullSensorInEightBits) {
    SimulatedCamera camera(Config("imx992"), 0);
    EXPECT_EQ(camera.FpgaRegister(fpga::kWidthLow, 0) | camera.FpgaRegister(fpga::kWidthHigh, 0)
                                                            << 8,
              2560);
    EXPECT_EQ(camera.FpgaRegister(fpga::kHeightLow, 0) | camera.FpgaRegister(fpga::kHeightHigh, 0)
                                                             << 8,
              2048);
    EXPECT_EQ(camera.FpgaRegister(fpga::kDataWidth, 0), fpga::kDataWidth8);
    EXPECT_EQ(camera.FpgaRegister(fpga::kOffsetELow, 0), 112);
}

TEST(SimFpgaRegisters, BusIsBusyRightAfterAFrameUnlessTheHostHoldsIt) {
    SimulatedCamera camera(Config("imx990"), 0);
    const double period = camera.FramePeriodMs();
    // Find the first frame and look at the status in the millisecond it completed.
    uint64_t t = 0;
    while (camera.FrameCounter(t) == 0) ++t;
    EXPECT_EQ(FpgaRead(camera, fpga::kStatus, t), fpga::kStatusBusBusy);
    EXPECT_EQ(FpgaRead(camera, fpga::kStatus, t + 1 + static_cast<uint64_t>(period) / 2), 0);
    ASSERT_TRUE(FpgaWrite(camera, fpga::kBusRequest, 1, t));
    EXPECT_EQ(FpgaRead(camera, fpga::kStatus, t), 0);
}

TEST(SimFpgaRegisters, TemperatureRegistersFollowThePeltier) {
    SimulatedCamera camera(Config("imx990c"), 0);
    auto read = [&](uint64_t t) {
        const int low = *FpgaRead(camera, fpga::kTemperatureLow, t);
        const int high = *FpgaRead(camera, fpga::kTemperatureHigh, t);
        int sample = (high << 8 | low) & 0xFFF;
        if (sample & 0x800) sample -= 0x1000;
        return sample / 8.0;
    };
    const double warm = read(0);
    EXPECT_NEAR(warm, 32.0, 0.2);
    ASSERT_TRUE(FpgaWrite(camera, fpga::kPeltier, 1, 0));
    EXPECT_LT(read(120000), warm - 15.0);
}

TEST(SimFpgaRegisters, ReadyFlagWaitsForBootAndResetLine) {
    SimulatedCamera camera(Config("imx990"), 0);
    auto ready = [&](uint64_t t) {
        std::array<uint8_t, 64> data{};
        EXPECT_TRUE(
            Request(camera, request::kTypeVendorIn, request::kReadyFlag, 0, 0, t, &data).ok);
        return data[0];
    };
    EXPECT_EQ(ready(0), 1);
    camera.SetFpgaBootDelay(300);
    FpgaWrite(camera, fpga::kIoPort, 0x33, 10);
    FpgaWrite(camera, fpga::kResetLine, 1, 10);
    EXPECT_EQ(ready(20), 0);
    FpgaWrite(camera, fpga::kResetLine, 0, 60);
    EXPECT_EQ(ready(300), 0);
    EXPECT_EQ(ready(360), 1);
    // The reboot restored the power-up registers.
    EXPECT_EQ(camera.FpgaRegister(fpga::kIoPort, 360), 0);
}

TEST(SimIdentityEeprom, HoldsIdentityTextAndSromId) {
    SimulatedCamera camera(Config("imx990:serial=KX-42"), 0);
    std::string text;
    for (uint16_t a = srom::kIdentityText; camera.SromByte(a) != srom::kIdentityEnd; ++a) {
        text.push_back(static_cast<char>(camera.SromByte(a)));
    }
    EXPECT_EQ(text, "KX-42");
    EXPECT_EQ(camera.SromByte(srom::kSromId), srom::kSromIdDefault);
}

TEST(SimIdentityEeprom, WriteThenReadWithTheWriteCycle) {
    SimulatedCamera camera(Config("imx990"), 0);
    ASSERT_TRUE(I2cWrite(camera, i2c::kSrom, {0x10, 0x80, 0x5C}, 100));
    // During the write cycle the chip does not answer.
    EXPECT_FALSE(I2cWrite(camera, i2c::kSrom, {0x10, 0x80}, 102));
    // The controller pauses 14 ms after a write and 10 ms between address and read.
    ASSERT_TRUE(I2cWrite(camera, i2c::kSrom, {0x10, 0x80}, 114));
    auto value = I2cRead(camera, i2c::kSrom, 1, 124);
    ASSERT_TRUE(value);
    EXPECT_EQ((*value)[0], 0x5C);
    EXPECT_EQ(camera.SromByte(srom::kSromId), 0x5C);
}

TEST(SimSensorRegisters, SixteenBitAddressesForEveryHead) {
    for (const char *model : {"imx990", "imx991", "imx992", "imx993"}) {
        SimulatedCamera camera(Config(model), 0);
        ASSERT_TRUE(SensorWrite(camera, sensor::kGain0, 0x9C, 0)) << model;
        EXPECT_EQ(SensorRead(camera, sensor::kGain0, 0), 0x9C) << model;
        EXPECT_EQ(camera.SensorRegister(sensor::kGain0), 0x9C) << model;
        EXPECT_EQ(SensorRead(camera, sensor::kIdentification, 0), 0x5F) << model;
    }
}

TEST(SimSensorRegisters, FramePeriodAndExposureFollowVmaxHmaxShs) {
    SimulatedCamera camera(Config("imx992"), 0);
    SensorWrite24(camera, sensor::kVmax0, 3052, 0);
    SensorWrite24(camera, sensor::kShs0, 52, 0);
    SensorWriteInStandby(camera, sensor::kHmax0, 978 & 0xFF, 0);
    SensorWriteInStandby(camera, sensor::kHmax1, 978 >> 8, 0);
    const double lineUs = 978 / 489.0 * 355.7 / 54.545;
    EXPECT_NEAR(camera.FramePeriodMs(), 3052 * lineUs / 1000.0, 1e-6);
}

TEST(SimSensorRegisters, TemperatureLatchHoldsTheSample) {
    SimulatedCamera camera(Config("imx990"), 0);
    // The latch takes a raw write: the drivers read the temperature without the bus request.
    ASSERT_TRUE(SensorWriteWithoutBusRequest(camera, sensor::kTemperatureLatch, 0x01, 0));
    const int low = *SensorRead(camera, sensor::kTemperatureLow, 0);
    const int high = *SensorRead(camera, sensor::kTemperatureHigh, 0);
    EXPECT_NEAR(((high << 8) | low) / 8.0, 32.0, 0.2);
    // Writes to the sample registers are ignored: they belong to the sensor.
    SensorWrite(camera, sensor::kTemperatureLow, 0, 0);
    EXPECT_EQ(SensorRead(camera, sensor::kTemperatureLow, 0), low);
}

TEST(SimSensorRegisters, AutoIncrementWritesConsecutiveRegisters) {
    SimulatedCamera camera(Config("imx990"), 0);
    FpgaWrite(camera, fpga::kBusRequest, 1, 0);
    ASSERT_TRUE(I2cWrite(camera, i2c::kSensor, {0x02, 0xD4, 0x34, 0x12, 0x00}, 0));
    EXPECT_EQ(camera.SensorRegister(sensor::kVmax0), 0x34);
    EXPECT_EQ(camera.SensorRegister(sensor::kVmax1), 0x12);
    EXPECT_EQ(camera.SensorRegister(sensor::kVmax2), 0x00);
}

// What the camera refuses: frame-shaping registers without the bus request, and registers a
// head may change only in standby while its sensor runs. A refusal fails the I2C transfer,
// stores nothing and is logged.
TEST(SimSensorRegisters, RefusesWritesOutsideTheBusRequestOrOutsideStandby) {
    struct Case {
        const char *model;
        uint16_t address;
        uint8_t value;
        bool needsStandby;
    };
    for (const Case &c : {Case{"imx990", sensor::kGain0, 0x20, false},
                          Case{"imx990", sensor::kTriggerConfig, 0x13, true},
                          Case{"imx991", sensor::kTriggerEnable, 0x01, true},
                          Case{"imx992", sensor::kHmax0, 0xD2, true},
                          Case{"imx993", sensor::kReadoutMode, 0xAC, true}}) {
        SCOPED_TRACE(std::string(c.model) + " register " + std::to_string(c.address));
        SimulatedCamera camera(Config(c.model), 0);
        const uint8_t before = camera.SensorRegister(c.address);
        EXPECT_FALSE(SensorWriteWithoutBusRequest(camera, c.address, c.value, 5));
        EXPECT_EQ(camera.SensorRegister(c.address), before);
        EXPECT_EQ(SensorWrite(camera, c.address, c.value, 6), !c.needsStandby);
        EXPECT_EQ(camera.SensorRegister(c.address) == c.value, !c.needsStandby);
        EXPECT_TRUE(SensorWrite(camera, c.address, before, 7));  // unchanged value: accepted
        EXPECT_TRUE(SensorWriteInStandby(camera, c.address, c.value, 8));
        EXPECT_EQ(camera.SensorRegister(c.address), c.value);

        std::vector<LogEntry> refused;
        for (const LogEntry &entry : camera.Log()) {
            if (entry.access != LogAccess::Write && entry.access != LogAccess::Read) {
                refused.push_back(entry);
            }
        }
        std::vector<LogEntry> expected{
            {5, LogTarget::Sensor, LogAccess::RefusedNoBusRequest, c.address, c.value}};
        if (c.needsStandby) {
            expected.push_back(
                {6, LogTarget::Sensor, LogAccess::RefusedNotInStandby, c.address, c.value});
        }
        EXPECT_EQ(refused, expected);
    }
}

}  // namespace
}  // namespace korvix::sim
