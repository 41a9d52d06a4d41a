#pragma once

// Drives a SimulatedCamera the way the controller does: vendor requests with a 64-byte data
// area, I2C transfers in the FPGA, sensor and EEPROM formats, and bulk reads of 0x81.

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "sim/SimulatedCamera.h"

namespace korvix::sim::test {

inline ControlResult Request(SimulatedCamera &camera, uint8_t type, uint8_t request, uint16_t value,
                             uint16_t index, uint64_t nowMs,
                             std::array<uint8_t, 64> *data = nullptr) {
    std::array<uint8_t, 64> local{};
    std::array<uint8_t, 64> &area = data != nullptr ? *data : local;
    return camera.Control(SetupPacket{type, request, value, index}, area, nowMs);
}

inline bool I2cWrite(SimulatedCamera &camera, uint8_t address, std::vector<uint8_t> bytes,
                     uint64_t nowMs) {
    std::array<uint8_t, 64> data{};
    std::memcpy(data.data(), bytes.data(), std::min<size_t>(bytes.size(), 64));
    return Request(camera, request::kTypeVendorOut, request::kI2cWrite,
                   static_cast<uint16_t>(bytes.size()), address, nowMs, &data)
        .ok;
}

inline std::optional<std::vector<uint8_t>> I2cRead(SimulatedCamera &camera, uint8_t address,
                                                   size_t count, uint64_t nowMs) {
    std::array<uint8_t, 64> data{};
    if (!Request(camera, request::kTypeVendorIn, request::kI2cRead, static_cast<uint16_t>(count),
                 address | i2c::kReadBit, nowMs, &data)
             .ok) {
        return std::nullopt;
    }
    return std::vector<uint8_t>(data.begin(), data.begin() + count);
}

inline bool FpgaWrite(SimulatedCamera &camera, uint8_t reg, uint8_t value, uint64_t nowMs) {
    return I2cWrite(camera, i2c::kFpga, {reg, 0x00, value}, nowMs);
}

inline void FpgaWrite16(SimulatedCamera &camera, uint8_t lowReg, uint16_t value, uint64_t nowMs) {
    FpgaWrite(camera, lowReg, value & 0xFF, nowMs);
    FpgaWrite(camera, lowReg + 1, value >> 8, nowMs);
}

inline std::optional<uint8_t> FpgaRead(SimulatedCamera &camera, uint8_t reg, uint64_t nowMs) {
    if (!I2cWrite(camera, i2c::kFpga, {reg}, nowMs)) return std::nullopt;
    auto bytes = I2cRead(camera, i2c::kFpga, 2, nowMs);
    if (!bytes) return std::nullopt;
    return (*bytes)[1];
}

// One sensor register write as it stands on the bus, without the FPGA's bus request.
inline bool SensorWriteWithoutBusRequest(SimulatedCamera &camera, uint16_t address, uint8_t value,
                                         uint64_t nowMs) {
    return I2cWrite(camera, i2c::kSensor,
                    {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value},
                    nowMs);
}

// One sensor register write inside the bus request, as the drivers' arbitrated write does.
inline bool SensorWrite(SimulatedCamera &camera, uint16_t address, uint8_t value, uint64_t nowMs) {
    FpgaWrite(camera, fpga::kBusRequest, 1, nowMs);
    const bool written = SensorWriteWithoutBusRequest(camera, address, value, nowMs);
    FpgaWrite(camera, fpga::kBusRequest, 0, nowMs);
    return written;
}

// Writes a register that may change only in standby: standby, the write, running again.
inline bool SensorWriteInStandby(SimulatedCamera &camera, uint16_t address, uint8_t value,
                                 uint64_t nowMs) {
    SensorWrite(camera, sensor::kStandby, 1, nowMs);
    const bool written = SensorWrite(camera, address, value, nowMs);
    SensorWrite(camera, sensor::kStandby, 0, nowMs);
    return written;
}

// Sensor trigger registers (in standby) and FPGA 0x58 for external-trigger read-out.
inline void EnterExternalTrigger(SimulatedCamera &camera, uint64_t nowMs) {
    SensorWrite(camera, sensor::kStandby, 1, nowMs);
    SensorWrite(camera, sensor::kTriggerConfig, 0x13, nowMs);
    SensorWrite(camera, sensor::kTriggerEnable, 1, nowMs);
    SensorWrite(camera, sensor::kStandby, 0, nowMs);
    FpgaWrite(camera, fpga::kTriggerMode, fpga::kTriggerModeExternal, nowMs);
}

inline void SensorWrite24(SimulatedCamera &camera, uint16_t lowAddress, uint32_t value,
                          uint64_t nowMs) {
    for (int i = 0; i < 3; ++i) {
        SensorWrite(camera, static_cast<uint16_t>(lowAddress + i),
                    static_cast<uint8_t>(value >> (8 * i)), nowMs);
    }
}

inline std::optional<uint8_t> SensorRead(SimulatedCamera &camera, uint16_t address,
                                         uint64_t nowMs) {
    if (!I2cWrite(camera, i2c::kSensor,
                  {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)}, nowMs)) {
        return std::nullopt;
    }
    auto bytes = I2cRead(camera, i2c::kSensor, 1, nowMs);
    if (!bytes) return std::nullopt;
    return (*bytes)[0];
}

inline bool Arm(SimulatedCamera &camera, uint64_t nowMs) {
    return Request(camera, request::kTypeVendorOutEndpoint, request::kArmStream, 0, 0, nowMs).ok;
}

inline uint32_t HeaderWord(const std::vector<uint8_t> &header, size_t offset) {
    uint32_t value;
    std::memcpy(&value, header.data() + offset, 4);
    return value;
}

// Reads one bulk transfer of up to `length` bytes from 0x81; nullopt when nothing is ready.
inline std::optional<std::vector<uint8_t>> Bulk(SimulatedCamera &camera, size_t length,
                                                uint64_t nowMs) {
    std::vector<uint8_t> buffer(length);
    BulkReadResult result = camera.BulkRead(endpoint::kFrameIn, buffer, nowMs);
    if (!result.ready) return std::nullopt;
    buffer.resize(result.bytes);
    return buffer;
}

// Arms, reads the header and the whole payload in 512 KiB pieces at nowMs.
struct Frame {
    std::vector<uint8_t> header;
    std::vector<uint8_t> payload;
};
inline std::optional<Frame> ReadFrame(SimulatedCamera &camera, uint64_t nowMs) {
    if (!Arm(camera, nowMs)) return std::nullopt;
    auto header = Bulk(camera, 64, nowMs);
    if (!header || header->size() != 64) return std::nullopt;
    Frame frame{*header, {}};
    const uint32_t length = HeaderWord(frame.header, header::kDataLengthOffset);
    while (frame.payload.size() < length) {
        auto piece = Bulk(camera, std::min<size_t>(524288, length - frame.payload.size()), nowMs);
        if (!piece) return std::nullopt;
        frame.payload.insert(frame.payload.end(), piece->begin(), piece->end());
    }
    return frame;
}

}  // namespace korvix::sim::test
