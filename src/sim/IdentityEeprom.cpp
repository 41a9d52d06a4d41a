#include "sim/IdentityEeprom.h"

#include <algorithm>

namespace korvix::sim {

IdentityEeprom::IdentityEeprom() {
    bytes_.fill(0xFF);
}

void IdentityEeprom::Program(std::string_view identityText, uint8_t sromId) {
    const size_t length = std::min(identityText.size(), srom::kIdentityTextMax);
    for (size_t i = 0; i < length; ++i) {
        SetByte(static_cast<uint16_t>(srom::kIdentityText + i),
                static_cast<uint8_t>(identityText[i]));
    }
    SetByte(static_cast<uint16_t>(srom::kIdentityText + length), srom::kIdentityEnd);
    SetByte(srom::kSromId, sromId);
}

bool IdentityEeprom::I2cWrite(std::span<const uint8_t> bytes, uint64_t nowMs,
                              const ByteObserver &observe) {
    if (bytes.size() < 2 || Busy(nowMs)) return false;
    address_ = static_cast<uint16_t>((bytes[0] << 8 | bytes[1]) % srom::kSizeBytes);
    if (bytes.size() == 2 || writeProtected_) return true;
    for (uint8_t value : bytes.subspan(2)) {
        bytes_[address_] = value;
        observe(true, address_, value);
        address_ = static_cast<uint16_t>((address_ + 1) % srom::kSizeBytes);
    }
    writeCycleEndMs_ = nowMs + srom::kWriteCycleMs;
    return true;
}

bool IdentityEeprom::I2cRead(std::span<uint8_t> out, uint64_t nowMs, const ByteObserver &observe) {
    if (Busy(nowMs)) return false;
    for (uint8_t &value : out) {
        value = bytes_[address_];
        observe(false, address_, value);
        address_ = static_cast<uint16_t>((address_ + 1) % srom::kSizeBytes);
    }
    return true;
}

}  // namespace korvix::sim
