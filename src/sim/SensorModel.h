#pragma once

// The register file of the image sensor (I2C 0x48, 16-bit addresses, 8-bit values) and what
// follows from it: window, read-out mode, frame and line length, shutter, gain, gain mode,
// mirror, black level, standby, and the temperature sample that bit 0 of 0x0788 latches.
// The same layout serves all four heads; their power-up values come from the HeadProfile,
// and so do the rules a write must follow (bus request, standby) and how the window
// registers map to the output.
// Not thread-safe: the owning camera serialises calls.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>

#include "sim/SimRegisterMap.h"

namespace korvix::sim {

class SensorModel {
  public:
    explicit SensorModel(const HeadProfile &profile);

    // Power-up register values.
    void PowerUp();

    // temperatureSample: the 12-bit two's-complement sample (degrees x 8) to latch when this
    // write raises bit 0 of the latch register.
    void Write(uint16_t address, uint8_t value, uint16_t temperatureSample);
    // What the bus returns: the stored value, or the stuck value of a faulty register.
    uint8_t Read(uint16_t address) const;
    uint8_t Stored(uint16_t address) const { return registers_[address]; }

    // Whether the host may write value to address now. busRequested: the host holds the
    // FPGA's sensor-bus request.
    enum class WriteCheck { Accepted, NoBusRequest, NotInStandby };
    WriteCheck Check(uint16_t address, uint8_t value, bool busRequested) const;

    // Fault: reads of address return value whatever was written.
    void StickReadBack(uint16_t address, uint8_t value) { stuck_[address] = value; }
    void ClearStuckReadBacks() { stuck_.clear(); }

    uint32_t WindowX() const { return Pair(sensor::kWindowX0); }
    uint32_t WindowY() const { return Pair(sensor::kWindowY0); }
    uint32_t WindowWidth() const { return Pair(sensor::kWindowWidth0); }
    uint32_t WindowHeight() const { return Pair(sensor::kWindowHeight0); }
    uint32_t Vmax() const;
    uint32_t Hmax() const;
    uint32_t Shs() const;
    bool SubsampledReadout() const;  // 2x2 sub-sampled or binned: every other array pixel
    // The first array column and row the read-out covers; a mirrored read-out runs from the
    // other end of what it covers. The window registers count from the array's first
    // column and row, and in mirrored read-out from its last. The IMX990/991 (the heads whose
    // window registers hold the output size) read the whole array in sub-sampled read-out
    // whatever the window position, and in window cropping (0x0304 = 2) start 4 rows above
    // the window's top register: their drivers add those 4 rows to the top edge.
    uint32_t ReadoutX() const;
    uint32_t ReadoutY() const;
    bool MirrorH() const { return (registers_[sensor::kMirror] & 0x02) != 0; }
    bool MirrorV() const { return (registers_[sensor::kMirror] & 0x01) != 0; }
    bool Standby() const { return (registers_[sensor::kStandby] & 0x01) != 0; }
    // The trigger registers select external-trigger read-out: the sensor exposes one frame
    // per pulse and none on its own.
    bool ExternalTrigger() const {
        return (registers_[sensor::kTriggerConfig] & sensor::kTriggerConfigExternalBit) != 0 &&
               (registers_[sensor::kTriggerEnable] & sensor::kTriggerEnableBit) != 0;
    }
    // Samples per row and rows the sensor sends for its window and read-out mode.
    uint32_t OutputWidth() const;
    uint32_t OutputHeight() const;
    // Bytes one line period can carry to the FPGA; SIZE_MAX when the line always has room.
    size_t LineCapacityBytes() const;
    uint32_t GainCode() const;       // 0.1 dB steps
    double GainFactor() const;       // analog gain x gain-mode factor
    uint16_t BlackLevel() const;     // 12-bit units
    uint32_t ExposureLines() const;  // VMAX - SHS, at least 1
    double LinePeriodNs() const;     // HMAX sensor clocks
    double FramePeriodMs() const;    // VMAX line periods
    double ExposureUs() const;

  private:
    // The first array pixel of a read-out of `count` pixels from `first` along an axis of
    // `arraySize` pixels, counted from the axis's other end when mirrored.
    uint32_t MirroredStart(uint32_t first, uint32_t count, uint32_t arraySize, bool mirrored) const;
    uint32_t Pair(uint16_t lowAddress) const {
        return registers_[lowAddress] |
               static_cast<uint32_t>(registers_[lowAddress + 1] & sensor::kWindowHighMask) << 8;
    }
    void Store24(uint16_t lowAddress, uint32_t value);

    const HeadProfile &profile_;
    std::array<uint8_t, 0x10000> registers_{};
    std::map<uint16_t, uint8_t> stuck_;
};

}  // namespace korvix::sim
