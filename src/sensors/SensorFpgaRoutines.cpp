// FPGA-side routines of CSensorBase shared by the heads: the cached version word, verified
// register writes, the restart pulse, and the temperature read.
#include "controller/ControllerBase.h"
#include "platform/Clock.h"
#include "sensors/SensorBase.h"
#include "sensors/SensorRegisters.h"

namespace korvix::sensors {

namespace {

constexpr int kVersionAttempts = 10;
constexpr uint32_t kVersionRetryPauseMs = 100;
constexpr int kVerifiedWriteAttempts = 10;
constexpr uint32_t kVerifiedWritePauseMs = 5;
constexpr uint32_t kRestartPulseMs = 1;
constexpr int kFpgaTemperatureAttempts = 5;
constexpr uint16_t kOldFpgaVersionLimit = 0x110;

}  // namespace

int CSensorBase::GetFpgaVersion() {
    if (fpgaVersion != 0 || !controller) return fpgaVersion;
    for (int attempt = 0; attempt < kVersionAttempts; ++attempt) {
        uint16_t version = 0;
        if (controller->ReadFpgaVersion(&version)) {
            fpgaVersion = version;
            return fpgaVersion;
        }
        platform::SleepMs(kVersionRetryPauseMs);
    }
    return 0;
}

int CSensorBase::IsFastReadout() {
    return (GetFpgaVersion() & 0x4000) ? 1 : 0;
}

int CSensorBase::IsOldFpga() {
    const int version = GetFpgaVersion();
    return (version != 0 && version <= kOldFpgaVersionLimit) ? 1 : 0;
}

int CSensorBase::WriteFpgaVerified(uint8_t reg, uint8_t value) {
    if (!controller) return 0;
    for (int attempt = 0; attempt < kVerifiedWriteAttempts; ++attempt) {
        if (!controller->WriteFpgaRegister(reg, value)) continue;
        platform::SleepMs(kVerifiedWritePauseMs);
        uint8_t readBack = 0;
        if (controller->ReadFpgaRegister(reg, &readBack) && readBack == value) return 1;
        platform::SleepMs(kVerifiedWritePauseMs);
    }
    return 0;
}

int CSensorBase::WriteFpgaVerifiedTimed(uint8_t reg, uint8_t value) {
    [[maybe_unused]] platform::TimerResolutionScope timerResolution;
    return WriteFpgaVerified(reg, value);
}

int CSensorBase::PulseRestart() {
    if (!restartPending) return 1;
    if (!controller) return 0;
    [[maybe_unused]] platform::TimerResolutionScope timerResolution;
    controller->WriteFpgaRegister(fpga::kRestart, 1);
    platform::SleepMs(kRestartPulseMs);
    controller->WriteFpgaRegister(fpga::kRestart, 0);
    platform::SleepMs(kRestartPulseMs);
    return 1;
}

// Newer FPGAs sample the temperature themselves; older ones leave it to the sensor, whose
// sample is latched while bit 0 of the latch register is set. A reading that could not be
// taken fails rather than reporting 0 degrees.
int CSensorBase::GetTemperature(double *celsius) {
    if (!celsius || !controller) return 0;
    uint8_t low = 0;
    uint8_t high = 0;
    const bool read = GetFpgaVersion() >= traits.fpgaTemperatureVersion
                          ? ReadTemperatureFromFpga(&low, &high)
                          : ReadTemperatureFromSensor(&low, &high);
    if (!read) return 0;
    *celsius = DecodeTemperature(low, high);
    return 1;
}

int CSensorBase::ReadTemperatureFromFpga(uint8_t *low, uint8_t *high) {
    bool anyRead = false;
    for (int attempt = 0; attempt < kFpgaTemperatureAttempts; ++attempt) {
        uint8_t l = 0;
        uint8_t h = 0;
        if (!controller->ReadFpgaRegister(fpga::kTemperatureLow, &l) ||
            !controller->ReadFpgaRegister(fpga::kTemperatureHigh, &h)) {
            continue;
        }
        anyRead = true;
        *low = l;
        *high = h;
        if (l != 0 || h != 0) break;
    }
    return anyRead ? 1 : 0;
}

int CSensorBase::ReadTemperatureFromSensor(uint8_t *low, uint8_t *high) {
    int latch = 0;
    if (!ReadRegister(reg::kTemperatureLatch, &latch)) return 0;
    WriteRegister(reg::kTemperatureLatch, latch | 1);
    int l = 0;
    int h = 0;
    const bool read =
        ReadRegister(reg::kTemperatureLow, &l) && ReadRegister(reg::kTemperatureHigh, &h);
    WriteRegister(reg::kTemperatureLatch, latch & ~1);
    if (!read) return 0;
    *low = static_cast<uint8_t>(l);
    *high = static_cast<uint8_t>(h);
    return 1;
}

double CSensorBase::DecodeTemperature(uint8_t low, uint8_t high) {
    int sample = ((high * 256) & 0xFFF) | low;
    if (sample & 0x800) sample -= 0x1000;  // bit 11 counts -256 degrees
    return sample / 8.0;
}

}  // namespace korvix::sensors
