#pragma once

#include <cstdint>

namespace korvix::controller {

// The control face of the camera controller: register, I2C and EEPROM access. The device
// core and every sensor driver use it through a borrowed pointer. Every operation returns
// nonzero on success and 0 on failure (null output pointers fail) and never throws; the
// base implementation answers 0 for everything, so a test double overrides only what it
// needs. In the controller each operation opens its own handle on the device, so any
// thread may call any operation at any time; FPGA register and SROM accesses are made
// indivisible by the controller's FPGA and SROM locks (lock order: session locks, then the
// FPGA or SROM lock, then a sensor driver's register lock is never taken inside them).
class CControllerBase {
  public:
    virtual ~CControllerBase() = default;

    // Closes the data handle and frees the staging buffer.
    virtual void Close() {}
    // Selects a row of the device table when that device can be opened.
    virtual int SelectDevice(int /*row*/) { return 0; }
    // FPGA version word: register 0x11 high byte, register 0x10 low byte.
    virtual int ReadFpgaVersion(uint16_t * /*version*/) { return 0; }
    // FPGA ready flag (1 = ready); stored only when a full 64-byte answer came back.
    virtual int ReadReadyFlag(uint8_t * /*ready*/) { return 0; }
    virtual int SendCommandCC() { return 0; }
    // I2C write/read of at most 64 bytes; address in the 8-bit form. timeoutMs is accepted
    // for the callers' sake and not put on the wire. Read data is copied out only when at
    // least `count` bytes came back.
    virtual int I2cWrite(uint8_t /*address*/, const uint8_t * /*data*/, uint8_t /*count*/,
                         uint32_t /*timeoutMs*/) {
        return 0;
    }
    virtual int I2cRead(uint8_t /*address*/, uint8_t * /*data*/, uint8_t /*count*/,
                        uint32_t /*timeoutMs*/) {
        return 0;
    }
    // The same read, but it succeeds only when all `count` bytes came back, so a caller can
    // tell "read" from "accepted without data" (the sensor drivers' verified writes).
    virtual int I2cReadExact(uint8_t /*address*/, uint8_t * /*data*/, uint8_t /*count*/,
                             uint32_t /*timeoutMs*/) {
        return 0;
    }
    virtual int WriteRegister32(uint16_t /*address*/, uint32_t /*value*/) { return 0; }
    // The output becomes 0, then the returned word when a full answer came back.
    virtual int ReadRegister16(uint16_t /*address*/, uint32_t * /*value*/) { return 0; }
    virtual int WriteWordPair(uint16_t /*first*/, uint16_t /*second*/) { return 0; }
    virtual int ReadWord3F(uint16_t /*value*/, uint32_t * /*result*/) { return 0; }
    // FPGA register access (I2C device 0x40/0x41) under the FPGA lock.
    virtual int WriteFpgaRegister(uint8_t /*reg*/, uint8_t /*value*/) { return 0; }
    virtual int ReadFpgaRegister(uint8_t /*reg*/, uint8_t * /*value*/) { return 0; }
    // Auxiliary device (I2C 0x5A/0x5B), 8-bit registers.
    virtual int WriteAuxRegister(uint8_t /*reg*/, uint8_t /*value*/) { return 0; }
    virtual int ReadAuxRegister(uint8_t /*reg*/, uint8_t * /*value*/) { return 0; }
    // Identity EEPROM (I2C 0xA2/0xA3) under the SROM lock; a write is followed by a 14 ms
    // pause, a read has a 10 ms pause between address and data.
    virtual int WriteSromByte(uint16_t /*address*/, uint8_t /*value*/) { return 0; }
    virtual int ReadSromByte(uint16_t /*address*/, uint8_t * /*value*/) { return 0; }
    // Aborts bulk IN pipe 0x81 on the data handle, waiting for the abort to finish.
    virtual int AbortDataPipe() { return 0; }
};

}  // namespace korvix::controller
