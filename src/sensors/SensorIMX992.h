#pragma once

#include <cstdint>
#include <optional>

#include "sensors/SensorBase.h"

namespace korvix::sensors {

// The two register sequences with which the heads enter and leave trigger mode.
enum class TriggerSequence {
    kImx992,  // trigger mode pulses the FPGA sequence register and restarts the frame
    kImx993,
};

// Everything in which the IMX992 and the IMX993 heads differ.
struct Imx992HeadTable {
    SensorHeadTraits traits;
    int sensorWidth;
    int sensorHeight;
    int initialHmax;  // reported hmaxValue/vmaxValue; never updated
    int initialVmax;
    int expLinesMax;
    int expLinesDefault;
    int expTimeDefault;  // 0.1 ms
    double expSecMin;
    double expSecDefault;
    int blackMax;  // black level 0..blackMax when blackSup
    int blackDefault;
    int blackSup;
    int auxSup;
    int initialTriggerMode;
    uint32_t fullFrameLines;        // frame lines of a full window and of binning mode 17
    uint32_t subsampledFrameLines;  // frame lines of sub-sampling mode 1
    int maxWindowWidth;             // mode-0 window limits before the range check
    int maxWindowHeight;
    uint32_t triggerFrameLength;        // FPGA trigger frame length
    double exposureOffsetUs;            // exposure time not counted in lines
    bool identifiesAuxMode;             // InitSensor sets the black level and reads the aux mode
    bool writesTriggerSettingInWindow;  // window code programs 0x0430/0x0431 bits too
    bool gainModeRawAccess;             // gain-mode register read and written raw
    TriggerSequence triggerSequence;
};

extern const Imx992HeadTable kImx992Table;
extern const Imx992HeadTable kImx993Table;

// The driver shared by the IMX992 (2560 x 2048) and IMX993 (2048 x 1536) heads. The line
// length is 489 clocks for 8-bit output and the sub-sampling modes, 978 for 16-bit full
// resolution; exposure is aligned to even lines.
class CSensorIMX992Family : public CSensorBase {
  public:
    int InitSensor() override;
    // Modes: 0 window, 1 sub-sampled readout of fixed size, 17 binned readout of fixed size.
    int SetCaptureWindow(int x, int width, int y, int height, int mode) override;
    int SetTriggerMode(int mode) override;
    int SetBitDepth(int wide) override;
    int SetExposureLines(unsigned lines) override;
    int SetGlobalGain(unsigned gain) override;
    int SetBlackLevel(unsigned level) override;
    int SetExposureTime(unsigned tenthsMs) override;
    int SetExposureTimeEx(double seconds) override;
    int SetMirrorH(int on) override;
    int HasGainMode() override { return 1; }
    // Gain mode 0 ("High Gain") or 1 ("Low Gain"); -1 when the register cannot be read.
    int GetGainMode() override;
    int SetGainMode(int mode) override;

  protected:
    CSensorIMX992Family(controller::CControllerBase *controller, uint8_t busAddress,
                        const Imx992HeadTable &table);

  private:
    // Line period in microseconds at the current line length.
    double LinePeriodUs() const;
    unsigned MicrosecondsToLines(double us) const;
    int WriteHmax(uint32_t lineClocks);
    int WriteVmax(uint32_t frameLines);
    // FPGA trigger logic: exposure, line timing and frame length.
    void ProgramTriggerTiming();
    void EnterTriggerMode(bool changed);
    void EnterFreeRunning(bool changed);
    void IdentifyAuxMode();
    int ReadGainModeRegister(int *value);
    int WriteGainModeRegister(unsigned value);

    const Imx992HeadTable &table;
    // The bit depth the previous SetCaptureWindow saw; a change needs the standby bracket.
    std::optional<int> windowBitDepth;
};

class CSensorIMX992 final : public CSensorIMX992Family {
  public:
    explicit CSensorIMX992(controller::CControllerBase *controller, uint8_t busAddress = 0x48)
        : CSensorIMX992Family(controller, busAddress, kImx992Table) {}
};

class CSensorIMX993 final : public CSensorIMX992Family {
  public:
    explicit CSensorIMX993(controller::CControllerBase *controller, uint8_t busAddress = 0x48)
        : CSensorIMX992Family(controller, busAddress, kImx993Table) {}
};

}  // namespace korvix::sensors
