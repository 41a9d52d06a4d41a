#include "sensors/RecordingController.h"

#include <algorithm>

namespace korvix::sensors::test {

namespace {
constexpr uint8_t kSensorWrite = 0x48;
constexpr uint8_t kSensorRead = 0x49;
}  // namespace

int RecordingController::ReadFpgaVersion(uint16_t *out) {
    ++versionReads;
    if (!version || !out) return 0;
    *out = *version;
    return 1;
}

int RecordingController::I2cWrite(uint8_t address, const uint8_t *data, uint8_t count, uint32_t) {
    if (address != kSensorWrite || !data) return 0;
    const unsigned reg = (static_cast<unsigned>(data[0]) << 8) | data[1];
    if (count == 2) {
        selectedSensorRegister = reg;
        return 1;
    }
    if (count != 3 || failSensorWrites) return 0;
    log.push_back({Target::kSensor, reg, data[2]});
    sensor[reg] = data[2];
    return 1;
}

int RecordingController::I2cRead(uint8_t address, uint8_t *data, uint8_t count, uint32_t) {
    if (address != kSensorRead || !data || count != 1) return 0;
    ++sensorReads;
    if (sensorReadsWithoutData) return 1;  // the driver accepted it; no byte came back
    data[0] = stuckSensorReadValue ? *stuckSensorReadValue : Sensor(selectedSensorRegister);
    return 1;
}

int RecordingController::I2cReadExact(uint8_t address, uint8_t *data, uint8_t count,
                                      uint32_t timeoutMs) {
    if (sensorReadsWithoutData) {
        ++sensorReads;
        return 0;
    }
    return I2cRead(address, data, count, timeoutMs);
}

int RecordingController::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    log.push_back({Target::kFpga, reg, value});
    fpga[reg] = value;
    return 1;
}

int RecordingController::ReadFpgaRegister(uint8_t reg, uint8_t *value) {
    if (!value) return 0;
    *value = Fpga(reg);
    return 1;
}

std::vector<std::pair<unsigned, unsigned>> RecordingController::SensorWrites() const {
    std::vector<std::pair<unsigned, unsigned>> writes;
    for (const Write &w : log) {
        if (w.target == Target::kSensor) writes.emplace_back(w.address, w.value);
    }
    return writes;
}

std::vector<std::pair<unsigned, unsigned>> RecordingController::SensorWritesTo(
    std::vector<unsigned> addresses) const {
    std::vector<std::pair<unsigned, unsigned>> writes;
    for (const auto &w : SensorWrites()) {
        if (std::find(addresses.begin(), addresses.end(), w.first) != addresses.end()) {
            writes.push_back(w);
        }
    }
    return writes;
}

std::vector<unsigned> RecordingController::FpgaWritesTo(unsigned reg) const {
    std::vector<unsigned> values;
    for (const Write &w : log) {
        if (w.target == Target::kFpga && w.address == reg) values.push_back(w.value);
    }
    return values;
}

uint8_t RecordingController::Sensor(unsigned address) const {
    auto it = sensor.find(address);
    return it == sensor.end() ? 0 : it->second;
}

uint8_t RecordingController::Fpga(unsigned reg) const {
    auto it = fpga.find(reg);
    return it == fpga.end() ? 0 : it->second;
}

}  // namespace korvix::sensors::test
