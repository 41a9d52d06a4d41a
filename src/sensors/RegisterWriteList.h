#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sensors/SensorBase.h"
#include "sensors/SensorRegisters.h"

// Register write lists of the IMX99x heads: the capture window, the frame length (VMAX)
// and the shutter start line (SHS), each a value spread over several sensor registers.
namespace korvix::sensors {

// A short, fixed-capacity list of register writes, built before any of them is sent.
class RegisterWriteList {
  public:
    void Add(uint16_t address, uint32_t value) {
        if (count_ < items_.size()) items_[count_++] = {address, static_cast<uint8_t>(value)};
    }
    const RegisterWrite *data() const { return items_.data(); }
    size_t size() const { return count_; }

  private:
    std::array<RegisterWrite, 8> items_{};
    size_t count_ = 0;
};

inline uint8_t Byte(uint32_t value, int index) {
    return static_cast<uint8_t>(value >> (8 * index));
}

// The window's left edge, top edge, width and height, each as a low byte and the high bits
// the head's window registers hold (`highMask`).
inline void AddWindow(RegisterWriteList &list, int x, int y, int width, int height,
                      uint8_t highMask) {
    const int values[4] = {x, y, width, height};
    const uint16_t lowRegisters[4] = {reg::kWindowXLow, reg::kWindowYLow, reg::kWindowWidthLow,
                                      reg::kWindowHeightLow};
    for (int i = 0; i < 4; ++i) {
        const auto value = static_cast<uint32_t>(values[i]);
        list.Add(lowRegisters[i], Byte(value, 0));
        list.Add(static_cast<uint16_t>(lowRegisters[i] + 1), Byte(value, 1) & highMask);
    }
}

// The frame length of a frame stretched for a long exposure, written while frames run: a
// non-zero high byte goes first (then the middle byte); otherwise the middle byte goes
// before the zero high byte only when it is smaller than the middle byte of
// `referenceLines` (the frame length in force); the low byte always goes last.
inline void AddStretchedFrameLength(RegisterWriteList &list, uint32_t lines,
                                    uint32_t referenceLines) {
    if (Byte(lines, 2) != 0) {
        list.Add(reg::kVmax2, Byte(lines, 2));
        list.Add(reg::kVmax1, Byte(lines, 1));
    } else if (Byte(lines, 1) < Byte(referenceLines, 1)) {
        list.Add(reg::kVmax1, Byte(lines, 1));
        list.Add(reg::kVmax2, 0);
    } else {
        list.Add(reg::kVmax2, 0);
        list.Add(reg::kVmax1, Byte(lines, 1));
    }
    list.Add(reg::kVmax0, Byte(lines, 0));
}

// The frame length of the window, high byte first.
inline void AddFrameLength(RegisterWriteList &list, uint32_t lines) {
    list.Add(reg::kVmax2, Byte(lines, 2));
    list.Add(reg::kVmax1, Byte(lines, 1));
    list.Add(reg::kVmax0, Byte(lines, 0));
}

// The shutter start line, low byte first. Heads with a 12-bit shutter register take only
// bits 8..11 in the middle register and 0 in the high one.
inline void AddShutterStart(RegisterWriteList &list, uint32_t line, bool twelveBits = false) {
    list.Add(reg::kShs0, Byte(line, 0));
    list.Add(reg::kShs1, twelveBits ? (line >> 8) & 0x0F : Byte(line, 1));
    list.Add(reg::kShs2, twelveBits ? 0 : Byte(line, 2));
}

}  // namespace korvix::sensors
