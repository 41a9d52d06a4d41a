#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "controller/ControllerBase.h"

namespace korvix::sensors::test {

// A controller double that keeps an FPGA register file and a sensor register file and logs
// every write in order, so a test can assert the exact sequence a driver produced. Sensor
// registers sit behind I2C address 0x48 (read 0x49) as three-byte writes {address high,
// address low, value}; a two-byte write selects the register the next read returns.
class RecordingController : public controller::CControllerBase {
  public:
    enum class Target { kSensor, kFpga };
    struct Write {
        Target target;
        unsigned address;
        unsigned value;
        bool operator==(const Write &) const = default;
    };

    int ReadFpgaVersion(uint16_t *version) override;
    int I2cWrite(uint8_t address, const uint8_t *data, uint8_t count, uint32_t timeoutMs) override;
    int I2cRead(uint8_t address, uint8_t *data, uint8_t count, uint32_t timeoutMs) override;
    int I2cReadExact(uint8_t address, uint8_t *data, uint8_t count, uint32_t timeoutMs) override;
    int WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    int ReadFpgaRegister(uint8_t reg, uint8_t *value) override;

    // Sensor writes (address, value) in order, optionally only those to the given registers.
    std::vector<std::pair<unsigned, unsigned>> SensorWrites() const;
    std::vector<std::pair<unsigned, unsigned>> SensorWritesTo(
        std::vector<unsigned> addresses) const;
    // Values written to one FPGA register, in order.
    std::vector<unsigned> FpgaWritesTo(unsigned reg) const;
    uint8_t Sensor(unsigned address) const;
    uint8_t Fpga(unsigned reg) const;
    void ClearLog() { log.clear(); }

    std::vector<Write> log;
    std::map<unsigned, uint8_t> sensor;
    std::map<unsigned, uint8_t> fpga;
    std::optional<uint16_t> version = 0x0200;     // empty: the version read fails
    std::optional<uint8_t> stuckSensorReadValue;  // every sensor read returns this
    bool sensorReadsWithoutData = false;          // reads are accepted but bring no byte
    bool failSensorWrites = false;
    int versionReads = 0;
    int sensorReads = 0;

  private:
    unsigned selectedSensorRegister = 0;
};

}  // namespace korvix::sensors::test
