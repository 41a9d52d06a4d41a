// The FX3 side of the simulated camera: vendor requests and the I2C bus behind them.

#include <algorithm>
#include <cstring>

#include "sim/SimulatedCamera.h"

namespace korvix::sim {

namespace {
void WriteLe16(std::span<uint8_t> bytes, uint16_t value) {
    bytes[0] = value & 0xFF;
    bytes[1] = value >> 8;
}
}  // namespace

ControlResult SimulatedCamera::DispatchRequestLocked(
    const SetupPacket &setup, std::span<uint8_t, request::kDataAreaBytes> data, uint64_t nowMs) {
    const ControlResult done{true, request::kDataAreaBytes};
    const uint8_t type = setup.requestType;
    auto isType = [&](uint8_t expected) { return type == expected; };
    auto logRequest = [&](uint32_t value) {
        AddLog(nowMs, LogTarget::Request, (type & 0x80) != 0 ? LogAccess::Read : LogAccess::Write,
               setup.request, value);
    };

    switch (setup.request) {
        case request::kI2cWrite: {
            if (!isType(request::kTypeVendorOut) || setup.value > request::kDataAreaBytes) break;
            const auto address = static_cast<uint8_t>(setup.index);
            if (setup.index > 0xFF || (address & i2c::kReadBit) != 0) break;
            if (!I2cWriteLocked(address, std::span<const uint8_t>(data.data(), setup.value),
                                nowMs)) {
                break;
            }
            return done;
        }
        case request::kI2cRead: {
            if (!isType(request::kTypeVendorIn) || setup.value > request::kDataAreaBytes) break;
            const auto address = static_cast<uint8_t>(setup.index);
            if (setup.index > 0xFF || (address & i2c::kReadBit) == 0) break;
            std::fill(data.begin(), data.end(), 0);
            if (!I2cReadLocked(address, std::span<uint8_t>(data.data(), setup.value), nowMs)) break;
            return done;
        }
        case request::kInfoBlock:
            if (!isType(request::kTypeVendorIn)) break;
            std::fill(data.begin(), data.end(), 0);
            WriteLe16(data.subspan(info::kFirmwareVersionOffset, 2), config_.firmwareVersion);
            data[info::kGpio25FlagOffset] = config_.gpio25Flag;
            logRequest(config_.firmwareVersion);
            return done;
        case request::kInfoBlock2:
            if (!isType(request::kTypeVendorIn)) break;
            std::fill(data.begin(), data.end(), 0);
            WriteLe16(data.subspan(0, 2), ProductId());
            logRequest(0);
            return done;
        case request::kStopStream:
            if (!isType(request::kTypeVendorOut)) break;
            stream_.Stop();
            logRequest(0);
            Notify();
            return done;
        case request::kArmStream:
            if (!isType(request::kTypeVendorOutEndpoint)) break;
            stream_.Arm();
            logRequest(0);
            Notify();
            return done;
        case request::kReadyFlag: {
            if (!isType(request::kTypeVendorIn)) break;
            std::fill(data.begin(), data.end(), 0);
            data[0] = FpgaReadyLocked(nowMs) ? 1 : 0;
            logRequest(data[0]);
            return done;
        }
        case request::kCommandCC:
            if (!isType(request::kTypeVendorOutEndpoint)) break;
            logRequest(0);
            return done;
        case request::kWriteByte3C:
            if (!isType(request::kTypeVendorOut)) break;
            byte3C_ = data[0];
            logRequest(byte3C_);
            return done;
        case request::kReadByte3D:
            if (!isType(request::kTypeVendorIn)) break;
            std::fill(data.begin(), data.end(), 0);
            data[0] = byte3C_;
            logRequest(byte3C_);
            return done;
        case request::kWriteRegister32: {
            if (!isType(request::kTypeVendorOut)) break;
            const auto address =
                static_cast<uint16_t>((setup.value & 1) << 15 | (setup.index & 0x7FFF));
            uint32_t value;
            std::memcpy(&value, data.data(), sizeof value);
            registers32_[address] = value;
            logRequest(value);
            return done;
        }
        case request::kReadRegister16: {
            if (!isType(request::kTypeVendorIn)) break;
            std::fill(data.begin(), data.end(), 0);
            auto found = registers32_.find(setup.index);
            const uint16_t value = found == registers32_.end() ? 0 : found->second & 0xFFFF;
            WriteLe16(data.subspan(0, 2), value);
            logRequest(value);
            return done;
        }
        case request::kWriteWordPair:
            if (!isType(request::kTypeVendorOut)) break;
            // Each word arrives high byte first.
            wordPair_ = {static_cast<uint16_t>(data[0] << 8 | data[1]),
                         static_cast<uint16_t>(data[2] << 8 | data[3])};
            logRequest(static_cast<uint32_t>(wordPair_.first) << 16 | wordPair_.second);
            return done;
        case request::kReadWord3F: {
            if (!isType(request::kTypeVendorIn)) break;
            std::fill(data.begin(), data.end(), 0);
            const uint16_t value = (setup.value & 1) == 0 ? wordPair_.first : wordPair_.second;
            WriteLe16(data.subspan(0, 2), value);
            logRequest(value);
            return done;
        }
        default:
            break;
    }
    return {};  // stall
}

bool SimulatedCamera::NakLocked(uint8_t address) {
    if (nakCount_ == 0 || (address & ~i2c::kReadBit) != nakAddress_) return false;
    if (nakCount_ > 0) --nakCount_;
    return true;
}

bool SimulatedCamera::I2cWriteLocked(uint8_t address, std::span<const uint8_t> bytes,
                                     uint64_t nowMs) {
    if (NakLocked(address)) return false;
    switch (address) {
        case i2c::kFpga:
            // {register} sets the read pointer; {register, 0x00, value} writes.
            if (bytes.size() == 1) {
                fpgaPointer_ = bytes[0];
                return true;
            }
            if (bytes.size() != 3) return false;
            fpgaPointer_ = bytes[0];
            FpgaWriteLocked(bytes[0], bytes[2], nowMs);
            AdvanceLocked(nowMs);  // a restart or a return to free-running starts the timing now
            return true;
        case i2c::kAux:
            if (bytes.empty()) return false;
            auxPointer_ = bytes[0];
            for (size_t i = 1; i < bytes.size(); ++i) {
                auxRegisters_[auxPointer_] = bytes[i];
                AddLog(nowMs, LogTarget::Aux, LogAccess::Write, auxPointer_, bytes[i]);
                ++auxPointer_;
            }
            return true;
        case i2c::kSensor: {
            // {address high, address low} sets the pointer; further bytes are written to
            // consecutive registers.
            if (bytes.size() < 2) return false;
            sensorPointer_ = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
            const uint16_t sample = TemperatureSampleLocked(nowMs);
            for (size_t i = 2; i < bytes.size(); ++i) {
                if (!SensorWriteAcceptedLocked(sensorPointer_, bytes[i], nowMs)) return false;
                AdvanceLocked(nowMs);  // a timing change applies from now on
                sensor_.Write(sensorPointer_, bytes[i], sample);
                AddLog(nowMs, LogTarget::Sensor, LogAccess::Write, sensorPointer_, bytes[i]);
                ++sensorPointer_;
            }
            AdvanceLocked(nowMs);  // a sensor leaving standby starts its frame timing now
            return true;
        }
        case i2c::kSrom:
            return srom_.I2cWrite(bytes, nowMs, [&](bool write, uint16_t at, uint8_t value) {
                AddLog(nowMs, LogTarget::Srom, write ? LogAccess::Write : LogAccess::Read, at,
                       value);
            });
        default:
            return false;  // nobody answers at this address
    }
}

// A refused byte is not acknowledged: the transfer fails there, earlier bytes stay written.
bool SimulatedCamera::SensorWriteAcceptedLocked(uint16_t address, uint8_t value, uint64_t nowMs) {
    switch (sensor_.Check(address, value, fpga_.BusRequested())) {
        case SensorModel::WriteCheck::Accepted:
            return true;
        case SensorModel::WriteCheck::NoBusRequest:
            AddLog(nowMs, LogTarget::Sensor, LogAccess::RefusedNoBusRequest, address, value);
            return false;
        case SensorModel::WriteCheck::NotInStandby:
            AddLog(nowMs, LogTarget::Sensor, LogAccess::RefusedNotInStandby, address, value);
            return false;
    }
    return false;
}

bool SimulatedCamera::I2cReadLocked(uint8_t address, std::span<uint8_t> out, uint64_t nowMs) {
    if (NakLocked(address)) return false;
    switch (address & ~i2c::kReadBit) {
        case i2c::kFpga:
            // Each register answers two bytes: 0x00, then its value.
            for (size_t i = 0; i < out.size(); ++i) {
                out[i] = (i % 2) == 0
                             ? 0
                             : FpgaReadLocked(static_cast<uint8_t>(fpgaPointer_ + i / 2), nowMs);
            }
            return true;
        case i2c::kAux:
            for (uint8_t &value : out) {
                value = auxRegisters_[auxPointer_];
                AddLog(nowMs, LogTarget::Aux, LogAccess::Read, auxPointer_, value);
                ++auxPointer_;
            }
            return true;
        case i2c::kSensor:
            for (uint8_t &value : out) {
                value = sensor_.Read(sensorPointer_);
                AddLog(nowMs, LogTarget::Sensor, LogAccess::Read, sensorPointer_, value);
                ++sensorPointer_;
            }
            return true;
        case i2c::kSrom:
            return srom_.I2cRead(out, nowMs, [&](bool write, uint16_t at, uint8_t value) {
                AddLog(nowMs, LogTarget::Srom, write ? LogAccess::Write : LogAccess::Read, at,
                       value);
            });
        default:
            return false;
    }
}

void SimulatedCamera::FpgaWriteLocked(uint8_t reg, uint8_t value, uint64_t nowMs) {
    AddLog(nowMs, LogTarget::Fpga, LogAccess::Write, reg, value);
    switch (fpga_.Write(reg, value)) {
        case FpgaModel::WriteEffect::Restart:
        case FpgaModel::WriteEffect::TriggerModeChanged:
        case FpgaModel::WriteEffect::ResetAsserted:
            stream_.Restart();
            Notify();
            break;
        case FpgaModel::WriteEffect::ResetReleased:
            // The FPGA reboots: its registers return to power-up values and it is ready again
            // after the boot delay. The sensor keeps its registers.
            fpga_.PowerUp();
            stream_.PowerCycle();
            fpgaReadyAtMs_ = nowMs + fpgaBootDelayMs_;
            Notify();
            break;
        case FpgaModel::WriteEffect::None:
        case FpgaModel::WriteEffect::ReadOnly:
            break;
    }
}

uint8_t SimulatedCamera::FpgaReadLocked(uint8_t reg, uint64_t nowMs) {
    const uint8_t value = FpgaValueLocked(reg, nowMs);
    AddLog(nowMs, LogTarget::Fpga, LogAccess::Read, reg, value);
    return value;
}

uint8_t SimulatedCamera::FpgaValueLocked(uint8_t reg, uint64_t nowMs) {
    uint8_t value = fpga_.Stored(reg);
    switch (reg) {
        case fpga::kStatus: {
            const auto lastFrame = stream_.LastFrameTimeMs();
            const bool fpgaUsesBus = !fpga_.BusRequested() && lastFrame &&
                                     nowMs < *lastFrame + fpga::kBusUseAfterFrameMs;
            value = busyStuck_ || fpgaUsesBus ? fpga::kStatusBusBusy : 0;
            break;
        }
        case fpga::kFrameCounter:
            value = static_cast<uint8_t>(stream_.FrameCounter());
            break;
        case fpga::kTemperatureLow:
            value = TemperatureSampleLocked(nowMs) & 0xFF;
            break;
        case fpga::kTemperatureHigh:
            value = (TemperatureSampleLocked(nowMs) >> 8) & 0x0F;
            break;
        default:
            break;
    }
    return value;
}

}  // namespace korvix::sim
