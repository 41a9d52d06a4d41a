#pragma once

// The identity EEPROM behind I2C 0xA2/0xA3: 8 KiB with 16-bit byte addresses. An I2C write
// of two bytes sets the address; more bytes are stored from that address on and start a
// write cycle, during which the chip answers nothing (NAK). A read returns bytes from the
// address on. Not thread-safe: the owning camera serialises calls.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "sim/SimRegisterMap.h"

namespace korvix::sim {

class IdentityEeprom {
  public:
    IdentityEeprom();

    // Factory content: identity text at 0x1040 ending in 0xFF, SROM ID byte at 0x1080.
    void Program(std::string_view identityText, uint8_t sromId);

    // Called for every byte stored or returned, for the register log.
    using ByteObserver = std::function<void(bool write, uint16_t address, uint8_t value)>;

    // Return false for a NAK.
    bool I2cWrite(std::span<const uint8_t> bytes, uint64_t nowMs, const ByteObserver &observe);
    bool I2cRead(std::span<uint8_t> out, uint64_t nowMs, const ByteObserver &observe);

    // Fault: with the write-protect input raised the chip acknowledges data bytes but
    // stores none of them.
    void SetWriteProtected(bool on) { writeProtected_ = on; }

    uint8_t Byte(uint16_t address) const { return bytes_[address % srom::kSizeBytes]; }
    void SetByte(uint16_t address, uint8_t value) { bytes_[address % srom::kSizeBytes] = value; }

  private:
    bool Busy(uint64_t nowMs) const { return nowMs < writeCycleEndMs_; }

    std::array<uint8_t, srom::kSizeBytes> bytes_;
    uint16_t address_ = 0;
    uint64_t writeCycleEndMs_ = 0;
    bool writeProtected_ = false;
};

}  // namespace korvix::sim
