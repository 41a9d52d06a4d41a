// Exposure and trigger mode of the IMX992/993 heads: frame length and shutter start in
// lines, and the FPGA's trigger logic.
#include <algorithm>
#include <cmath>

#include "controller/ControllerBase.h"
#include "platform/Clock.h"
#include "sensors/RegisterWriteList.h"
#include "sensors/SensorIMX992.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {

namespace {

constexpr uint32_t kNarrowLineClocks = 489;
// Line period in microseconds: hmax / 489 x 355.7 x 1000 / pixel clock.
constexpr double kLinePeriodScale = 355.7 * 1000.0;
// Frame lines beyond the exposure; exposure and frame length are kept even.
constexpr uint32_t kShutterMargin = 52;
// The longest exposure whose even-aligned frame length still fits 24 bits.
constexpr uint32_t kMaxFittingExposure = 0xFFFFFF - (kShutterMargin + 1);
constexpr uint16_t kWideTriggerLineTiming = 712;  // 16-bit output
constexpr uint16_t kNarrowTriggerLineTiming = 356;
constexpr uint32_t kTriggerPauseMs = 100;
constexpr uint32_t kFreeRunPauseMs = 50;
constexpr uint8_t kTriggerSettingExternal = 0x2B;
constexpr uint8_t kTriggerSettingFreeRunning = 0x29;
// Register 0x59 sequence that arms the IMX992 trigger logic.
constexpr uint8_t kSequenceArm = 4;
constexpr uint8_t kSequenceStrobe = 0x84;
constexpr uint32_t kSequencePauseMs = 1;
constexpr uint8_t kTriggerExposureRegs[3] = {fpga::kTriggerExposure0, fpga::kTriggerExposure1,
                                             fpga::kTriggerExposure2};
constexpr uint8_t kTriggerFrameRegs[3] = {fpga::kTriggerFrameLength0, fpga::kTriggerFrameLength1,
                                          fpga::kTriggerFrameLength2};

uint32_t EvenDown(uint32_t value) {
    return value & ~1u;
}

}  // namespace

double CSensorIMX992Family::LinePeriodUs() const {
    if (params.pixelClock == 0) return 0.0;
    return static_cast<double>(hmax) / kNarrowLineClocks * kLinePeriodScale / params.pixelClock;
}

unsigned CSensorIMX992Family::MicrosecondsToLines(double us) const {
    const double lines = std::trunc((us - table.exposureOffsetUs) / LinePeriodUs());
    return lines >= 1.0 ? static_cast<unsigned>(lines) : 1u;
}

// Exposure E = frame length N - shutter start S, both even. An exposure longer than the
// window's frame allows stretches the frame to the exposure plus the shutter margin.
int CSensorIMX992Family::SetExposureLines(unsigned lines) {
    if (!controller) return 0;
    const uint32_t highest =
        std::min(static_cast<uint32_t>(params.expLinesMax), kMaxFittingExposure);
    const uint32_t requested = std::clamp(lines, static_cast<unsigned>(params.expLinesMin),
                                          static_cast<unsigned>(highest));
    const uint32_t windowLines = vmaxTarget;
    RegisterWriteList frame;
    RegisterWriteList shutter;
    uint32_t frameLines = 0;
    uint32_t exposure = 0;
    if (int64_t{requested} > int64_t{windowLines} - kShutterMargin) {
        frameLines = EvenDown(requested + kShutterMargin + 1);
        exposure = frameLines - kShutterMargin;
        AddStretchedFrameLength(frame, frameLines, vmax);
        AddShutterStart(shutter, kShutterMargin);
    } else {
        frameLines = EvenDown(windowLines + 1);
        const uint32_t shutterStart = EvenDown(frameLines - requested + 1);
        exposure = frameLines - shutterStart;
        AddFrameLength(frame, frameLines);
        AddShutterStart(shutter, shutterStart);
    }
    int written = 0;
    {
        [[maybe_unused]] platform::TimerResolutionScope timerResolution;
        const unsigned delayMs = ExposureWriteDelayMs();
        written = WriteRegistersPaced(frame.data(), frame.size(), delayMs);
        if (written) vmax = frameLines;
        written = written && WriteRegistersPaced(shutter.data(), shutter.size(), delayMs);
    }
    if (written) params.expLines = static_cast<int>(exposure);
    ProgramTriggerTiming();
    frameTimeMs = static_cast<int>(LinePeriodUs() * frameLines / 1000.0);
    return written;
}

int CSensorIMX992Family::SetExposureTime(unsigned tenthsMs) {
    if (!controller || LinePeriodUs() <= 0.0) return 0;
    const auto t = std::clamp<int64_t>(tenthsMs, params.expTimeMin, params.expTimeMax);
    if (!SetExposureLines(MicrosecondsToLines(static_cast<double>(t) * 100.0))) return 0;
    params.expTime = static_cast<int>(t);
    params.expSec = static_cast<double>(t) / 10000.0;
    return 1;
}

int CSensorIMX992Family::SetExposureTimeEx(double seconds) {
    if (!controller || std::isnan(seconds) || LinePeriodUs() <= 0.0) return 0;
    const double s = std::clamp(seconds, params.expSecMin, params.expSecMax);
    const auto us = static_cast<uint64_t>(s * 1000000.0);
    if (!SetExposureLines(MicrosecondsToLines(static_cast<double>(us)))) return 0;
    params.expSec = s;
    params.expTime = static_cast<int>(s * 10000.0);
    return 1;
}

void CSensorIMX992Family::ProgramTriggerTiming() {
    WriteFpgaVerified24(kTriggerExposureRegs, static_cast<uint32_t>(params.expLines));
    const uint16_t lineTiming =
        params.bitDepth == 16 ? kWideTriggerLineTiming : kNarrowTriggerLineTiming;
    WriteFpgaVerified(fpga::kTriggerLineTimingLow, Byte(lineTiming, 0));
    WriteFpgaVerified(fpga::kTriggerLineTimingHigh, Byte(lineTiming, 1));
    WriteFpgaVerified24(kTriggerFrameRegs, table.triggerFrameLength);
}

int CSensorIMX992Family::SetTriggerMode(int mode) {
    if (!controller) return 0;
    if (AlreadyFreeRunning(mode)) return 1;
    const bool changed = mode != triggerMode;
    restartPending = 1;
    if (mode == 1) {
        EnterTriggerMode(changed);
    } else {
        EnterFreeRunning(changed);
    }
    triggerMode = mode;
    return 1;
}

void CSensorIMX992Family::EnterTriggerMode(bool changed) {
    WriteFpgaVerified(fpga::kTriggerMode, fpga::kTriggerModeFreeRunning);
    ProgramTriggerTiming();
    WriteFpgaVerified(fpga::kTriggerMode, fpga::kTriggerModeExternal);
    if (changed) {
        WriteRegisters({{reg::kStandby, 1, kTriggerPauseMs}, {reg::kStandby2, 0, kTriggerPauseMs}});
    }
    WriteRegisters({{reg::kTriggerSetting, kTriggerSettingExternal, kTriggerPauseMs},
                    {reg::kTriggerArm, 1, kTriggerPauseMs},
                    {reg::kTriggerEnable, 1, kTriggerPauseMs}});
    if (changed) WriteRegisters({{reg::kStandby, 0}});
    if (table.triggerSequence != TriggerSequence::kImx992) return;

    // The trigger logic is armed while the shortest exposure is programmed, then the
    // exposure is restored and the frame restarted.
    const auto exposure = static_cast<unsigned>(params.expLines);
    SetExposureLines(static_cast<unsigned>(params.expLinesMin));
    for (uint8_t value : {kSequenceArm, kSequenceStrobe, kSequenceArm}) {
        controller->WriteFpgaRegister(fpga::kTriggerEdge, value);
        platform::SleepMs(kSequencePauseMs);
    }
    WriteFpgaVerified(fpga::kTriggerEdge, 0);
    SetExposureLines(exposure);
    PulseRestart();
    platform::SleepMs(static_cast<uint32_t>(frameTimeMs));
}

void CSensorIMX992Family::EnterFreeRunning(bool changed) {
    const bool imx992 = table.triggerSequence == TriggerSequence::kImx992;
    WriteFpgaVerified(fpga::kTriggerMode, fpga::kTriggerModeFreeRunning);
    if (imx992) WriteFpgaVerified(fpga::kTriggerEdge, 0);
    if (changed) {
        WriteRegisters({{reg::kStandby, 1, kFreeRunPauseMs},
                        {reg::kStandby2, static_cast<uint8_t>(imx992 ? 1 : 0),
                         imx992 ? 10u : kFreeRunPauseMs}});
    }
    WriteRegisters({{reg::kTriggerSetting, kTriggerSettingFreeRunning, kFreeRunPauseMs}});
    if (imx992) {
        if (changed) {
            WriteRegisters(
                {{reg::kStandby, 0, kFreeRunPauseMs}, {reg::kStandby2, 0, kFreeRunPauseMs}});
        }
        WriteRegisters({{reg::kTriggerEnable, 0, kFreeRunPauseMs}});
    } else {
        WriteRegisters({{reg::kTriggerEnable, 0, kFreeRunPauseMs}});
        if (changed) WriteRegisters({{reg::kStandby, 0, kFreeRunPauseMs}});
    }
}

}  // namespace korvix::sensors
