#include "sensors/SensorIMX990.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "controller/ControllerBase.h"
#include "platform/Clock.h"
#include "sensors/RegisterWriteList.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {

const Imx990HeadTable kImx990Table = {
    .traits = {.firstModelCode = 109,
               .secondModelCode = 110,
               .pauseBeforeRawWrite = true,
               .verifyArbitratedWrites = true,
               .fpgaTemperatureVersion = 0x8024,
               .peltierKeepsOtherBits = false,
               .internalCorrectionFromFpga = true},
    .sensorWidth = 1280,
    .sensorHeight = 1024,
    .initialHmax = 1376,
    .initialVmax = 1048,
    .expLinesDefault = 1064,
    .expTimeDefault = 138,
    .expSecDefault = 0.0138,
    .fullFrameLines = 1068,
    .subsampledFrameLines = 552,
    .fullHeightLinePeriodNs = 12959.94133284444,
    .twelveBitShutter = false,
    .reapplyExposureAfterBitDepth = true,
    .triggerEdgeSelectable = true,
    .restartOnFreeRunning = true,
    .guardedTriggerRegisters = false,
    .offsets = {52, 4, 104, 8},
    .fastReadoutOffsets = {52, 4, 104, 8},
};

const Imx990HeadTable kImx991Table = {
    .traits = {.firstModelCode = 111,
               .secondModelCode = 112,
               .pauseBeforeRawWrite = true,
               .verifyArbitratedWrites = false,
               .fpgaTemperatureVersion = 0x8024,
               .peltierKeepsOtherBits = false,
               .internalCorrectionFromFpga = true},
    .sensorWidth = 640,
    .sensorHeight = 512,
    .initialHmax = 736,
    .initialVmax = 536,
    .expLinesDefault = 539,
    .expTimeDefault = 70,
    .expSecDefault = 0.007,
    .fullFrameLines = 556,
    .subsampledFrameLines = 296,
    .fullHeightLinePeriodNs = 0.0,
    .twelveBitShutter = true,
    .reapplyExposureAfterBitDepth = false,
    .triggerEdgeSelectable = false,
    .restartOnFreeRunning = false,
    .guardedTriggerRegisters = true,
    .offsets = {52, 4, 104, 8},
    .fastReadoutOffsets = {48, 0, 100, 4},
};

namespace {

constexpr int kFastLineClocks = 516;
constexpr int kNormalLineClocks = 972;
constexpr double kFastLinePeriodNs = 6880.557337977816;
constexpr double kNormalLinePeriodNs = 12961.774681455678;
constexpr double kExposureOverheadNs = 7372.0;
constexpr double kFrameMsPerLine = 0.012961774681455677;
// Frame lines are scaled from the sensor's nominal line time to the one it runs at.
constexpr double kVmaxLineTime = 0.0000130925;
constexpr double kVmaxNominalLineTime = 0.0000129599;
constexpr int kPartialHeightExtraLines = 36;
constexpr int kPartialHeightTopShift = 4;
constexpr uint8_t kWindowHighBitsMask = 0x07;
constexpr uint32_t kMinShutterLines = 15;  // frame lines beyond the exposure
constexpr uint32_t kMaxFrameLines = 0xFFFFFF;
constexpr double kFastExpSecMin = 0.000014252;
constexpr double kNormalExpSecMin = 0.000020333;
constexpr uint8_t kFastBlackLevel = 15;
constexpr uint8_t kNormalBlackLevel = 60;

int RoundUpTo8(int value) {
    return (value + 7) & ~7;
}

}  // namespace

CSensorIMX990Family::CSensorIMX990Family(controller::CControllerBase *controller,
                                         uint8_t busAddress, const Imx990HeadTable &table)
    : CSensorBase(controller, busAddress, table.traits), table(table) {
    modelCode = table.traits.firstModelCode;
    SensorParams &p = params;
    p.sensorWidth = p.defaultWidth = p.width = table.sensorWidth;
    p.sensorHeight = p.defaultHeight = p.height = table.sensorHeight;
    p.heightVariable = 1;
    p.hmaxValue = table.initialHmax;
    p.vmaxValue = table.initialVmax;
    p.reserved16 = 1;
    p.gainMax = 420;
    p.gainSup = 1;
    p.expLinesMin = 15;
    p.expLinesMax = 0xFFFFFE;
    p.expLines = p.expLinesDefault = table.expLinesDefault;
    p.expLinesSup = 1;
    p.expTimeMin = 1;
    p.expTimeMax = 20000;
    p.expTime = p.expTimeDefault = table.expTimeDefault;
    p.expSecMin = kNormalExpSecMin;
    p.expSecMax = 2.0;
    p.expSec = p.expSecDefault = table.expSecDefault;
    p.expSecSup = 1;
    p.mirrorVSup = p.mirrorHSup = 1;
    p.bitDepth = 8;
    p.pixelClock = 54545;
    p.orientation = 4;
    RememberWindowRequest(0, table.sensorWidth, 0, table.sensorHeight, 0);
}

int CSensorIMX990Family::InitSensor() {
    if (!controller) return 0;
    const bool fast = IsFastReadout();
    WriteRegisters({{reg::kPowerSetting, 0},
                    {reg::kBlackLevelLow, fast ? kFastBlackLevel : kNormalBlackLevel},
                    {reg::kBlackLevelHigh, 0}});
    SetGlobalGain(params.gainDefault);
    SetMirrorH(params.mirrorHDefault);
    SetMirrorV(params.mirrorVDefault);
    SetCaptureWindow(params.defaultX, params.defaultWidth, params.defaultY, params.defaultHeight,
                     0);
    SetExposureLines(params.expLinesDefault);
    params.expSecMin = fast ? kFastExpSecMin : kNormalExpSecMin;
    return 1;
}

// Sub-sampling mode 1 reads every second pixel and line, so the request is halved before
// it is aligned and checked; any mode other than 0 and 1 reads a full-height window.
int CSensorIMX990Family::SetCaptureWindow(int x, int width, int y, int height, int mode) {
    if (!controller) return 0;
    if (x < 0 || y < 0 || x > params.sensorWidth || y > params.sensorHeight) return 0;
    const bool partialHeight = mode == 0 && height != params.defaultHeight;
    int divisor = 1;
    uint8_t subsampling = 0;
    uint8_t windowMode = 0;
    int frameLines = table.fullFrameLines;
    if (partialHeight) {
        windowMode = 2;
        frameLines = height + kPartialHeightExtraLines;
    } else if (mode == 1) {
        divisor = 2;
        subsampling = 0x11;
        frameLines = table.subsampledFrameLines;
    }
    const int wx = RoundUpTo8(x);
    int wy = RoundUpTo8(y);
    const int wWidth = (width / divisor) & ~3;
    const int wHeight = (height / divisor) & ~7;
    if (wWidth <= 0 || wHeight <= 0) return 0;
    if (int64_t{wx} + wWidth > params.sensorWidth || int64_t{wy} + wHeight > params.sensorHeight) {
        return 0;
    }
    if (params.orientation == 3 || params.orientation == 4) {
        wy = params.sensorHeight - wHeight - wy;
    }
    if (partialHeight) wy += kPartialHeightTopShift;
    const auto vmaxLines = static_cast<uint32_t>(frameLines * kVmaxLineTime / kVmaxNominalLineTime);
    const uint32_t lineClocks = IsFastReadout() ? kFastLineClocks : kNormalLineClocks;

    WriteRegisters({{reg::kSubsampling, subsampling}, {reg::kWindowMode, windowMode}});
    RegisterWriteList window;
    AddWindow(window, wx, wy, wWidth, wHeight, kWindowHighBitsMask);
    WriteRegisters(window);
    WriteRegisters({{reg::kVmax0, Byte(vmaxLines, 0)},
                    {reg::kVmax1, Byte(vmaxLines, 1)},
                    {reg::kHmaxLow, Byte(lineClocks, 0)},
                    {reg::kHmaxHigh, Byte(lineClocks, 1)}});

    params.hmaxValue = static_cast<int>(lineClocks);
    params.vmaxValue = static_cast<int>(vmaxLines);
    if (wx != params.x || wy != params.y || wWidth != params.width || wHeight != params.height ||
        mode != params.subsampleMode) {
        windowChanged = 1;
    }
    params.x = wx;
    params.y = wy;
    params.width = wWidth;
    params.height = wHeight;
    params.subsampleMode = mode;
    RememberWindowRequest(x, width, y, height, mode);
    return 1;
}

// Exposure is VMAX - SHS lines. An exposure that does not fit the window's frame
// stretches the frame to exposure + 15 lines with the shortest shutter start.
int CSensorIMX990Family::SetExposureLines(unsigned lines) {
    if (!controller) return 0;
    if (lines > kMaxFrameLines - kMinShutterLines) return 0;  // the frame would not fit
    const auto windowLines = static_cast<uint32_t>(params.vmaxValue);
    RegisterWriteList writes;
    uint32_t frameLines = windowLines;
    if (int64_t{lines} > int64_t{windowLines} - kMinShutterLines) {
        frameLines = lines + kMinShutterLines;
        AddStretchedFrameLength(writes, frameLines, windowLines);
        AddShutterStart(writes, kMinShutterLines);
    } else {
        AddFrameLength(writes, windowLines);
        AddShutterStart(writes, windowLines - lines, table.twelveBitShutter);
    }
    int written = 0;
    {
        [[maybe_unused]] platform::TimerResolutionScope timerResolution;
        written = WriteRegistersPaced(writes.data(), writes.size(), ExposureWriteDelayMs());
    }
    if (written) params.expLines = static_cast<int>(lines);
    if (triggerMode == 1) ProgramTriggerRegisters();
    frameTimeMs = static_cast<int>(frameLines * kFrameMsPerLine);
    return written;
}

int CSensorIMX990Family::SetExposureTime(unsigned tenthsMs) {
    if (!controller) return 0;
    const auto t = std::clamp<int64_t>(tenthsMs, params.expTimeMin, params.expTimeMax);
    if (!SetExposureLines(NanosecondsToLines(static_cast<double>(t) * 100000.0))) return 0;
    params.expTime = static_cast<int>(t);
    params.expSec = static_cast<double>(t) / 10000.0;
    return 1;
}

int CSensorIMX990Family::SetExposureTimeEx(double seconds) {
    if (!controller || std::isnan(seconds)) return 0;
    const double s = std::clamp(seconds, params.expSecMin, params.expSecMax);
    const auto ns = static_cast<uint64_t>(s * 1e9);
    if (!SetExposureLines(NanosecondsToLines(static_cast<double>(ns)))) return 0;
    params.expSec = s;
    params.expTime = static_cast<int>(s * 10000.0);
    return 1;
}

double CSensorIMX990Family::LinePeriodNs() {
    if (IsFastReadout()) return kFastLinePeriodNs;
    if (table.fullHeightLinePeriodNs > 0 && params.height == params.defaultHeight) {
        return table.fullHeightLinePeriodNs;
    }
    return kNormalLinePeriodNs;
}

unsigned CSensorIMX990Family::NanosecondsToLines(double ns) {
    const double lines = std::trunc((ns - kExposureOverheadNs) / LinePeriodNs());
    return lines >= 1.0 ? static_cast<unsigned>(lines) : 1u;
}

int CSensorIMX990Family::SetGlobalGain(unsigned gain) {
    if (!controller) return 0;
    const unsigned g = std::min(gain, static_cast<unsigned>(params.gainMax));
    if (!WriteRegisterArbitrated(reg::kGainLow, g & 0xFF)) return 0;
    WriteRegisterArbitrated(reg::kGainHigh, (g >> 8) & 1);
    params.gain = static_cast<int>(g);
    return 1;
}

int CSensorIMX990Family::SetMirrorH(int on) {
    const int horizontal = on ? 1 : 0;
    if (!WriteMirrorRegister(horizontal, params.mirrorV)) return 0;
    params.mirrorH = horizontal;
    const MirrorStartOffsets &offsets = IsFastReadout() ? table.fastReadoutOffsets : table.offsets;
    uint16_t start = 0;
    if (params.subsampleMode == 1) {
        start = horizontal ? offsets.subsampledOn : offsets.subsampledOff;
    } else {
        start = horizontal ? offsets.windowOn : offsets.windowOff;
    }
    controller->WriteFpgaRegister(fpga::kStartOffsetLow, Byte(start, 0));
    controller->WriteFpgaRegister(fpga::kStartOffsetHigh, Byte(start, 1));
    return 1;
}

// The stored window is the one the sensor reads (halved in mode 1, counted from the other
// end of the array); re-applying uses the window as it was asked for instead, so a
// bit-depth change leaves the window where it was.
int CSensorIMX990Family::SetBitDepth(int wide) {
    if (!controller) return 0;
    params.bitDepth = wide ? 16 : 8;
    const WindowRequest w = lastWindowRequest;
    SetCaptureWindow(w.x, w.width, w.y, w.height, w.mode);
    if (table.reapplyExposureAfterBitDepth)
        SetExposureLines(static_cast<unsigned>(params.expLines));
    return 1;
}

int CSensorIMX990Family::CanOutput16Bit() {
    return IsFastReadout() ? 0 : 1;
}

int CSensorIMX990Family::HasFpgaControlBit() {
    if (!controller || HasInternalCorrection()) return 0;
    if (FpgaStatusCached() & 1) return 0;
    return (GetFpgaVersion() & 0xFFF) >= 0x126 ? 1 : 0;
}

int CSensorIMX990Family::SetFpgaControlBit() {
    if (!HasFpgaControlBit()) return 0;
    uint8_t control = 0;
    if (!controller->ReadFpgaRegister(fpga::kControl, &control)) return 0;
    return controller->WriteFpgaRegister(fpga::kControl, control | 1) ? 1 : 0;
}

}  // namespace korvix::sensors
