// Direct access to the camera's registers and identity memory: FPGA registers, sensor
// registers, 16-bit registers of any device on the I2C bus, and SROM bytes.

#include "controller/KorCy3Cam.h"
#include "core/KorvixU3T2Base.h"
#include "platform/Clock.h"
#include "sensors/SensorBase.h"

namespace korvix::core {
namespace {

constexpr uint8_t kStatusRegister = 0x02;
constexpr uint8_t kSensorBusBusyBit = 0x02;
constexpr uint32_t kBusWaitMs = 3000;
constexpr uint32_t kI2cTimeoutMs = 3000;
constexpr uint16_t kSromIdAddress = 0x1080;

}  // namespace

int CKorvixU3T2Base::WriteSensorRegister(unsigned address, unsigned value) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->WriteRegister(address, value) : 0;
}

int CKorvixU3T2Base::ReadSensorRegister(unsigned address, int *ok) {
    DeviceLock lock(deviceLock);
    int value = 0;
    if (!sensor || !sensor->ReadRegister(address, &value)) return 0;
    if (ok) *ok = 1;
    return value;
}

int CKorvixU3T2Base::WriteFpgaRegister(unsigned reg, unsigned value) {
    DeviceLock lock(deviceLock);
    if (!controller) return 0;
    return controller->WriteFpgaRegister(static_cast<uint8_t>(reg), static_cast<uint8_t>(value));
}

int CKorvixU3T2Base::ReadFpgaRegister(unsigned reg, int *ok) {
    DeviceLock lock(deviceLock);
    uint8_t value = 0;
    if (!controller || !controller->ReadFpgaRegister(static_cast<uint8_t>(reg), &value)) {
        if (ok) *ok = 0;
        return 0;
    }
    if (ok) *ok = 1;
    return value;
}

int CKorvixU3T2Base::WriteI2cWord(unsigned device, unsigned reg, unsigned value) {
    DeviceLock lock(deviceLock);
    if (!controller) return 0;
    WaitSensorBusFree(kBusWaitMs);
    const uint8_t bytes[4] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return controller->I2cWrite(static_cast<uint8_t>(device * 2), bytes, 4, kI2cTimeoutMs);
}

int CKorvixU3T2Base::ReadI2cWord(unsigned device, unsigned reg, unsigned *value) {
    DeviceLock lock(deviceLock);
    if (!controller || !value) return 0;
    WaitSensorBusFree(kBusWaitMs);
    const uint8_t address[2] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)};
    uint8_t deviceAddress = static_cast<uint8_t>(device * 2);
    // The read follows even when the address write failed; the result reports both.
    int written = controller->I2cWrite(deviceAddress, address, 2, kI2cTimeoutMs);
    {
        [[maybe_unused]] platform::TimerResolutionScope resolution;
        platform::SleepMs(1);
    }
    uint8_t data[2] = {};
    if (!controller->I2cRead(deviceAddress, data, 2, kI2cTimeoutMs)) return 0;
    *value = (static_cast<unsigned>(data[0]) << 8) | data[1];
    return written ? 1 : 0;
}

int CKorvixU3T2Base::WaitSensorBusFree(uint32_t ms) {
    DeviceLock lock(deviceLock);
    if (!controller) return 0;
    uint32_t start = platform::TimeGetTime();
    while (platform::TimeGetTime() - start < ms) {
        uint8_t status = 0;
        if (!controller->ReadFpgaRegister(kStatusRegister, &status)) return 0;
        if (!(status & kSensorBusBusyBit)) return 1;
        [[maybe_unused]] platform::TimerResolutionScope resolution;
        platform::SleepMs(1);
    }
    return 0;
}

int CKorvixU3T2Base::WriteSromByte(unsigned address, unsigned value) {
    DeviceLock lock(deviceLock);
    if (!controller) return 0;
    return controller->WriteSromByte(static_cast<uint16_t>(address), static_cast<uint8_t>(value));
}

int CKorvixU3T2Base::ReadSromByte(unsigned address, uint8_t *value) {
    DeviceLock lock(deviceLock);
    if (!controller || !value) return 0;
    return controller->ReadSromByte(static_cast<uint16_t>(address), value);
}

int CKorvixU3T2Base::WriteSromId(unsigned value) {
    DeviceLock lock(deviceLock);
    return WriteSromByte(kSromIdAddress, value);
}

int CKorvixU3T2Base::ReadSromId(uint8_t *value) {
    DeviceLock lock(deviceLock);
    return ReadSromByte(kSromIdAddress, value);
}

}  // namespace korvix::core
