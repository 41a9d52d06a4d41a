#pragma once

// The FPGA register file (I2C 0x40/0x41, 8-bit numbers and values) with the power-up values
// of a healthy camera. Registers whose value the FPGA itself produces (version, status,
// frame counter, temperature) are answered by the camera, which knows the live state; this
// class stores what the host wrote and reports the edges that have an effect.
// Not thread-safe: the owning camera serialises calls.

#include <array>
#include <cstdint>

#include "sim/SimRegisterMap.h"

namespace korvix::sim {

class FpgaModel {
  public:
    FpgaModel(const HeadProfile &profile, uint16_t version);

    void PowerUp();

    enum class WriteEffect {
        None,
        ReadOnly,            // the register cannot be written; nothing stored
        Restart,             // 0x6C went from 1 to 0: the sensor timing restarts
        TriggerModeChanged,  // 0x58 changed: the frame pipeline starts afresh
        ResetAsserted,       // 0x82 bit 0 went high: the FPGA is held in reset
        ResetReleased,       // 0x82 bit 0 went low: the FPGA reboots
    };
    WriteEffect Write(uint8_t reg, uint8_t value);
    uint8_t Stored(uint8_t reg) const { return registers_[reg]; }
    uint16_t Version() const { return version_; }

    uint32_t FrameWidth() const { return Word(fpga::kWidthLow); }
    uint32_t FrameHeight() const { return Word(fpga::kHeightLow); }
    bool WideSamples() const { return registers_[fpga::kDataWidth] == fpga::kDataWidth16; }
    uint32_t OffsetT() const { return Word(fpga::kOffsetTLow); }
    uint32_t OffsetE() const { return Word(fpga::kOffsetELow); }
    bool ExternalTrigger() const {
        return registers_[fpga::kTriggerMode] == fpga::kTriggerModeExternal;
    }
    bool InReset() const { return (registers_[fpga::kResetLine] & 0x01) != 0; }
    bool PeltierOn() const { return (registers_[fpga::kPeltier] & 0x01) != 0; }
    bool BusRequested() const { return registers_[fpga::kBusRequest] != 0; }

  private:
    uint32_t Word(uint8_t lowReg) const {
        return registers_[lowReg] | static_cast<uint32_t>(registers_[lowReg + 1]) << 8;
    }

    const HeadProfile &profile_;
    uint16_t version_;
    std::array<uint8_t, 256> registers_{};
};

}  // namespace korvix::sim
