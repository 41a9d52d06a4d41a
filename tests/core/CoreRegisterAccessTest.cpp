#include <gtest/gtest.h>

#include "CoreRecordingPort.h"
#include "CoreSimFixture.h"
#include "controller/KorCy3Cam.h"
#include "platform/Clock.h"
#include "sim/SimRegisterMap.h"
#include "sim/SimulatedDriverPort.h"

namespace korvix::core::test {
namespace {

using sim::LogAccess;
using sim::LogTarget;

class CoreRegisterAccess : public CoreSimTest {
  protected:
    // A core on the first simulated camera whose controller's requests are recorded.
    std::unique_ptr<CKorvixUSB3T2SimpleSdk> OpenRecordedCore(const std::string &cameraList, int product) {
        auto core = MakeRecordedCore(this, cameraList, product, recorder);
        EXPECT_NE(core->Open(0), 0);
        return core;
    }

    RecordingDriverPort *recorder = nullptr;  // owned by the core's controller
};

TEST_F(CoreRegisterAccess, I2cWordsGoToTheShiftedDeviceAddress) {
    auto core = OpenRecordedCore("imx990", 0x3260);
    recorder->Clear();
    unsigned value = 0xBEEF;
    core->ReadI2cWord(0x1A, 0x0102, &value);
    std::vector<ControlSetup> i2c;
    for (const ControlSetup &setup : recorder->Setups()) {
        if (setup.request == sim::request::kI2cWrite || setup.request == sim::request::kI2cRead) {
            if (setup.index != sim::i2c::kFpga && setup.index != (sim::i2c::kFpga | 1)) {
                i2c.push_back(setup);
            }
        }
    }
    ASSERT_EQ(i2c.size(), 2u);
    EXPECT_EQ(i2c[0].request, sim::request::kI2cWrite);
    EXPECT_EQ(i2c[0].index, 0x34);
    EXPECT_EQ(i2c[0].value, 2);  // register high and low byte
    EXPECT_EQ(i2c[1].request, sim::request::kI2cRead);
    EXPECT_EQ(i2c[1].index, 0x35);
    EXPECT_EQ(i2c[1].value, 2);
}

TEST_F(CoreRegisterAccess, I2cWordReadsTheSensorWhenAddressedAsADevice) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    // The sensor answers at 0x48, device 0x24; a word read returns two consecutive registers.
    core->WriteSensorRegister(0x3040, 0x12);
    core->WriteSensorRegister(0x3041, 0x34);
    unsigned value = 0;
    ASSERT_EQ(core->ReadI2cWord(0x24, 0x3040, &value), 1);
    EXPECT_EQ(value, 0x1234u);
}

TEST_F(CoreRegisterAccess, BusWaitOfZeroReadsNothing) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    Camera().ClearLog();
    EXPECT_EQ(core->WaitSensorBusFree(0), 0);
    EXPECT_TRUE(LogOf(Camera(), LogTarget::Fpga, LogAccess::Read).empty());
    EXPECT_EQ(core->WaitSensorBusFree(1000), 1);
    EXPECT_FALSE(LogOf(Camera(), LogTarget::Fpga, LogAccess::Read, sim::fpga::kStatus).empty());
}

TEST_F(CoreRegisterAccess, StuckBusyBitTimesOut) {
    platform::ManualClock clock;
    platform::ScopedClockOverride useClock(clock);
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    Camera().SetBusyBitStuck(true);
    EXPECT_EQ(core->WaitSensorBusFree(200), 0);
    EXPECT_GE(LogOf(Camera(), LogTarget::Fpga, LogAccess::Read, sim::fpga::kStatus).size(), 100u);
}

TEST_F(CoreRegisterAccess, FpgaRegistersReadBackWithTheOkFlag) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    EXPECT_EQ(core->WriteFpgaRegister(0x107, 0x15A), 1);  // both reduced to 8 bits
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kIoPort, sim::Simulator::NowMs()), 0x5A);
    int ok = 0;
    EXPECT_EQ(core->ReadFpgaRegister(sim::fpga::kIoPort, &ok), 0x5A);
    EXPECT_EQ(ok, 1);
    Camera().InjectI2cNak(sim::i2c::kFpga, 1);
    EXPECT_EQ(core->ReadFpgaRegister(sim::fpga::kIoPort, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(core->ReadFpgaRegister(sim::fpga::kVersionLow, nullptr),
              sim::kFpgaVersionDefault & 0xFF);
}

TEST_F(CoreRegisterAccess, SensorRegisterReadKeepsOkOnFailure) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->WriteSensorRegister(0x3040, 0x77), 1);
    int ok = 0;
    EXPECT_EQ(core->ReadSensorRegister(0x3040, &ok), 0x77);
    EXPECT_EQ(ok, 1);
    ok = 9;
    Camera().InjectI2cNak(sim::i2c::kSensor, 2);
    EXPECT_EQ(core->ReadSensorRegister(0x3040, &ok), 0);
    EXPECT_EQ(ok, 9);
}

TEST_F(CoreRegisterAccess, SromIdLivesAtItsAddress) {
    UseCameras("imx990");
    auto core = OpenCore(0x3260);
    ASSERT_EQ(core->WriteSromId(0x5C), 1);
    EXPECT_EQ(Camera().SromByte(0x1080), 0x5C);
    uint8_t id = 0;
    ASSERT_EQ(core->ReadSromId(&id), 1);
    EXPECT_EQ(id, 0x5C);
    uint8_t first = 0;
    ASSERT_EQ(core->ReadSromByte(0x1040, &first), 1);
    EXPECT_EQ(first, Camera().SromByte(0x1040));
    EXPECT_EQ(core->ReadSromByte(0x1040, nullptr), 0);
}

}  // namespace
}  // namespace korvix::core::test
