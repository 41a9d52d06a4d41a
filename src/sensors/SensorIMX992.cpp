#include "sensors/SensorIMX992.h"

#include <algorithm>

#include "controller/ControllerBase.h"
#include "platform/Clock.h"
#include "sensors/RegisterWriteList.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {

const Imx992HeadTable kImx992Table = {
    .traits = {.firstModelCode = 129,
               .secondModelCode = 130,
               .pauseBeforeRawWrite = false,
               .verifyArbitratedWrites = false,
               .fpgaTemperatureVersion = 0x105,
               .peltierKeepsOtherBits = true,
               .internalCorrectionFromFpga = true},
    .sensorWidth = 2560,
    .sensorHeight = 2048,
    .initialHmax = 2592,
    .initialVmax = 2140,
    .expLinesMax = 0xFFFFD9,
    .expLinesDefault = 2102,
    .expTimeDefault = 137,
    .expSecMin = 0.00001304,
    .expSecDefault = 0.01370504,
    .blackMax = 0,
    .blackDefault = 0,
    .blackSup = 0,
    .auxSup = 0,
    .initialTriggerMode = 0,
    .fullFrameLines = 2140,
    .subsampledFrameLines = 1116,
    .maxWindowWidth = 2688,
    .maxWindowHeight = 2056,
    .triggerFrameLength = 0x082B,
    .exposureOffsetUs = 0.0,
    .identifiesAuxMode = false,
    .writesTriggerSettingInWindow = false,
    .gainModeRawAccess = false,
    .triggerSequence = TriggerSequence::kImx992,
};

const Imx992HeadTable kImx993Table = {
    .traits = {.firstModelCode = 131,
               .secondModelCode = 132,
               .pauseBeforeRawWrite = false,
               .verifyArbitratedWrites = false,
               .fpgaTemperatureVersion = 0x105,
               .peltierKeepsOtherBits = true,
               .internalCorrectionFromFpga = false},
    .sensorWidth = 2048,
    .sensorHeight = 1536,
    .initialHmax = 2080,
    .initialVmax = 1628,
    .expLinesMax = 0xFFFFCB,
    .expLinesDefault = 1576,
    .expTimeDefault = 102,
    .expSecMin = 0.000027842,
    .expSecDefault = 0.010290322,
    .blackMax = 4095,
    .blackDefault = 240,
    .blackSup = 1,
    .auxSup = 1,
    .initialTriggerMode = 15,
    .fullFrameLines = 1628,
    .subsampledFrameLines = 860,
    .maxWindowWidth = 2176,
    .maxWindowHeight = 1544,
    .triggerFrameLength = 0x0633,
    .exposureOffsetUs = 14.802,
    .identifiesAuxMode = true,
    .writesTriggerSettingInWindow = true,
    .gainModeRawAccess = true,
    .triggerSequence = TriggerSequence::kImx993,
};

namespace {

constexpr uint32_t kNarrowLineClocks = 489;  // 8-bit output and the sub-sampling modes
constexpr uint32_t kWideLineClocks = 978;    // 16-bit full-resolution output
constexpr uint32_t kStandbyPauseMs = 50;
constexpr uint32_t kPartialHeightExtraLines = 84;
constexpr uint8_t kWindowHighBitsMask = 0x1F;
constexpr uint8_t kReadoutNormal = 0x24;
constexpr uint8_t kReadoutBinned = 0xAC;
constexpr uint8_t kSubsamplingOn = 0x11;
constexpr int kFixedReadoutTop = 4;  // first line of the fixed-size readouts
// The trigger setting the IMX993 window code puts into 0x0430 bits 2..7 and 0x0431 bits
// 0..1.
constexpr uint32_t kWindowTriggerSetting = 10;
// Gain-mode register: bit 0 set selects mode 0.
constexpr unsigned kGainModeBit = 1;
// Auxiliary-mode identification bytes (0x0720, 0x0740).
constexpr int kAuxIdentityOn[2] = {0x50, 1};
constexpr int kAuxIdentityOff[2] = {0x5F, 0};

struct MirrorOffsetPair {
    uint8_t on;
    uint8_t off;
};
constexpr MirrorOffsetPair kWindowMirrorOffsets = {16, 112};
constexpr MirrorOffsetPair kFixedReadoutMirrorOffsets = {8, 52};

bool Multiple(int value, int of) {
    return value % of == 0;
}

}  // namespace

CSensorIMX992Family::CSensorIMX992Family(controller::CControllerBase *controller,
                                         uint8_t busAddress, const Imx992HeadTable &table)
    : CSensorBase(controller, busAddress, table.traits), table(table) {
    modelCode = table.traits.firstModelCode;
    triggerMode = table.initialTriggerMode;
    vmaxTarget = vmax = table.fullFrameLines;
    hmaxTarget = hmax = kNarrowLineClocks;
    SensorParams &p = params;
    p.sensorWidth = p.defaultWidth = p.width = table.sensorWidth;
    p.sensorHeight = p.defaultHeight = p.height = table.sensorHeight;
    p.heightVariable = 1;
    p.hmaxValue = table.initialHmax;
    p.vmaxValue = table.initialVmax;
    p.gainMax = 420;
    p.gainSup = 1;
    p.expLinesMin = 2;
    p.expLinesMax = table.expLinesMax;
    p.expLines = p.expLinesDefault = table.expLinesDefault;
    p.expTimeMin = 1;
    p.expTimeMax = 20000;
    p.expTime = p.expTimeDefault = table.expTimeDefault;
    p.expSecMin = table.expSecMin;
    p.expSecMax = 2.0;
    p.expSec = p.expSecDefault = table.expSecDefault;
    p.blackMax = table.blackMax;
    p.black = p.blackDefault = table.blackDefault;
    p.blackSup = table.blackSup;
    p.auxSup = table.auxSup;
    p.mirrorVSup = p.mirrorHSup = 1;
    p.pixelClock = 54545;
    p.orientation = 4;
    RememberWindowRequest(0, table.sensorWidth, 0, table.sensorHeight, 0);
}

int CSensorIMX992Family::InitSensor() {
    if (!controller) return 0;
    WriteRegisters({{reg::kPowerSetting, 0}});
    if (table.identifiesAuxMode) {
        SetBlackLevel(static_cast<unsigned>(params.blackDefault));
        IdentifyAuxMode();
    }
    SetGlobalGain(static_cast<unsigned>(params.gainDefault));
    SetExposureTimeEx(params.expSecDefault);
    SetMirrorH(params.mirrorHDefault);
    SetMirrorV(params.mirrorVDefault);
    SetCaptureWindow(params.defaultX, params.defaultWidth, params.defaultY, params.defaultHeight,
                     0);
    return 1;
}

// An unrecognised identification leaves auxMode as it was.
void CSensorIMX992Family::IdentifyAuxMode() {
    int identity[2] = {0, 0};
    if (!ReadRegisterArbitrated(reg::kAuxIdentity, &identity[0]) ||
        !ReadRegisterArbitrated(reg::kAuxIdentity2, &identity[1])) {
        return;
    }
    if (identity[0] == kAuxIdentityOn[0] && identity[1] == kAuxIdentityOn[1]) {
        params.auxMode = 1;
    } else if (identity[0] == kAuxIdentityOff[0] && identity[1] == kAuxIdentityOff[1]) {
        params.auxMode = 0;
    }
}

int CSensorIMX992Family::SetCaptureWindow(int x, int width, int y, int height, int mode) {
    if (!controller) return 0;
    switch (mode) {
        case 0:
            if (x < 0 || y < 0 || !Multiple(x, 8) || !Multiple(width, 8) || !Multiple(y, 4) ||
                !Multiple(height, 4) || width < 8 || width > table.maxWindowWidth || height < 4 ||
                height > table.maxWindowHeight) {
                return 0;
            }
            break;
        case 1:
            if (x > 0 || y > 0) return 0;
            break;
        case 17:
            if (x < 0 || y < 0 || !Multiple(x, 32) || !Multiple(y, 32) || !Multiple(width, 32) ||
                !Multiple(height, 32)) {
                return 0;
            }
            break;
        default:
            return 0;
    }
    if (int64_t{x} + width > params.sensorWidth || int64_t{y} + height > params.sensorHeight) {
        return 0;
    }

    int wx = x;
    int wy =
        (params.orientation == 3 || params.orientation == 4) ? params.sensorHeight - y - height : y;
    int wWidth = width;
    int wHeight = height;
    uint8_t windowMode = 0;
    uint8_t subsampling = 0;
    uint8_t readout = kReadoutNormal;
    uint8_t fpgaSubsampling = 0;
    if (mode == 0) {
        windowMode =
            (width != params.sensorWidth ? 1 : 0) | (height != params.sensorHeight ? 2 : 0);
        hmaxTarget = params.bitDepth == 8 ? kNarrowLineClocks : kWideLineClocks;
        vmaxTarget = height != params.sensorHeight
                         ? static_cast<uint32_t>(height) + kPartialHeightExtraLines
                         : table.fullFrameLines;
    } else {
        // The fixed-size readouts always read the whole array from line 4.
        wx = 0;
        wy = kFixedReadoutTop;
        wWidth = params.sensorWidth;
        wHeight = params.sensorHeight;
        hmaxTarget = kNarrowLineClocks;
        const bool subsampled = mode == 1;
        subsampling = subsampled ? kSubsamplingOn : 0;
        readout = subsampled ? kReadoutNormal : kReadoutBinned;
        vmaxTarget = subsampled ? table.subsampledFrameLines : table.fullFrameLines;
        fpgaSubsampling = subsampled ? 1 : 2;
    }

    // A new mode or bit depth is programmed with the sensor in standby.
    const bool reconfigure =
        mode != params.subsampleMode || (windowBitDepth && *windowBitDepth != params.bitDepth);
    windowBitDepth = params.bitDepth;
    if (reconfigure) {
        WriteRegisters({{reg::kStandby, 1, kStandbyPauseMs}, {reg::kStandby2, 1, kStandbyPauseMs}});
    }
    WriteRegisters({{reg::kSubsampling, subsampling},
                    {reg::kWindowMode, windowMode},
                    {reg::kReadoutMode, readout}});
    int triggerSetting = 0;
    if (table.writesTriggerSettingInWindow &&
        ReadRegisterArbitrated(reg::kTriggerSetting, &triggerSetting)) {
        WriteRegisters(
            {{reg::kTriggerSetting, static_cast<uint8_t>((triggerSetting & 0x03) |
                                                         ((kWindowTriggerSetting << 2) & 0xFC))},
             {reg::kTriggerSetting2, static_cast<uint8_t>((kWindowTriggerSetting >> 6) & 0x03)}});
    }
    if (reconfigure) {
        WriteRegisters({{reg::kStandby, 0, kStandbyPauseMs}, {reg::kStandby2, 0, kStandbyPauseMs}});
    }
    WriteFpgaVerified(fpga::kSubsampleMode, fpgaSubsampling);
    RegisterWriteList window;
    AddWindow(window, wx, wy, wWidth, wHeight, kWindowHighBitsMask);
    WriteRegisters(window);

    const int storedWidth = mode != 0 ? wWidth / 2 : wWidth;
    const int storedHeight = mode != 0 ? wHeight / 2 : wHeight;
    if (x != params.x || y != params.y || storedWidth != params.width ||
        storedHeight != params.height || mode != params.subsampleMode) {
        windowChanged = 1;
    }
    params.x = x;
    params.y = y;
    params.width = storedWidth;
    params.height = storedHeight;
    params.subsampleMode = mode;
    RememberWindowRequest(x, width, y, height, mode);
    WriteVmax(vmaxTarget);
    WriteHmax(hmaxTarget);
    return 1;
}

// A line-length change is made with the sensor in standby.
int CSensorIMX992Family::WriteHmax(uint32_t lineClocks) {
    const bool changes = lineClocks != hmax;
    if (changes) {
        WriteRegisters({{reg::kStandby, 1, kStandbyPauseMs}, {reg::kStandby2, 1, kStandbyPauseMs}});
    }
    const bool written = WriteRegisterArbitrated(reg::kHmaxLow, Byte(lineClocks, 0)) &&
                         WriteRegisterArbitrated(reg::kHmaxHigh, Byte(lineClocks, 1));
    if (changes) {
        WriteRegisters({{reg::kStandby, 0, kStandbyPauseMs}, {reg::kStandby2, 0, kStandbyPauseMs}});
    }
    if (!written) return 0;
    hmax = lineClocks;
    return 1;
}

int CSensorIMX992Family::WriteVmax(uint32_t frameLines) {
    const bool written = WriteRegisterArbitrated(reg::kVmax0, Byte(frameLines, 0)) &&
                         WriteRegisterArbitrated(reg::kVmax1, Byte(frameLines, 1)) &&
                         WriteRegisterArbitrated(reg::kVmax2, Byte(frameLines, 2));
    if (!written) return 0;
    vmax = frameLines;
    return 1;
}

// The window is re-applied as it was asked for, with the line length of the new depth.
int CSensorIMX992Family::SetBitDepth(int wide) {
    if (!controller) return 0;
    hmaxTarget = wide ? kWideLineClocks : kNarrowLineClocks;
    WriteHmax(hmaxTarget);
    params.bitDepth = wide ? 16 : 8;
    params.expSecMin = 2.0 * LinePeriodUs() / 1000000.0;
    const WindowRequest w = lastWindowRequest;
    SetCaptureWindow(w.x, w.width, w.y, w.height, w.mode);
    return 1;
}

int CSensorIMX992Family::SetGlobalGain(unsigned gain) {
    if (!controller) return 0;
    const unsigned g = std::min(gain, static_cast<unsigned>(params.gainMax));
    if (!WriteRegisterArbitrated(reg::kGainLow, g & 0xFF) ||
        !WriteRegisterArbitrated(reg::kGainHigh, (g >> 8) & 1)) {
        return 0;
    }
    params.gain = static_cast<int>(g);
    return 1;
}

int CSensorIMX992Family::SetBlackLevel(unsigned level) {
    if (!controller || !params.blackSup) return 0;
    const auto b = std::clamp<int64_t>(level, params.blackMin, params.blackMax);
    if (!WriteRegisterArbitrated(reg::kBlackLevelLow, b & 0xFF) ||
        !WriteRegisterArbitrated(reg::kBlackLevelHigh, (b >> 8) & 0x0F)) {
        return 0;
    }
    params.black = static_cast<int>(b);
    return 1;
}

int CSensorIMX992Family::SetMirrorH(int on) {
    const int horizontal = on ? 1 : 0;
    if (!WriteMirrorRegister(horizontal, params.mirrorV)) return 0;
    params.mirrorH = horizontal;
    uint8_t start = 0;
    if (params.subsampleMode == 0) {
        start = horizontal ? kWindowMirrorOffsets.on : kWindowMirrorOffsets.off;
    } else if (params.subsampleMode == 1 || params.subsampleMode == 17) {
        start = horizontal ? kFixedReadoutMirrorOffsets.on : kFixedReadoutMirrorOffsets.off;
    }
    controller->WriteFpgaRegister(fpga::kStartOffsetLow, start);
    controller->WriteFpgaRegister(fpga::kStartOffsetHigh, 0);
    return 1;
}

int CSensorIMX992Family::GetGainMode() {
    int value = 0;
    if (!ReadGainModeRegister(&value)) return -1;
    return (value & kGainModeBit) ? 0 : 1;
}

// Only modes 0 and 1 exist; anything else is refused without touching the register.
int CSensorIMX992Family::SetGainMode(int mode) {
    if (mode != 0 && mode != 1) return 0;
    int value = 0;
    if (!ReadGainModeRegister(&value)) return 0;
    const unsigned updated = mode == 0 ? (static_cast<unsigned>(value) | kGainModeBit)
                                       : (static_cast<unsigned>(value) & ~kGainModeBit);
    return WriteGainModeRegister(updated);
}

int CSensorIMX992Family::ReadGainModeRegister(int *value) {
    return table.gainModeRawAccess ? ReadRegister(reg::kGainMode, value)
                                   : ReadRegisterArbitrated(reg::kGainMode, value);
}

int CSensorIMX992Family::WriteGainModeRegister(unsigned value) {
    return table.gainModeRawAccess ? WriteRegister(reg::kGainMode, value)
                                   : WriteRegisterArbitrated(reg::kGainMode, value);
}

}  // namespace korvix::sensors
