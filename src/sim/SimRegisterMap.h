#pragma once

// Register numbers, bus addresses, request codes and power-up defaults of the simulated
// camera. The camera model and the tests share this one header, so a test names the
// register a driver should have written with the same constant the model decodes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace korvix::sim {

// ---- FX3 vendor requests (bRequest) and their request types (bmRequestType) ----
namespace request {
inline constexpr uint8_t kTypeVendorOut = 0x40;          // host to device, to the device
inline constexpr uint8_t kTypeVendorIn = 0xC0;           // device to host, from the device
inline constexpr uint8_t kTypeVendorOutEndpoint = 0x42;  // host to device, to an endpoint

inline constexpr uint8_t kI2cWrite = 0x30;
inline constexpr uint8_t kI2cRead = 0x31;
inline constexpr uint8_t kInfoBlock = 0xB0;
inline constexpr uint8_t kInfoBlock2 = 0xB1;
inline constexpr uint8_t kStopStream = 0xC0;
inline constexpr uint8_t kArmStream = 0xC2;
inline constexpr uint8_t kReadyFlag = 0xC3;
inline constexpr uint8_t kCommandCC = 0xCC;
inline constexpr uint8_t kWriteByte3C = 0x3C;
inline constexpr uint8_t kReadByte3D = 0x3D;
inline constexpr uint8_t kWriteRegister32 = 0xD0;
inline constexpr uint8_t kReadRegister16 = 0xD1;
inline constexpr uint8_t kWriteWordPair = 0x3E;
inline constexpr uint8_t kReadWord3F = 0x3F;

// Every control request carries a 64-byte data area; I2C transfers use at most that much.
inline constexpr size_t kDataAreaBytes = 64;
}  // namespace request

// ---- Devices on the FX3's I2C bus (8-bit address form; bit 0 set for reads) ----
namespace i2c {
inline constexpr uint8_t kFpga = 0x40;
inline constexpr uint8_t kAux = 0x5A;
inline constexpr uint8_t kSensor = 0x48;
inline constexpr uint8_t kSrom = 0xA2;
inline constexpr uint8_t kReadBit = 0x01;
}  // namespace i2c

// ---- Bulk endpoints ----
namespace endpoint {
inline constexpr uint8_t kCommandOut = 0x01;
inline constexpr uint8_t kFrameIn = 0x81;
inline constexpr uint8_t kAuxIn = 0x83;
}  // namespace endpoint

// ---- FPGA register file (8-bit numbers, 8-bit values) ----
namespace fpga {
inline constexpr uint8_t kStatus = 0x02;  // bit 1: sensor bus busy
inline constexpr uint8_t kStatusBusBusy = 0x02;
inline constexpr uint8_t kIoPort = 0x07;
inline constexpr uint8_t kFrameCounter = 0x08;
inline constexpr uint8_t kVersionLow = 0x10;
inline constexpr uint8_t kVersionHigh = 0x11;
inline constexpr uint8_t kStatus17 = 0x17;
inline constexpr uint8_t kControl18 = 0x18;
inline constexpr uint8_t kDataWidth = 0x3C;  // 1 = 8-bit samples, 2 = 16-bit samples
inline constexpr uint8_t kDataWidth8 = 1;
inline constexpr uint8_t kDataWidth16 = 2;
inline constexpr uint8_t kHeightLow = 0x40;
inline constexpr uint8_t kHeightHigh = 0x41;
inline constexpr uint8_t kWidthLow = 0x44;
inline constexpr uint8_t kWidthHigh = 0x45;
inline constexpr uint8_t kOffsetTLow = 0x48;
inline constexpr uint8_t kOffsetTHigh = 0x49;
inline constexpr uint8_t kOffsetELow = 0x4C;
inline constexpr uint8_t kOffsetEHigh = 0x4D;
inline constexpr uint8_t kTriggerFrameLength0 = 0x50;  // 24 bits: 0x50, 0x51, 0x52
inline constexpr uint8_t kTriggerFrameLength1 = 0x51;
inline constexpr uint8_t kTriggerFrameLength2 = 0x52;
inline constexpr uint8_t kTriggerLineTimingLow = 0x54;
inline constexpr uint8_t kTriggerLineTimingHigh = 0x55;
inline constexpr uint8_t kTriggerMode = 0x58;  // 0 free-running, 2 external trigger
inline constexpr uint8_t kTriggerModeFree = 0;
inline constexpr uint8_t kTriggerModeExternal = 2;
inline constexpr uint8_t kTriggerEdge = 0x59;
inline constexpr uint8_t kSubsampleMode = 0x5A;
inline constexpr uint8_t kRestart = 0x6C;           // written 1 then 0: restarts the sensor timing
inline constexpr uint8_t kResetLine = 0x82;         // bit 0 high holds the FPGA in reset
inline constexpr uint8_t kTriggerExposure0 = 0x85;  // 24 bits: 0x85, 0x86, 0x9B
inline constexpr uint8_t kTriggerExposure1 = 0x86;
inline constexpr uint8_t kTriggerExposure2 = 0x9B;
inline constexpr uint8_t kPeltier = 0x97;     // bit 0: cooler on
inline constexpr uint8_t kBusRequest = 0x9F;  // 1 while the host owns the sensor bus
inline constexpr uint8_t kCorrectionLow = 0xD0;
inline constexpr uint8_t kCorrectionEnable = 0xD1;
inline constexpr uint8_t kCorrectionHigh = 0xD2;
inline constexpr uint8_t kTemperatureLow = 0xE5;
inline constexpr uint8_t kTemperatureHigh = 0xE6;  // high 4 bits of the 12-bit sample

// The FPGA uses the sensor bus (status bit 1 set) for this long after each frame, unless
// the host holds the bus through kBusRequest.
inline constexpr uint64_t kBusUseAfterFrameMs = 1;

// Version word flags.
inline constexpr uint16_t kVersionFastReadout = 0x4000;
inline constexpr uint16_t kVersionInternalCorrection = 0x8000;
}  // namespace fpga

// ---- Sensor registers (I2C 0x48, 16-bit addresses, 8-bit values) ----
namespace sensor {
inline constexpr uint16_t kStandby = 0x0200;  // 1 holds the sensor (no frames) while set
inline constexpr uint16_t kTimingHold = 0x020C;
inline constexpr uint16_t kSubsample = 0x023C;  // 0x11 = 2x2 sub-sampled read-out
inline constexpr uint8_t kSubsampleOn = 0x11;
inline constexpr uint16_t kVmax0 = 0x02D4;  // 24 bits, low byte first
inline constexpr uint16_t kVmax1 = 0x02D5;
inline constexpr uint16_t kVmax2 = 0x02D6;
inline constexpr uint16_t kHmax0 = 0x02D8;  // 16 bits
inline constexpr uint16_t kHmax1 = 0x02D9;
inline constexpr uint16_t kWindowMode = 0x0304;
inline constexpr uint16_t kWindowX0 = 0x0320;  // each window value: low byte, high bits
inline constexpr uint16_t kWindowX1 = 0x0321;
inline constexpr uint16_t kWindowY0 = 0x0322;
inline constexpr uint16_t kWindowY1 = 0x0323;
inline constexpr uint16_t kWindowWidth0 = 0x0324;
inline constexpr uint16_t kWindowWidth1 = 0x0325;
inline constexpr uint16_t kWindowHeight0 = 0x0326;
inline constexpr uint16_t kWindowHeight1 = 0x0327;
inline constexpr uint8_t kWindowHighMask = 0x1F;
inline constexpr uint16_t kReadoutMode = 0x0400;  // 0xAC = binned read-out
inline constexpr uint8_t kReadoutBinned = 0xAC;
inline constexpr uint16_t kMirror = 0x0404;  // bit 1 horizontal, bit 0 vertical
inline constexpr uint16_t kTriggerConfig = 0x0430;
inline constexpr uint16_t kTriggerConfig2 = 0x0431;
inline constexpr uint16_t kTriggerArm = 0x0432;
inline constexpr uint16_t kShs0 = 0x0440;  // 24 bits: exposure = VMAX - SHS lines
inline constexpr uint16_t kShs1 = 0x0441;
inline constexpr uint16_t kShs2 = 0x0442;
inline constexpr uint16_t kTriggerEnable = 0x0600;
inline constexpr uint16_t kTemperatureLow = 0x0690;
inline constexpr uint16_t kTemperatureHigh = 0x0691;
inline constexpr uint16_t kInitControl = 0x0702;
inline constexpr uint16_t kGainMode = 0x0710;  // bit 0 set = high-gain mode
inline constexpr uint16_t kGain0 = 0x0714;     // 0.1 dB steps, 9 bits
inline constexpr uint16_t kGain1 = 0x0715;
inline constexpr uint16_t kIdentification = 0x0720;
inline constexpr uint16_t kIdentification2 = 0x0740;
inline constexpr uint16_t kTemperatureLatch = 0x0788;  // bit 0 holds the temperature sample
inline constexpr uint16_t kBlackLevel0 = 0x07C0;       // 12 bits
inline constexpr uint16_t kBlackLevel1 = 0x07C1;

// The trigger registers select external-trigger read-out when bit 1 of kTriggerConfig and
// bit 0 of kTriggerEnable are both set.
inline constexpr uint8_t kTriggerConfigExternalBit = 0x02;
inline constexpr uint8_t kTriggerEnableBit = 0x01;

// Registers that shape the frame. The FPGA drives the sensor bus for its own frame logic, so
// the host may write these only while it holds the bus request (FPGA 0x9F); a write without
// it is refused. The temperature latch and the gain mode stay writable directly: the drivers
// reach them with single raw transfers by design.
inline constexpr std::array<uint16_t, 31> kBusRequestRegisters{
    kStandby,    kTimingHold,    kSubsample,      kVmax0,         kVmax1,         kVmax2,
    kHmax0,      kHmax1,         kWindowMode,     kWindowX0,      kWindowX1,      kWindowY0,
    kWindowY1,   kWindowWidth0,  kWindowWidth1,   kWindowHeight0, kWindowHeight1, kReadoutMode,
    kMirror,     kTriggerConfig, kTriggerConfig2, kTriggerArm,    kShs0,          kShs1,
    kShs2,       kTriggerEnable, kInitControl,    kGain0,         kGain1,         kBlackLevel0,
    kBlackLevel1};

// Registers of each head pair that may change only while the sensor is in standby
// (kStandby bit 0): a write that would change one while the sensor runs is refused.
inline constexpr std::array<uint16_t, 2> kImx990StandbyRegisters{kTriggerConfig, kTriggerEnable};
inline constexpr std::array<uint16_t, 5> kImx992StandbyRegisters{kHmax0, kHmax1, kSubsample,
                                                                 kReadoutMode, kTriggerConfig};
}  // namespace sensor

// ---- Identity EEPROM (I2C 0xA2, 16-bit byte addresses) ----
namespace srom {
inline constexpr size_t kSizeBytes = 0x2000;  // addresses wrap at 8 KiB
inline constexpr uint16_t kIdentityText = 0x1040;
inline constexpr size_t kIdentityTextMax = 31;
inline constexpr uint8_t kIdentityEnd = 0xFF;
inline constexpr uint16_t kSromId = 0x1080;
inline constexpr uint8_t kSromIdDefault = 0x01;
inline constexpr uint32_t kWriteCycleMs = 5;  // the EEPROM ignores its address meanwhile
}  // namespace srom

// ---- Information block (request 0xB0) ----
namespace info {
inline constexpr size_t kFirmwareVersionOffset = 24;  // 16-bit little-endian
inline constexpr size_t kGpio25FlagOffset = 52;
inline constexpr uint16_t kFirmwareDefault = 0x1101;
inline constexpr uint8_t kGpio25Default = 1;
}  // namespace info

// ---- Frame header (64 bytes before every frame on endpoint 0x81) ----
namespace header {
inline constexpr size_t kBytes = 64;
inline constexpr size_t kDataLengthOffset = 16;     // bytes of payload that follow
inline constexpr size_t kExposureLinesOffset = 28;  // exposure of the frame in lines
inline constexpr size_t kFrameCounterOffset = 32;   // frames produced since power-up
inline constexpr size_t kWidthOffset = 40;          // payload width in pixels
inline constexpr size_t kHeightOffset = 44;         // payload height in lines
}  // namespace header

// Link speed codes answered by the "get device speed" request.
inline constexpr uint32_t kSpeedHigh = 3;   // USB 2.0
inline constexpr uint32_t kSpeedSuper = 4;  // USB 3.0

// FPGA version of a healthy camera: newer than 0x110, neither fast read-out (bit 14) nor
// internal correction (bit 15).
inline constexpr uint16_t kFpgaVersionDefault = 0x0128;

// Sample scale of the sensor: 12 significant bits.
inline constexpr uint16_t kSampleMax = 4095;

// ---- Sensor heads ----
enum class SensorHead { Imx990, Imx991, Imx992, Imx993 };

// Power-up state and timing constants of one sensor head.
struct HeadProfile {
    SensorHead head;
    uint16_t sensorWidth;
    uint16_t sensorHeight;
    uint32_t vmaxDefault;     // frame length in lines at power-up
    uint16_t hmaxDefault;     // line length in sensor clocks at power-up
    uint32_t shsDefault;      // shutter start line at power-up
    uint16_t blackDefault;    // black level at power-up, 12-bit units
    double clockPeriodNs;     // one sensor clock (line period = HMAX clocks)
    uint8_t identification;   // register 0x0720 at power-up
    uint8_t identification2;  // register 0x0740 at power-up
    uint16_t offsetTDefault;  // FPGA read-out offsets of the full unmirrored window
    uint16_t offsetEDefault;
    // Sub-sampled read-out: true when the window registers count array pixels (the output
    // is half of them), false when they hold the output size.
    bool windowInArrayPixels;
    // Line length in sensor clocks that carries sensorWidth bytes to the FPGA; a line of HMAX
    // clocks carries HMAX / this x sensorWidth bytes, and the FPGA pads the rest of a wider
    // row with zeros. 0: the line always has room (the bit depth is the FPGA's alone).
    uint16_t hmaxPerSensorWidthBytes;
    std::span<const uint16_t> standbyRegisters;
    uint8_t triggerConfigDefault;  // register 0x0430 at power-up: free-running read-out
};

inline constexpr HeadProfile kImx990Profile{.head = SensorHead::Imx990,
                                            .sensorWidth = 1280,
                                            .sensorHeight = 1024,
                                            .vmaxDefault = 1078,
                                            .hmaxDefault = 972,
                                            .shsDefault = 14,
                                            .blackDefault = 60,
                                            .clockPeriodNs = 12961.774681455678 / 972.0,
                                            .identification = 0x5F,
                                            .identification2 = 0,
                                            .offsetTDefault = 25,
                                            .offsetEDefault = 8,
                                            .windowInArrayPixels = false,
                                            .hmaxPerSensorWidthBytes = 0,
                                            .standbyRegisters = sensor::kImx990StandbyRegisters,
                                            .triggerConfigDefault = 0x11};
inline constexpr HeadProfile kImx991Profile{.head = SensorHead::Imx991,
                                            .sensorWidth = 640,
                                            .sensorHeight = 512,
                                            .vmaxDefault = 561,
                                            .hmaxDefault = 972,
                                            .shsDefault = 22,
                                            .blackDefault = 60,
                                            .clockPeriodNs = 12961.774681455678 / 972.0,
                                            .identification = 0x5F,
                                            .identification2 = 0,
                                            .offsetTDefault = 25,
                                            .offsetEDefault = 8,
                                            .windowInArrayPixels = false,
                                            .hmaxPerSensorWidthBytes = 0,
                                            .standbyRegisters = sensor::kImx990StandbyRegisters,
                                            .triggerConfigDefault = 0x11};
inline constexpr HeadProfile kImx992Profile{.head = SensorHead::Imx992,
                                            .sensorWidth = 2560,
                                            .sensorHeight = 2048,
                                            .vmaxDefault = 2140,
                                            .hmaxDefault = 489,
                                            .shsDefault = 38,
                                            .blackDefault = 60,
                                            .clockPeriodNs = 355.7e6 / 54545.0 / 489.0,
                                            .identification = 0x5F,
                                            .identification2 = 0,
                                            .offsetTDefault = 33,
                                            .offsetEDefault = 112,
                                            .windowInArrayPixels = true,
                                            .hmaxPerSensorWidthBytes = 489,
                                            .standbyRegisters = sensor::kImx992StandbyRegisters,
                                            .triggerConfigDefault = 0x29};
inline constexpr HeadProfile kImx993Profile{.head = SensorHead::Imx993,
                                            .sensorWidth = 2048,
                                            .sensorHeight = 1536,
                                            .vmaxDefault = 1628,
                                            .hmaxDefault = 489,
                                            .shsDefault = 52,
                                            .blackDefault = 240,
                                            .clockPeriodNs = 355.7e6 / 54545.0 / 489.0,
                                            .identification = 0x5F,
                                            .identification2 = 0,
                                            .offsetTDefault = 25,
                                            .offsetEDefault = 112,
                                            .windowInArrayPixels = true,
                                            .hmaxPerSensorWidthBytes = 489,
                                            .standbyRegisters = sensor::kImx992StandbyRegisters,
                                            .triggerConfigDefault = 0x29};

// ---- Camera models (USB product ids) ----
struct ModelInfo {
    std::string_view name;  // as written in KORVIX_SIMULATE
    uint16_t productId;
    const HeadProfile *profile;
    bool cooled;
};

inline constexpr uint16_t kVendorId = 0x04B4;

inline constexpr std::array<ModelInfo, 8> kModels{{
    {"imx990", 0x3260, &kImx990Profile, false},
    {"imx990c", 0x3270, &kImx990Profile, true},
    {"imx991", 0x3280, &kImx991Profile, false},
    {"imx991c", 0x3290, &kImx991Profile, true},
    {"imx992", 0x3370, &kImx992Profile, false},
    {"imx992c", 0x3380, &kImx992Profile, true},
    {"imx993", 0x33C0, &kImx993Profile, false},
    {"imx993c", 0x33D0, &kImx993Profile, true},
}};

// The model of a name, or nullptr.
const ModelInfo *FindModel(std::string_view name);

}  // namespace korvix::sim
