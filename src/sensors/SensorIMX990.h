#pragma once

#include <cstdint>

#include "sensors/SensorBase.h"

namespace korvix::sensors {

// FPGA horizontal start offsets that go with the horizontal mirror.
struct MirrorStartOffsets {
    uint16_t subsampledOn;
    uint16_t subsampledOff;
    uint16_t windowOn;
    uint16_t windowOff;
};

// Everything in which the IMX990 and the IMX991 heads differ.
struct Imx990HeadTable {
    SensorHeadTraits traits;
    int sensorWidth;
    int sensorHeight;
    int initialHmax;
    int initialVmax;
    int expLinesDefault;
    int expTimeDefault;  // 0.1 ms
    double expSecDefault;
    int fullFrameLines;             // frame lines of a full-height window
    int subsampledFrameLines;       // frame lines in sub-sampling mode 1
    double fullHeightLinePeriodNs;  // line period of a full-height window; 0 = the usual one
    bool twelveBitShutter;          // shutter start line limited to 12 bits
    bool reapplyExposureAfterBitDepth;
    bool triggerEdgeSelectable;  // register 0x59 follows triggerEdge
    bool restartOnFreeRunning;   // free-running mode ends with a restart pulse
    // Trigger registers through the timer-bracketed verified writes, and the FPGA trigger
    // mode register only rewritten when the FPGA state allows it.
    bool guardedTriggerRegisters;
    MirrorStartOffsets offsets;
    MirrorStartOffsets fastReadoutOffsets;
};

extern const Imx990HeadTable kImx990Table;
extern const Imx990HeadTable kImx991Table;

// The driver shared by the IMX990 (1280 x 1024) and IMX991 (640 x 512) heads.
class CSensorIMX990Family : public CSensorBase {
  public:
    int InitSensor() override;
    int SetCaptureWindow(int x, int width, int y, int height, int mode) override;
    int SetTriggerMode(int mode) override;
    int SetTriggerEdge(int edge) override;
    int PrepareTrigger() override { return 1; }
    int HasTriggerEdge() override;
    int SetBitDepth(int wide) override;
    int SetExposureLines(unsigned lines) override;
    int SetGlobalGain(unsigned gain) override;
    int SetExposureTime(unsigned tenthsMs) override;
    int SetExposureTimeEx(double seconds) override;
    int SetMirrorH(int on) override;
    int CanOutput16Bit() override;
    int HasFpgaControlBit() override;
    int SetFpgaControlBit() override;

  protected:
    CSensorIMX990Family(controller::CControllerBase *controller, uint8_t busAddress,
                        const Imx990HeadTable &table);

  private:
    double LinePeriodNs();
    unsigned NanosecondsToLines(double ns);
    // The FPGA registers of the trigger logic: exposure, line timing, frame length.
    void ProgramTriggerRegisters();
    void EnterTriggerMode();
    void EnterFreeRunning();

    const Imx990HeadTable &table;
};

class CSensorIMX990 final : public CSensorIMX990Family {
  public:
    explicit CSensorIMX990(controller::CControllerBase *controller, uint8_t busAddress = 0x48)
        : CSensorIMX990Family(controller, busAddress, kImx990Table) {}
};

class CSensorIMX991 final : public CSensorIMX990Family {
  public:
    explicit CSensorIMX991(controller::CControllerBase *controller, uint8_t busAddress = 0x48)
        : CSensorIMX990Family(controller, busAddress, kImx991Table) {}
};

}  // namespace korvix::sensors
