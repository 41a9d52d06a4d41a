// Trigger mode of the IMX990/991 heads: the sensor's trigger registers and the FPGA's
// trigger logic.
#include "controller/ControllerBase.h"
#include "platform/Clock.h"
#include "sensors/RegisterWriteList.h"
#include "sensors/SensorIMX990.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {

namespace {

constexpr uint32_t kTriggerStepPauseMs = 100;
constexpr uint32_t kRestartSettleExtraMs = 10;
constexpr uint16_t kTriggerLineTiming = 707;
constexpr uint32_t kTriggerFrameExtraLines = 9;
constexpr uint8_t kTriggerSettingExternal = 0x13;
constexpr uint8_t kTriggerSettingFreeRunning = 0x11;
constexpr uint8_t kEdgeValueCleared = 0;  // also the value for triggerEdge 0
constexpr uint8_t kEdgeValueEdge1 = 4;
constexpr uint8_t kTriggerExposureRegs[3] = {fpga::kTriggerExposure0, fpga::kTriggerExposure1,
                                             fpga::kTriggerExposure2};
constexpr uint8_t kTriggerFrameRegs[3] = {fpga::kTriggerFrameLength0, fpga::kTriggerFrameLength1,
                                          fpga::kTriggerFrameLength2};

}  // namespace

int CSensorIMX990Family::SetTriggerMode(int mode) {
    if (!controller) return 0;
    if (AlreadyFreeRunning(mode)) return 1;
    restartPending = 1;
    if (mode == 1) {
        EnterTriggerMode();
    } else {
        EnterFreeRunning();
    }
    triggerMode = mode;
    return 1;
}

void CSensorIMX990Family::EnterTriggerMode() {
    ProgramTriggerRegisters();
    WriteRegisters({{reg::kStandby, 1, kTriggerStepPauseMs},
                    {reg::kTriggerSetting, kTriggerSettingExternal, kTriggerStepPauseMs},
                    {reg::kTriggerEnable, 1, kTriggerStepPauseMs},
                    {reg::kStandby, 0}});
    if (IsOldFpga()) return;
    PrepareTrigger();
    const bool edge1 = table.triggerEdgeSelectable && triggerEdge;
    controller->WriteFpgaRegister(fpga::kTriggerEdge, edge1 ? kEdgeValueEdge1 : kEdgeValueCleared);
    PulseRestart();
    platform::SleepMs(static_cast<uint32_t>(frameTimeMs) + kRestartSettleExtraMs);
}

void CSensorIMX990Family::EnterFreeRunning() {
    WriteFpgaVerifiedAs(fpga::kTriggerMode, fpga::kTriggerModeFreeRunning,
                        table.guardedTriggerRegisters);
    if (!IsOldFpga()) controller->WriteFpgaRegister(fpga::kTriggerEdge, kEdgeValueCleared);
    WriteRegisters({{reg::kStandby, 1, kTriggerStepPauseMs},
                    {reg::kTriggerSetting, kTriggerSettingFreeRunning, kTriggerStepPauseMs},
                    {reg::kTriggerEnable, 0, kTriggerStepPauseMs},
                    {reg::kStandby, 0}});
    if (!table.restartOnFreeRunning) return;
    PrepareTrigger();
    PulseRestart();
    platform::SleepMs(static_cast<uint32_t>(frameTimeMs) + kRestartSettleExtraMs);
}

// The trigger logic is stopped (mode register 0) while its exposure, line timing and frame
// length change, then armed again. On heads with guarded trigger registers the mode
// register is left alone while triggering, unless the FPGA reports the plain status with
// the normal readout.
void CSensorIMX990Family::ProgramTriggerRegisters() {
    const bool guarded = table.guardedTriggerRegisters;
    const bool writeMode =
        !guarded || triggerMode == 0 || (!(FpgaStatusCached() & 1) && !IsFastReadout());
    if (writeMode) WriteFpgaVerifiedAs(fpga::kTriggerMode, fpga::kTriggerModeFreeRunning, guarded);
    WriteFpgaVerified24(kTriggerExposureRegs, static_cast<uint32_t>(params.expLines), guarded);
    WriteFpgaVerifiedAs(fpga::kTriggerLineTimingLow, Byte(kTriggerLineTiming, 0), guarded);
    WriteFpgaVerifiedAs(fpga::kTriggerLineTimingHigh, Byte(kTriggerLineTiming, 1), guarded);
    const uint32_t frameLines = static_cast<uint32_t>(params.expLines) +
                                static_cast<uint32_t>(params.height) + kTriggerFrameExtraLines;
    WriteFpgaVerified24(kTriggerFrameRegs, frameLines, guarded);
    if (writeMode) WriteFpgaVerifiedAs(fpga::kTriggerMode, fpga::kTriggerModeExternal, guarded);
}

int CSensorIMX990Family::SetTriggerEdge(int edge) {
    triggerEdge = edge ? 1 : 0;
    return 1;
}

int CSensorIMX990Family::HasTriggerEdge() {
    return (controller && GetFpgaVersion() >= 5) ? 1 : 0;
}

}  // namespace korvix::sensors
