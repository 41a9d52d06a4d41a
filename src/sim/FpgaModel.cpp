#include "sim/FpgaModel.h"

namespace korvix::sim {

FpgaModel::FpgaModel(const HeadProfile &profile, uint16_t version)
    : profile_(profile), version_(version) {
    PowerUp();
}

void FpgaModel::PowerUp() {
    registers_.fill(0);
    registers_[fpga::kVersionLow] = version_ & 0xFF;
    registers_[fpga::kVersionHigh] = version_ >> 8;
    registers_[fpga::kDataWidth] = fpga::kDataWidth8;
    registers_[fpga::kWidthLow] = profile_.sensorWidth & 0xFF;
    registers_[fpga::kWidthHigh] = profile_.sensorWidth >> 8;
    registers_[fpga::kHeightLow] = profile_.sensorHeight & 0xFF;
    registers_[fpga::kHeightHigh] = profile_.sensorHeight >> 8;
    registers_[fpga::kOffsetTLow] = profile_.offsetTDefault & 0xFF;
    registers_[fpga::kOffsetTHigh] = profile_.offsetTDefault >> 8;
    registers_[fpga::kOffsetELow] = profile_.offsetEDefault & 0xFF;
    registers_[fpga::kOffsetEHigh] = profile_.offsetEDefault >> 8;
}

FpgaModel::WriteEffect FpgaModel::Write(uint8_t reg, uint8_t value) {
    switch (reg) {
        case fpga::kStatus:
        case fpga::kFrameCounter:
        case fpga::kVersionLow:
        case fpga::kVersionHigh:
        case fpga::kStatus17:
        case fpga::kTemperatureLow:
        case fpga::kTemperatureHigh:
            return WriteEffect::ReadOnly;
        default:
            break;
    }
    const uint8_t old = registers_[reg];
    registers_[reg] = value;
    if (reg == fpga::kRestart && old == 1 && value == 0) return WriteEffect::Restart;
    if (reg == fpga::kTriggerMode && old != value) return WriteEffect::TriggerModeChanged;
    if (reg == fpga::kResetLine && (old & 0x01) == 0 && (value & 0x01) != 0) {
        return WriteEffect::ResetAsserted;
    }
    if (reg == fpga::kResetLine && (old & 0x01) != 0 && (value & 0x01) == 0) {
        return WriteEffect::ResetReleased;
    }
    return WriteEffect::None;
}

}  // namespace korvix::sim
