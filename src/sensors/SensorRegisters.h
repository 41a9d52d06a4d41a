#pragma once

#include <cstdint>

// Register numbers the IMX99x drivers program: the FPGA registers reached through the
// controller, and the sensor's own registers (16-bit addresses, 8-bit values) reached over
// the sensor's I2C bus.
namespace korvix::sensors {

namespace fpga {
inline constexpr uint8_t kStatus = 0x02;          // the sensor bus is free only while this reads 0
inline constexpr uint8_t kStatus2 = 0x17;         // bit 0: status bit of the control-bit test
inline constexpr uint8_t kControl = 0x18;         // bit 0: control bit
inline constexpr uint8_t kStartOffsetLow = 0x4C;  // horizontal start offset (16 bits)
inline constexpr uint8_t kStartOffsetHigh = 0x4D;
inline constexpr uint8_t kTriggerFrameLength0 = 0x50;  // 24 bits, low byte first
inline constexpr uint8_t kTriggerFrameLength1 = 0x51;
inline constexpr uint8_t kTriggerFrameLength2 = 0x52;
inline constexpr uint8_t kTriggerLineTimingLow = 0x54;
inline constexpr uint8_t kTriggerLineTimingHigh = 0x55;
inline constexpr uint8_t kTriggerMode = 0x58;  // 0 free-running, 2 external trigger
inline constexpr uint8_t kTriggerEdge = 0x59;  // edge (IMX990/991), sequence value (IMX992)
inline constexpr uint8_t kSubsampleMode = 0x5A;
inline constexpr uint8_t kRestart = 0x6C;           // pulsed 1, then 0
inline constexpr uint8_t kTriggerExposure0 = 0x85;  // 24-bit exposure in lines
inline constexpr uint8_t kTriggerExposure1 = 0x86;
inline constexpr uint8_t kTriggerExposure2 = 0x9B;
inline constexpr uint8_t kPeltier = 0x97;           // bit 0: cooler on
inline constexpr uint8_t kSensorBusRequest = 0x9F;  // 1 while the driver owns the sensor bus
inline constexpr uint8_t kTemperatureLow = 0xE5;
inline constexpr uint8_t kTemperatureHigh = 0xE6;

inline constexpr uint8_t kTriggerModeFreeRunning = 0;
inline constexpr uint8_t kTriggerModeExternal = 2;
}  // namespace fpga

namespace reg {
inline constexpr uint16_t kStandby = 0x0200;   // 1 while timing or mode registers change
inline constexpr uint16_t kStandby2 = 0x020C;  // IMX992/993: toggled with kStandby
inline constexpr uint16_t kSubsampling = 0x023C;
inline constexpr uint16_t kVmax0 = 0x02D4;  // frame length in lines, 24 bits
inline constexpr uint16_t kVmax1 = 0x02D5;
inline constexpr uint16_t kVmax2 = 0x02D6;
inline constexpr uint16_t kHmaxLow = 0x02D8;  // line length in clocks
inline constexpr uint16_t kHmaxHigh = 0x02D9;
inline constexpr uint16_t kWindowMode = 0x0304;
inline constexpr uint16_t kWindowXLow = 0x0320;  // window: x, y, width, height pairs
inline constexpr uint16_t kWindowYLow = 0x0322;
inline constexpr uint16_t kWindowWidthLow = 0x0324;
inline constexpr uint16_t kWindowHeightLow = 0x0326;
inline constexpr uint16_t kReadoutMode = 0x0400;  // IMX992/993
inline constexpr uint16_t kMirror = 0x0404;       // bit 1 horizontal, bit 0 vertical
inline constexpr uint16_t kTriggerSetting = 0x0430;
inline constexpr uint16_t kTriggerSetting2 = 0x0431;
inline constexpr uint16_t kTriggerArm = 0x0432;  // IMX992/993
inline constexpr uint16_t kShs0 = 0x0440;        // shutter start line, 24 bits
inline constexpr uint16_t kShs1 = 0x0441;
inline constexpr uint16_t kShs2 = 0x0442;
inline constexpr uint16_t kTriggerEnable = 0x0600;
inline constexpr uint16_t kTemperatureLow = 0x0690;
inline constexpr uint16_t kTemperatureHigh = 0x0691;
inline constexpr uint16_t kPowerSetting = 0x0702;  // written 0 at power-up
inline constexpr uint16_t kGainMode = 0x0710;      // bit 0 set: gain mode 0
inline constexpr uint16_t kGainLow = 0x0714;
inline constexpr uint16_t kGainHigh = 0x0715;
inline constexpr uint16_t kAuxIdentity = 0x0720;  // IMX993 auxiliary-mode identification
inline constexpr uint16_t kAuxIdentity2 = 0x0740;
inline constexpr uint16_t kTemperatureLatch = 0x0788;  // bit 0 set while sampling
inline constexpr uint16_t kBlackLevelLow = 0x07C0;
inline constexpr uint16_t kBlackLevelHigh = 0x07C1;
}  // namespace reg

}  // namespace korvix::sensors
