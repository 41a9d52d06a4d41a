#include "sensors/SensorBase.h"

#include <algorithm>
#include <cstring>

#include "controller/ControllerBase.h"
#include "platform/Clock.h"
#include "sensors/RegisterWriteList.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {

CSensorBase::CSensorBase(controller::CControllerBase *controller, uint8_t busAddress,
                         const SensorHeadTraits &traits)
    : controller(controller), busAddress(busAddress), traits(traits) {}

CSensorBase::~CSensorBase() = default;

int CSensorBase::SetModelCode(int code) {
    if (code != traits.firstModelCode && code != traits.secondModelCode) return 0;
    modelCode = code;
    params.orientation = code == traits.firstModelCode ? 4 : 1;
    return 1;
}

int CSensorBase::GetCaptureWindow(int *x, int *width, int *y, int *height, int *mode) {
    if (!x || !width || !y || !height || !mode) return 0;
    *x = params.x;
    *width = params.width;
    *y = params.y;
    *height = params.height;
    *mode = params.subsampleMode;
    return 1;
}

int CSensorBase::GetTriggerMode(int *mode) {
    return CopyField(mode, triggerMode);
}

int CSensorBase::SetMirrorV(int on) {
    const int vertical = on ? 1 : 0;
    if (!WriteMirrorRegister(params.mirrorH, vertical)) return 0;
    params.mirrorV = vertical;
    return 1;
}

int CSensorBase::CopyParams(SensorParams *out) {
    if (!out) return 0;
    std::memcpy(out, &params, sizeof(SensorParams));
    return 1;
}

int CSensorBase::HasInternalCorrection() {
    if (!traits.internalCorrectionFromFpga) return 0;
    return (GetFpgaVersion() & 0x8000) ? 1 : 0;
}

int CSensorBase::GetPeltier() {
    if (!HasPeltier() || !controller) return 0;
    uint8_t value = 0;
    if (!controller->ReadFpgaRegister(fpga::kPeltier, &value)) return 0;
    return (value & 1) ? 1 : 0;
}

int CSensorBase::SetPeltier(int on) {
    if (!HasPeltier() || !controller) return 0;
    uint8_t value = 0;
    if (traits.peltierKeepsOtherBits && !controller->ReadFpgaRegister(fpga::kPeltier, &value)) {
        return 0;
    }
    value = on > 0 ? (value | 1) : (value & ~1);
    return controller->WriteFpgaRegister(fpga::kPeltier, value) ? 1 : 0;
}

int CSensorBase::GetExposureTimeEx(double *v) {
    if (!v) return 0;
    *v = params.expSec;
    return params.expSecSup;
}

int CSensorBase::CopyField(int *out, int value) {
    if (!out) return 0;
    *out = value;
    return 1;
}

int CSensorBase::CopySupported(int *out, int value, int supported) {
    if (!out) return 0;
    *out = value;
    return supported;
}

double CSensorBase::CopyExSec(double *out, double value) const {
    if (!out) return 0.0;
    *out = value;
    return params.expSecSup ? 1.0 : 0.0;
}

void CSensorBase::WriteRegisters(std::initializer_list<RegisterWrite> writes) {
    for (const RegisterWrite &write : writes) {
        WriteRegisterArbitrated(write.address, write.value);
        if (write.pauseMs) platform::SleepMs(write.pauseMs);
    }
}

void CSensorBase::WriteRegisters(const RegisterWriteList &writes) {
    for (size_t i = 0; i < writes.size(); ++i) {
        WriteRegisterArbitrated(writes.data()[i].address, writes.data()[i].value);
    }
}

int CSensorBase::WriteRegistersPaced(const RegisterWrite *writes, size_t count, unsigned delayMs) {
    for (size_t i = 0; i < count; ++i) {
        if (!WriteRegisterArbitrated(writes[i].address, writes[i].value)) return 0;
        platform::SleepMs(delayMs);
    }
    return 1;
}

int CSensorBase::WriteFpgaVerifiedAs(uint8_t reg, uint8_t value, bool timed) {
    return timed ? WriteFpgaVerifiedTimed(reg, value) : WriteFpgaVerified(reg, value);
}

void CSensorBase::WriteFpgaVerified24(const uint8_t (&regs)[3], uint32_t value, bool timed) {
    for (int i = 0; i < 3; ++i) {
        WriteFpgaVerifiedAs(regs[i], static_cast<uint8_t>(value >> (8 * i)), timed);
    }
}

bool CSensorBase::AlreadyFreeRunning(int mode) {
    if (windowChanged) {
        windowChanged = 0;
        return false;
    }
    uint8_t fpgaMode = 0xFF;
    if (!controller->ReadFpgaRegister(fpga::kTriggerMode, &fpgaMode) || mode != 0 ||
        fpgaMode != fpga::kTriggerModeFreeRunning) {
        return false;
    }
    // Only the FPGA is known to run free; the stored mode stays as it was, so the next
    // SetTriggerMode that does reprogram the head counts the change in full.
    restartPending = 0;
    return true;
}

int CSensorBase::WriteMirrorRegister(int horizontal, int vertical) {
    return WriteRegisterArbitrated(reg::kMirror, (horizontal ? 2 : 0) | (vertical ? 1 : 0));
}

uint8_t CSensorBase::FpgaStatusCached() {
    if (fpgaStatusCache == 0 && controller) {
        controller->ReadFpgaRegister(fpga::kStatus2, &fpgaStatusCache);
    }
    return fpgaStatusCache;
}

void CSensorBase::RememberWindowRequest(int x, int width, int y, int height, int mode) {
    lastWindowRequest = WindowRequest{x, width, y, height, mode};
}

unsigned CSensorBase::ExposureWriteDelayMs() const {
    return static_cast<unsigned>(std::max(1, params.expTime / 1000000));
}

}  // namespace korvix::sensors
