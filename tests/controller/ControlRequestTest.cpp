#include <gtest/gtest.h>

#include <cstring>

#include "controller/ControllerFixture.h"
#include "platform/Clock.h"

namespace korvix::controller::test {
namespace {

using platform::usb::LoadLe32;

using ControllerControlRequests = ControllerTest;

TEST_F(ControllerControlRequests, I2cWriteCarriesCountAndAddressInTheSetupPacket) {
    const uint8_t bytes[3] = {0x12, 0x00, 0x34};
    ASSERT_EQ(controller->I2cWrite(0x40, bytes, 3, 3000), 1);
    auto writes = camera->Requests(0x30);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].setup.requestType, 0x40);
    EXPECT_EQ(writes[0].setup.value, 3);
    EXPECT_EQ(writes[0].setup.index, 0x40);
    EXPECT_EQ(writes[0].setup.length, 64);  // the whole data area goes on the wire
    ASSERT_EQ(writes[0].data.size(), 64u);
    EXPECT_EQ(writes[0].data[0], 0x12);
    EXPECT_EQ(writes[0].data[2], 0x34);
    EXPECT_EQ(writes[0].data[3], 0x00);  // zeroed beyond the bytes written
}

TEST_F(ControllerControlRequests, I2cCountAboveSixtyFourFailsWithoutIo) {
    uint8_t bytes[65] = {};
    int before = camera->IoControlCount();
    EXPECT_EQ(controller->I2cWrite(0x40, bytes, 65, 3000), 0);
    EXPECT_EQ(controller->I2cRead(0x41, bytes, 65, 3000), 0);
    EXPECT_EQ(camera->IoControlCount(), before);
    EXPECT_EQ(controller->I2cWrite(0x40, nullptr, 2, 3000), 0);
    EXPECT_EQ(camera->IoControlCount(), before);
}

TEST_F(ControllerControlRequests, I2cReadUsesTheReadAddress) {
    uint8_t bytes[2] = {};
    ASSERT_EQ(controller->I2cRead(0x40, bytes, 2, 3000), 1);
    auto reads = camera->Requests(0x31);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].setup.requestType, 0xC0);
    EXPECT_EQ(reads[0].setup.index, 0x41);
    EXPECT_EQ(reads[0].setup.value, 2);
}

TEST_F(ControllerControlRequests, AnswerOfExactlyTheRequestedCountIsComplete) {
    camera->shortAnswerBytes = 2;  // the FPGA's two answer bytes and nothing more
    camera->fpga[0x10] = 0x5A;
    uint8_t value = 0;
    EXPECT_EQ(controller->ReadFpgaRegister(0x10, &value), 1);
    EXPECT_EQ(value, 0x5A);
}

TEST_F(ControllerControlRequests, ShortAnswersLeaveTheCallersOutputUnchanged) {
    camera->shortAnswerBytes = 1;
    uint8_t bytes[2] = {0xAA, 0xBB};
    EXPECT_EQ(controller->I2cRead(0x41, bytes, 2, 3000), 1);  // the driver accepted it
    EXPECT_EQ(bytes[0], 0xAA);
    EXPECT_EQ(bytes[1], 0xBB);

    uint8_t ready = 0x55;
    controller->ReadReadyFlag(&ready);
    EXPECT_EQ(ready, 0x55);

    uint8_t block[64];
    std::memset(block, 0x77, sizeof block);
    controller->ReadInfoBlock(block);
    EXPECT_EQ(block[0], 0x77);
    EXPECT_EQ(block[63], 0x77);

    uint8_t fpgaValue = 0x66;
    EXPECT_EQ(controller->ReadFpgaRegister(0x10, &fpgaValue), 0);
    EXPECT_EQ(fpgaValue, 0x66);

    uint32_t word = 0xFFFFFFFF;
    controller->ReadRegister16(0x0100, &word);
    EXPECT_EQ(word, 0u);  // this one is cleared first
}

TEST_F(ControllerControlRequests, FullAnswersAreCopiedOut) {
    uint8_t ready = 0;
    ASSERT_EQ(controller->ReadReadyFlag(&ready), 1);
    EXPECT_EQ(ready, 1);
    uint8_t block[64] = {};
    ASSERT_EQ(controller->ReadInfoBlock(block), 1);
    EXPECT_EQ(block[0], 0xB0);
    EXPECT_EQ(block[63], static_cast<uint8_t>(0xB0 + 63));
    uint32_t word = 0;
    ASSERT_EQ(controller->ReadRegister16(0x0100, &word), 1);
    EXPECT_EQ(word, 0x0300u);
    uint32_t value3f = 0;
    ASSERT_EQ(controller->ReadWord3F(0x1233, &value3f), 1);
    EXPECT_EQ(value3f, 0x1234u);
    uint8_t byte3d = 0;
    ASSERT_EQ(controller->ReadByte3D(&byte3d), 1);
    EXPECT_EQ(byte3d, 0x7E);
}

TEST_F(ControllerControlRequests, RequestsWithOpenMeaningHaveTheirWireForm) {
    ASSERT_EQ(controller->WriteRegister32(0x8123, 0xA1B2C3D4), 1);
    auto d0 = camera->Requests(0xD0);
    ASSERT_EQ(d0.size(), 1u);
    EXPECT_EQ(d0[0].setup.value, 1);       // bit 15 of the address
    EXPECT_EQ(d0[0].setup.index, 0x0123);  // bits 0..14
    EXPECT_EQ(LoadLe32(d0[0].data.data()), 0xA1B2C3D4u);

    ASSERT_EQ(controller->WriteWordPair(0x1234, 0xABCD), 1);
    auto pair = camera->Requests(0x3E);
    ASSERT_EQ(pair.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(pair[0].data.begin(), pair[0].data.begin() + 4),
              (std::vector<uint8_t>{0x12, 0x34, 0xAB, 0xCD}));

    ASSERT_EQ(controller->WriteByte3C(0x5C), 1);
    auto write3c = camera->Requests(0x3C);
    ASSERT_EQ(write3c.size(), 1u);
    EXPECT_EQ(write3c[0].data[0], 0x5C);

    ASSERT_EQ(controller->SendCommandCC(), 1);
    ASSERT_EQ(camera->Requests(0xCC).size(), 1u);
    EXPECT_EQ(camera->Requests(0xCC)[0].setup.requestType, 0x42);
    ASSERT_EQ(controller->StopStream(), 1);
    EXPECT_EQ(camera->Requests(0xC0)[0].setup.requestType, 0x40);
}

TEST_F(ControllerControlRequests, FpgaRegisterWriteAndReadReachTheRegisterFile) {
    ASSERT_EQ(controller->WriteFpgaRegister(0x3C, 2), 1);
    EXPECT_EQ(camera->fpga[0x3C], 2);
    camera->fpga[0x10] = 0x34;
    camera->fpga[0x11] = 0x12;
    uint8_t value = 0;
    ASSERT_EQ(controller->ReadFpgaRegister(0x3C, &value), 1);
    EXPECT_EQ(value, 2);
    uint16_t version = 0;
    ASSERT_EQ(controller->ReadFpgaVersion(&version), 1);
    EXPECT_EQ(version, 0x1234);
    // A register write is 3 bytes {register, 0, value} to 0x40.
    auto writes = camera->Requests(0x30);
    EXPECT_EQ(writes[0].setup.value, 3);
    EXPECT_EQ(writes[0].data[1], 0);
}

TEST_F(ControllerControlRequests, SromAccessMakesItsPausesOnTheClock) {
    platform::ManualClock clock;
    platform::ScopedClockOverride use(clock);
    ASSERT_EQ(controller->WriteSromByte(0x1080, 0x5A), 1);
    EXPECT_EQ(clock.SleptMs(), 14u);
    EXPECT_EQ(camera->srom[0x1080], 0x5A);
    uint8_t value = 0;
    ASSERT_EQ(controller->ReadSromByte(0x1080, &value), 1);
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(clock.SleptMs(), 24u);
    auto writes = camera->Requests(0x30);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].setup.index, 0xA2);
    EXPECT_EQ(writes[1].data[0], 0x10);  // address high byte first
    EXPECT_EQ(writes[1].data[1], 0x80);
}

TEST_F(ControllerControlRequests, FailedSromWriteMakesNoPause) {
    platform::ManualClock clock;
    platform::ScopedClockOverride use(clock);
    camera->failControl = true;
    EXPECT_EQ(controller->WriteSromByte(0x1040, 1), 0);
    EXPECT_EQ(clock.SleptMs(), 0u);
}

TEST_F(ControllerControlRequests, EveryRequestUsesAFreshHandleAndFailsWithoutDevice) {
    camera->present.clear();  // unplugged
    uint8_t value = 0;
    EXPECT_EQ(controller->ReadFpgaRegister(0x10, &value), 0);
    EXPECT_EQ(controller->StopStream(), 0);
    EXPECT_EQ(camera->IoControlCount(), 0);
}

TEST_F(ControllerControlRequests, PipeAndPortRequestsAndLinkSpeed) {
    uint32_t speed = 0;
    ASSERT_EQ(controller->GetDeviceSpeed(&speed), 1);
    EXPECT_EQ(speed, 4u);
    camera->speedCode = 3;
    ASSERT_EQ(controller->GetDeviceSpeed(&speed), 1);
    EXPECT_EQ(speed, 3u);
    ASSERT_EQ(controller->ResetPipe(0x81), 1);
    ASSERT_EQ(controller->ResetParentPort(), 1);
    EXPECT_EQ(camera->CountOf(WireEvent::Kind::ResetPipe), 1);
    EXPECT_EQ(camera->CountOf(WireEvent::Kind::ResetPort), 1);
}

TEST_F(ControllerControlRequests, NullOutputsFail) {
    EXPECT_EQ(controller->ReadFpgaRegister(0x10, nullptr), 0);
    EXPECT_EQ(controller->ReadSromByte(0, nullptr), 0);
    EXPECT_EQ(controller->ReadRegister16(0, nullptr), 0);
    EXPECT_EQ(controller->ReadFpgaVersion(nullptr), 0);
    EXPECT_EQ(controller->GetDeviceSpeed(nullptr), 0);
    EXPECT_EQ(controller->ReadInfoBlock(nullptr), 0);
    EXPECT_EQ(camera->IoControlCount(), 0);
}

}  // namespace
}  // namespace korvix::controller::test
