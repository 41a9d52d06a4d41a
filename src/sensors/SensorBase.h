#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/CriticalSection.h"
#include "sensors/SensorParams.h"

namespace korvix::controller {
class CControllerBase;
}

namespace korvix::sensors {

// What the code shared by the four IMX99x heads needs to know about one head.
struct SensorHeadTraits {
    int firstModelCode;               // orientation 4
    int secondModelCode;              // orientation 1; the variant with a Peltier cooler
    bool pauseBeforeRawWrite;         // 1 ms pause before each raw sensor write
    bool verifyArbitratedWrites;      // read every arbitrated write back and compare
    uint16_t fpgaTemperatureVersion;  // from this FPGA version on the FPGA samples temperature
    bool peltierKeepsOtherBits;       // cooler bit set by read-modify-write of register 0x97
    bool internalCorrectionFromFpga;  // HasInternalCorrection answers bit 15 of the version
};

// A capture window as a caller asked for it (argument order of SetCaptureWindow).
struct WindowRequest {
    int x;
    int width;
    int y;
    int height;
    int mode;
};

// One step of a register sequence: the write and the pause that follows it.
struct RegisterWrite {
    uint16_t address;
    uint8_t value;
    uint32_t pauseMs = 0;
};

class RegisterWriteList;

// The driver of the camera's image sensor head. The device core owns one, made by its sensor
// factory, and routes every sensor-dependent setting through these operations. A driver
// never talks to USB: it borrows the controller's control interface and uses its I2C write
// and read (to the sensor chip), FPGA register write and read, and FPGA version read.
//
// Results: 1 (or a value) for success, 0 for failure; a missing controller makes every
// hardware operation fail and leaves SensorParams unchanged. Setters store a new current
// value only when all their register writes succeeded.
//
// Threads: the device core's callers (session threads, settings dialogs) may call in
// concurrently. registerLock serialises each single I2C transaction; sequences of writes
// (window, exposure, trigger mode) are not atomic against each other, and the stored
// fields are the device core's to guard. Long sequences block the caller in SleepMs of the
// platform clock.
class CSensorBase {
  public:
    CSensorBase(controller::CControllerBase *controller, uint8_t busAddress,
                const SensorHeadTraits &traits);
    virtual ~CSensorBase();
    CSensorBase(const CSensorBase &) = delete;
    CSensorBase &operator=(const CSensorBase &) = delete;

    // Identity. SetModelCode accepts only the head's own two codes (returns 0 otherwise);
    // the first sets orientation 4, the second orientation 1.
    virtual int SetModelCode(int code);
    virtual void SetTriggerModeValue(int mode) { triggerMode = mode; }
    virtual int GetTriggerModeValue() const { return triggerMode; }
    virtual int ProbeSensor() { return 1; }
    virtual int InitSensor() = 0;

    // Capture window: x, y top-left corner, mode 0 = window, other modes per head.
    virtual int SetCaptureWindow(int x, int width, int y, int height, int mode) = 0;
    virtual int GetCaptureWindow(int *x, int *width, int *y, int *height, int *mode);

    // Trigger: 0 free-running, 1 external trigger.
    virtual int SetTriggerMode(int mode) = 0;
    virtual int GetTriggerMode(int *mode);
    virtual int SetTriggerEdge(int) { return 0; }
    virtual int PrepareTrigger() { return 0; }
    virtual int HasTriggerEdge() { return 0; }

    virtual int SetBitDepth(int wide) = 0;

    virtual int SetExposureLines(unsigned lines) = 0;
    virtual int GetExposureLines(int *lines) { return CopyField(lines, params.expLines); }
    virtual int GetExposureLinesMin(int *v) { return CopyField(v, params.expLinesMin); }
    virtual int GetExposureLinesMax(int *v) { return CopyField(v, params.expLinesMax); }
    virtual int GetExposureLinesDefault(int *v) { return CopyField(v, params.expLinesDefault); }

    virtual int SetGlobalGain(unsigned gain) = 0;
    virtual int GetGlobalGain(int *gain) { return CopyField(gain, params.gain); }
    virtual int GetGlobalGainMin(int *v) { return CopyField(v, params.gainMin); }
    virtual int GetGlobalGainMax(int *v) { return CopyField(v, params.gainMax); }
    virtual int GetGlobalGainDefault(int *v) { return CopyField(v, params.gainDefault); }
    virtual int GetChannelGainMin(int *v) { return CopyField(v, params.chGainMin); }
    virtual int GetChannelGainMax(int *v) { return CopyField(v, params.chGainMax); }
    virtual int GetChannelGainDefault(int *v) { return CopyField(v, params.chGainDefault); }

    // Black level and auxiliary mode: the answers follow the blackSup and auxSup fields.
    virtual int IsBlackLevelSupported() { return params.blackSup; }
    virtual int SetBlackLevel(unsigned) { return 0; }
    virtual int GetBlackLevel(int *v) { return CopySupported(v, params.black, params.blackSup); }
    virtual int GetBlackLevelMin(int *v) {
        return CopySupported(v, params.blackMin, params.blackSup);
    }
    virtual int GetBlackLevelMax(int *v) {
        return CopySupported(v, params.blackMax, params.blackSup);
    }
    virtual int GetBlackLevelDefault(int *v) {
        return CopySupported(v, params.blackDefault, params.blackSup);
    }
    virtual int IsAuxModeSupported() { return params.auxSup; }
    virtual int GetAuxMode(int *v) { return CopySupported(v, params.auxMode, params.auxSup); }
    // No IMX99x head has a settable auxiliary mode (the IMX993 only reports one it was
    // started with): the request is refused, nothing is written.
    virtual int SetAuxMode(int) { return 0; }

    // Colour-channel gains and a selectable sampling rate exist only on other heads (the
    // IMX99x are monochrome with one pixel clock): 0, not supported. The colour-gain limits
    // are the channel-gain limits above.
    virtual int SetColorGain(ColorGainChannel, unsigned) { return 0; }
    virtual int GetColorGain(ColorGainChannel, int *) { return 0; }
    virtual int SetSamplingRate(int) { return 0; }

    // Stepped gain belongs to another head; these answer "absent" through stepSup.
    virtual int IsGainStepSupported() { return params.stepSup; }
    virtual int GetGainStepMin(int *v) { return CopySupported(v, params.stepMin, params.stepSup); }
    virtual int GetGainStepMax(int *v) { return CopySupported(v, params.stepMax, params.stepSup); }
    virtual int GetGainStepDefault(int *v) {
        return CopySupported(v, params.stepDefault, params.stepSup);
    }
    virtual int GetGainStep(int *v) { return CopySupported(v, params.step, params.stepSup); }

    // Exposure time in units of 0.1 ms.
    virtual int SetExposureTime(unsigned tenthsMs) = 0;
    virtual int GetExposureTime(int *v) { return CopyField(v, params.expTime); }
    virtual int GetExposureTimeMin(int *v) { return CopyField(v, params.expTimeMin); }
    virtual int GetExposureTimeMax(int *v) { return CopyField(v, params.expTimeMax); }
    virtual int GetExposureTimeDefault(int *v) { return CopyField(v, params.expTimeDefault); }

    virtual int SetMirrorV(int on);
    virtual int GetMirrorV(int *v) { return CopyField(v, params.mirrorV); }
    virtual int SetMirrorH(int on) = 0;
    virtual int GetMirrorH(int *v) { return CopyField(v, params.mirrorH); }
    virtual int GetMirrorVDefault() { return params.mirrorVDefault; }
    virtual int GetMirrorHDefault() { return params.mirrorHDefault; }
    virtual int IsMirrorVSupported() { return params.mirrorVSup; }
    virtual int IsMirrorHSupported() { return params.mirrorHSup; }

    // Raw sensor register access: one I2C transaction under registerLock, without the
    // FPGA's sensor-bus interlock. Addresses are 16 bits, values 8 bits.
    virtual int WriteRegister(unsigned address, unsigned value);
    virtual int ReadRegister(unsigned address, int *value);
    // Arbitrated access: requests the sensor bus from the FPGA (register 0x9F), waits until
    // its status register reads 0, performs the raw access (up to 100 attempts 3 ms apart)
    // and always releases the bus request again.
    virtual int WriteRegisterArbitrated(unsigned address, unsigned value);
    virtual int ReadRegisterArbitrated(unsigned address, int *value);

    // Copies the whole parameter block byte for byte; 0 when out is null.
    virtual int CopyParams(SensorParams *out);

    virtual int HasInternalCorrection();
    virtual int HasPeltier() { return modelCode == traits.secondModelCode ? 1 : 0; }
    virtual int GetPeltier();
    virtual int SetPeltier(int on);
    virtual int HasTemperature() { return 1; }
    virtual int GetTemperature(double *celsius);

    // Exposure in seconds.
    virtual int IsExposureTimeExSupported() { return params.expSecSup; }
    virtual double GetExposureTimeExMin(double *v) { return CopyExSec(v, params.expSecMin); }
    virtual double GetExposureTimeExMax(double *v) { return CopyExSec(v, params.expSecMax); }
    virtual double GetExposureTimeExDefault(double *v) {
        return CopyExSec(v, params.expSecDefault);
    }
    virtual int GetExposureTimeEx(double *v);
    virtual int SetExposureTimeEx(double seconds) = 0;

    virtual int HasGainMode() { return 0; }
    virtual int GetGainMode() { return -1; }
    virtual int SetGainMode(int) { return 0; }

    virtual int CanOutput8Bit() { return 1; }
    virtual int CanOutput16Bit() { return 1; }
    virtual int CanOutputColor() { return 0; }
    virtual int HasFpgaControlBit() { return 0; }
    virtual int SetFpgaControlBit() { return 0; }

    // Routines shared by the heads (also used by the device core).
    // The FPGA version word, read once (10 tries, 100 ms apart) and then cached; 0 when it
    // cannot be read.
    int GetFpgaVersion();
    int IsFastReadout();  // bit 14 of the version: the shorter line timing
    int IsOldFpga();      // version at most 0x110; 0 when unreadable
    // Writes an FPGA register and reads it back, up to 10 attempts; 1 when it reads back.
    int WriteFpgaVerified(uint8_t reg, uint8_t value);
    // The same inside a 1 ms timer-resolution bracket.
    int WriteFpgaVerifiedTimed(uint8_t reg, uint8_t value);
    // Pulses the FPGA restart register when a restart is pending.
    int PulseRestart();
    // Whether PulseRestart gives a pulse now.
    bool RestartPending() const { return restartPending != 0; }

    // The parameter block. The device core reads single fields and stores the accepted
    // window back after SetCaptureWindow.
    SensorParams &Params() { return params; }
    const SensorParams &Params() const { return params; }

  protected:
    static int CopyField(int *out, int value);
    static int CopySupported(int *out, int value, int supported);
    double CopyExSec(double *out, double value) const;

    // Writes the given registers arbitrated, in order, each followed by its pause, ignoring
    // single results (the window and trigger sequences report success once started).
    void WriteRegisters(std::initializer_list<RegisterWrite> writes);
    void WriteRegisters(const RegisterWriteList &writes);
    // Writes in order, pausing delayMs after each successful write and stopping at the first
    // failure; 1 when all succeeded.
    int WriteRegistersPaced(const RegisterWrite *writes, size_t count, unsigned delayMs);
    // WriteFpgaVerified, or its timer-bracketed form when timed.
    int WriteFpgaVerifiedAs(uint8_t reg, uint8_t value, bool timed);
    // Writes a 24-bit value to three FPGA registers, low byte first, each verified.
    void WriteFpgaVerified24(const uint8_t (&regs)[3], uint32_t value, bool timed = false);
    // Step 1 of SetTriggerMode shared by the heads: consumes a pending window change, and
    // answers true when mode 0 is asked for while the FPGA already runs free, in which case
    // nothing needs reprogramming and no restart is pending (triggerMode is left alone).
    bool AlreadyFreeRunning(int mode);
    // The mirror register 0x0404 from the two mirror flags.
    int WriteMirrorRegister(int horizontal, int vertical);
    // FPGA status register 0x17, read once while the cache holds 0.
    uint8_t FpgaStatusCached();
    // Remembers a window request that the head accepted, for re-applying it later.
    void RememberWindowRequest(int x, int width, int y, int height, int mode);
    // The pause of the exposure routine after each write: at least 1 ms.
    unsigned ExposureWriteDelayMs() const;

    // A 12-bit two's-complement temperature sample in 1/8 degree.
    static double DecodeTemperature(uint8_t low, uint8_t high);

    controller::CControllerBase *controller;  // borrowed; null makes hardware calls fail
    const uint8_t busAddress;                 // sensor chip's I2C address (write form)
    const SensorHeadTraits traits;
    int triggerMode = 15;  // matches neither mode until the first SetTriggerMode
    uint16_t fpgaVersion = 0;
    int modelCode = 0;
    int triggerEdge = 0;
    int restartPending = 1;
    uint8_t fpgaStatusCache = 0;
    uint32_t vmaxTarget = 0;  // frame and line length asked for and last written
    uint32_t vmax = 0;
    uint32_t hmaxTarget = 0;
    uint32_t hmax = 0;
    int frameTimeMs = 0;    // one frame, used as a settling delay
    int windowChanged = 0;  // consumed by the next SetTriggerMode
    WindowRequest lastWindowRequest{};
    SensorParams params{};
    // Serialises the raw I2C transactions of this sensor object; held for one transaction
    // only. Lock order: controller FPGA/SROM locks, then registerLock (it is the innermost).
    platform::CriticalSection registerLock;

  private:
    int ArbitratedAccess(bool write, unsigned address, unsigned value, int *readValue);
    int ReadTemperatureFromFpga(uint8_t *low, uint8_t *high);
    int ReadTemperatureFromSensor(uint8_t *low, uint8_t *high);
};

}  // namespace korvix::sensors
