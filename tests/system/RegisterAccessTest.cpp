// Register access through the simulated camera: FPGA and sensor registers, 8-bit and full
// addresses, the ok conventions and refused accesses.
#include "CatalogueFixture.h"
#include "sim/SimRegisterMap.h"

namespace korvix::test {
namespace {

class SystemRegisterAccess : public CatalogueTest {
  protected:
    void SetUp() override {
        UseCameras("imx990");
        handle = NewHandle();
    }
    int handle = 0;
};

constexpr int kUntouched = 7;

TEST_F(SystemRegisterAccess, FpgaRegistersUseTheLowByteOfTheAddress) {
    EXPECT_EQ(Korvix_Fpga_WriteRegister(handle, 0x3D0, 0x5A), 1);
    EXPECT_EQ(Camera().FpgaRegister(sim::fpga::kCorrectionLow, sim::Simulator::NowMs()), 0x5A);
    int ok = kUntouched;
    EXPECT_EQ(Korvix_Fpga_ReadRegister(handle, 0x1D0, &ok), 0x5A);
    EXPECT_EQ(ok, kUntouched);  // success leaves ok as it was
    EXPECT_EQ(Korvix_Fpga_ReadRegister(handle, sim::fpga::kCorrectionLow, nullptr), 0x5A);
    EXPECT_EQ(Errors(handle), Codes());
}

// Korvix_ReadRegister and Korvix_WriteRegister keep the low 8 bits of the address; the Ex
// pair takes the sensor's full 16-bit addresses.
TEST_F(SystemRegisterAccess, SensorRegistersByteAndFullAddresses) {
    struct Case {
        int (*write)(int, int, int);
        int (*read)(int, int, int *);
        int address;
        uint16_t reached;
    };
    const Case kCases[] = {
        {Korvix_WriteRegister, Korvix_ReadRegister, 0x0734, 0x0034},
        {Korvix_WriteRegisterEx, Korvix_ReadRegisterEx, 0x1234, 0x1234},
    };
    int value = 0x21;
    for (const Case &c : kCases) {
        EXPECT_EQ(c.write(handle, c.address, value), 1);
        EXPECT_EQ(Camera().SensorRegister(c.reached), value);
        int ok = kUntouched;
        EXPECT_EQ(c.read(handle, c.address, &ok), value);
        EXPECT_EQ(ok, 1);
        ++value;
    }
    EXPECT_EQ(Errors(handle), Codes());
}

TEST_F(SystemRegisterAccess, RefusedAccessesFailWithIo) {
    Camera().InjectI2cNak(sim::i2c::kFpga, -1);
    int ok = kUntouched;
    EXPECT_EQ(Korvix_Fpga_ReadRegister(handle, sim::fpga::kIoPort, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Korvix_Fpga_WriteRegister(handle, sim::fpga::kIoPort, 1), 0);
    Camera().ClearFaults();
    EXPECT_EQ(Errors(handle), Codes(CAMERR_IO, CAMERR_IO));

    Camera().InjectI2cNak(sim::i2c::kSensor, -1);
    for (auto read : {Korvix_ReadRegister, Korvix_ReadRegisterEx}) {
        ok = kUntouched;
        EXPECT_EQ(read(handle, sim::sensor::kMirror, &ok), 0);
        EXPECT_EQ(ok, 0);
    }
    EXPECT_EQ(Korvix_WriteRegister(handle, 0x34, 1), 0);
    EXPECT_EQ(Korvix_WriteRegisterEx(handle, sim::sensor::kMirror, 1), 0);
    Camera().ClearFaults();
    EXPECT_EQ(Errors(handle), Codes(CAMERR_IO, CAMERR_IO, CAMERR_IO, CAMERR_IO));
}

}  // namespace
}  // namespace korvix::test
