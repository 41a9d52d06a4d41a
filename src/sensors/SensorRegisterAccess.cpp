// Sensor register access of CSensorBase: the raw I2C transactions and the arbitrated forms
// that share the sensor bus with the FPGA.
#include "controller/ControllerBase.h"
#include "platform/Clock.h"
#include "sensors/SensorBase.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {

namespace {

constexpr uint32_t kI2cTimeoutMs = 3000;
constexpr int kBusAttempts = 100;
constexpr uint32_t kBusRetryPauseMs = 3;
// A read-back buffer starts with a value no 8-bit register can hold, so a read that
// delivers nothing never matches a written value.
constexpr int kReadBackPreset = 0x0A0A;

}  // namespace

int CSensorBase::WriteRegister(unsigned address, unsigned value) {
    if (!controller) return 0;
    const uint8_t bytes[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                              static_cast<uint8_t>(value)};
    platform::CriticalSectionLock lock(registerLock);
    if (traits.pauseBeforeRawWrite) platform::SleepMs(1);
    return controller->I2cWrite(busAddress, bytes, 3, kI2cTimeoutMs) ? 1 : 0;
}

int CSensorBase::ReadRegister(unsigned address, int *value) {
    if (!controller || !value) return 0;
    const uint8_t addressBytes[2] = {static_cast<uint8_t>(address >> 8),
                                     static_cast<uint8_t>(address)};
    uint8_t data = 0;
    platform::CriticalSectionLock lock(registerLock);
    if (!controller->I2cWrite(busAddress, addressBytes, 2, kI2cTimeoutMs)) return 0;
    // Only a byte that actually came back is handed out; otherwise *value keeps what the
    // caller preset (the read-back preset of a verified write can then never match).
    if (!controller->I2cReadExact(static_cast<uint8_t>(busAddress | 1), &data, 1,
                                  kI2cTimeoutMs)) {
        return 0;
    }
    *value = data;
    return 1;
}

int CSensorBase::WriteRegisterArbitrated(unsigned address, unsigned value) {
    return ArbitratedAccess(true, address, value, nullptr);
}

int CSensorBase::ReadRegisterArbitrated(unsigned address, int *value) {
    if (!value) return 0;
    return ArbitratedAccess(false, address, 0, value);
}

// Raises the bus request, waits for the FPGA to report the sensor bus idle (status 0) and
// performs one raw access; a verified write must read back what was sent. Whatever the
// outcome, the bus request is dropped again.
int CSensorBase::ArbitratedAccess(bool write, unsigned address, unsigned value, int *readValue) {
    if (!controller) return 0;
    controller->WriteFpgaRegister(fpga::kSensorBusRequest, 1);
    for (int attempt = 0; attempt < kBusAttempts; ++attempt) {
        uint8_t status = 0xFF;
        if (controller->ReadFpgaRegister(fpga::kStatus, &status) && status == 0) {
            bool done = false;
            if (!write) {
                int read = kReadBackPreset;
                done = ReadRegister(address, &read) != 0;
                if (done) *readValue = read;
            } else if (WriteRegister(address, value)) {
                int readBack = kReadBackPreset;
                done =
                    !traits.verifyArbitratedWrites || (ReadRegister(address, &readBack) &&
                                                       readBack == static_cast<int>(value & 0xFF));
            }
            if (done) {
                controller->WriteFpgaRegister(fpga::kSensorBusRequest, 0);
                return 1;
            }
        }
        platform::SleepMs(kBusRetryPauseMs);
    }
    controller->WriteFpgaRegister(fpga::kSensorBusRequest, 0);
    return 0;
}

}  // namespace korvix::sensors
