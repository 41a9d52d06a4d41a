#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/FrameRateMeter.h"
#include "core/FrameRing.h"
#include "core/StreamStatistics.h"
#include "platform/CriticalSection.h"
#include "platform/Event.h"
#include "platform/WorkerThread.h"
#include "platform/usb/Guid.h"
#include "sensors/SensorParams.h"

namespace korvix::controller {
class CKorCy3Cam;
struct TransferRecord;
}
namespace korvix::sensors {
class CSensorBase;
}

namespace korvix::core {

// The device core: the camera-model layer between the session and the hardware. It owns the
// controller and, while a camera is open, the sensor driver; it opens a camera by device
// number, runs the acquisition thread that fills the frame ring, and carries every setting
// and register access, most of them forwarded to the sensor driver.
//
// States:
//
//   empty --CreateController--> controller created --Open--> open --StartTransfer--> transferring
//     ^                                                      ^  |                        |
//     |                                                      |  +------Open (new sensor) |
//     +------------------------- Close ---------------------+--+<------ StopTransfer ---+
//
// Results: nonzero for success, 0 for failure, unless an operation says otherwise. An
// operation that needs the controller or the sensor answers 0 (or the documented default)
// when it is absent; nothing throws.
//
// Sensor forwards come in four shapes: plain (the sensor operation's result), value getters
// "V" (the value the sensor wrote into a local preset to 0, whatever the sensor returned),
// strict value getters "C" (the same, but 0 when the sensor operation fails) and float-limit
// getters "F" (the caller's double filled, the support flag returned).
//
// Threads (docs/locking.md has the lock order): every public operation may be called from
// any thread, concurrently with streaming and with each other.
//   - The device lock (deviceLock, recursive) is held by every operation that reads or
//     changes settings, registers, the controller or the sensor, for the length of that
//     operation and never across a frame wait. Operations that take it block while another
//     holds it: sensor register sequences take up to about half a second, Open up to the
//     FPGA ready wait, StopTransfer until the data path has ended.
//   - WaitFrame and the frame reads (CopyFrame, GetFrame, GetFrameEx, CopyFirstFrame) never
//     take the device lock: a reader copying a frame is never held up by a setting, and a
//     WaitFrame is never held up by anything but its own time limit. The ring's storage
//     lock (inside FrameRing) keeps the buffers from being replaced while a reader copies.
//   - The acquisition thread runs TransferLoop without the device lock; it meets the rest
//     through the frame ring, the frame event and the atomic fields. Everything that would
//     replace what it uses (the geometry, the sensor, the controller) stops it first.
//   - The state getters below (FrameRate ... TransferRunning) read atomics: any thread.
//     Controller() and Sensor() hand out borrowed pointers for tests; using them while
//     another thread may Open or Close is not safe.
// Each group below says what its operations hold and how long they may block; "[device
// lock]" marks an operation that holds the device lock for its whole length.
class CKorvixU3T2Base {
  public:
    CKorvixU3T2Base();
    virtual ~CKorvixU3T2Base();
    CKorvixU3T2Base(const CKorvixU3T2Base &) = delete;
    CKorvixU3T2Base &operator=(const CKorvixU3T2Base &) = delete;

    // ---- Device, controller and open (KorvixU3T2Base.cpp, DeviceOpen.cpp) ----
    // [device lock], any thread. CreateController, AdoptController and Close stop a running
    // transfer first; Open stops it before it replaces the sensor and blocks for the FPGA
    // ready wait (up to 400 x 500 ms). GetProductCode, GetOpenDeviceNumber and
    // GetMaxDevices take no lock.
    // Closes, then creates the controller with the interface GUID (the camera driver's GUID
    // when null). The window is not used here. Returns 1.
    virtual int CreateController(void *notifyWindow, const platform::usb::Guid *interfaceGuid);
    // Closes, then takes this controller instead of creating one (a controller built on
    // another driver port, or instrumented by a test). Returns 1, 0 for null.
    int AdoptController(std::unique_ptr<controller::CKorCy3Cam> replacement);
    // Post-open initialisation: device preparation, information block, FPGA ready wait,
    // sensor probe and initialisation.
    virtual int InitializeDevice();
    // Stops the transfer and frees everything; the core is then as after construction
    // except for the product code and the ring size: no controller, no sensor, no device
    // selected (GetOpenDeviceNumber -1), trigger mode -1 (the next SetTriggerMode programs
    // the next sensor), bit mode 0, geometry dirty, data timeout 5000 ms.
    virtual int Close();
    virtual int ReadInfoBlock(uint8_t *block64);
    virtual int CopyParams(sensors::SensorParams *out);
    virtual int ReadInfoBlock2(uint8_t *block64);
    // StopTransfer(1), then Open: 0 when the open succeeded, -1 when it failed.
    virtual int Reopen(int deviceNumber);
    // Opens the camera with this instance number among those of the product code and
    // creates its sensor driver.
    virtual int Open(int deviceNumber);
    virtual int IsDevicePresent(int deviceNumber);
    // Enumerates; code 0 gives the row count, another code the available rows of it.
    virtual int CountDevices(int productCode);
    virtual int GetDeviceName(int row, char *text);
    virtual int SetProductCode(int code);
    virtual int GetProductCode() { return productCode.load(std::memory_order_acquire); }
    virtual int GetRowVendorId(int row);
    virtual int GetRowProductId(int row);
    virtual int GetRowInstance(int row);
    // The device number of the last successful Open, or -1 when no device is selected
    // (before the first Open and after Close).
    virtual int GetOpenDeviceNumber() { return openDeviceNumber.load(std::memory_order_acquire); }
    virtual int GetMaxDevices() { return 32; }

    // ---- Acquisition (AcquisitionEngine.cpp, FrameReadout.cpp) ----
    // Transfer modes: 0 continuous, 1 single frame, 2 single triggered frame, 3 header only.
    // StartTransfer: [device lock]; 1 when the thread was started, 0 without controller or
    // when no thread can be made. Stops a data path user still at work (after up to 5 ms for
    // it to end by itself) and applies a pending geometry; a geometry that cannot be had
    // does not stop the start: the thread reports it (WaitFrame answers 1).
    virtual int StartTransfer(int mode);
    // [device lock]; returns 1. Ends the data path (the thread, or a CaptureOne running on
    // another thread): clears the run flag and, with abort, pauses 100 ms and aborts the
    // pending bulk read, so the thread ends within one control timeout; then waits for the
    // end, joins the thread and stops the camera's stream. Safe from several threads at
    // once; never call it from the acquisition thread.
    virtual int StopTransfer(int abort);
    // [device lock]; 0 without controller, else 1. A mode change stops the transfer first.
    virtual int SetTransferMode(int mode);
    // [device lock]; 0 without controller: the pipe reset and stream stop after a stop.
    virtual int FinishTransfer();
    // Body of the acquisition thread; takes no device lock.
    virtual int TransferLoop();
    // [device lock], and the ring storage lock exclusively while the buffers are replaced
    // (so it waits for a frame read in progress). Stops a running transfer first.
    // Rebuilds the transfer buffer and the ring for the sensor's window and bit mode and
    // programs the FPGA geometry and read-out offsets. 0 without sensor, for a window whose
    // size does not fit in 32 bits, or when memory runs out (the buffers are then absent,
    // and a transfer reports the failure rather than run without them).
    virtual int ApplyGeometry();
    // One frame into ring entry 0 without the thread: 2 when it cannot start (no controller,
    // no buffers), else 0 (the outcome is in TransferFailed()). Stops a running transfer
    // first and claims the data path under the device lock, then reads the frame without
    // it (up to 11 attempts within 10 s on the calling thread); StopTransfer ends it early.
    virtual int CaptureOne();
    // No lock; any thread. Returns 1. The next frame's data phase uses it.
    virtual int SetDataTimeout(uint32_t ms);
    // No lock; any thread. A limit the application fixed (ms > 0): the data phases use it
    // instead of the one the exposure and trigger settings give, until it is set back to 0.
    // It outlives Close: it belongs to the application, not to the camera.
    void FixDataTimeout(uint32_t ms) { fixedDataTimeout.store(ms, std::memory_order_relaxed); }
    // No lock; any thread; blocks up to ms. 1 when the acquisition failed, 2 when no new
    // frame came within ms, 3 when a new frame is in the ring. A 2 may also answer a frame
    // event whose frame an earlier copy already took (the copy takes the newest frame):
    // callers that want the next frame wait again. StopTransfer releases a waiter (2).
    virtual int WaitFrame(uint32_t ms);

    // Frame reads: no device lock, any thread, any number at once; each holds the ring
    // storage lock shared for its copy and never waits for the acquisition thread (which
    // drops a frame rather than overwrite an entry being copied).
    //
    // Each copies one ring entry out, oriented for the caller, with the
    // geometry the frame was captured with (never the window set since: a window or bit
    // mode change takes effect with the next transfer). The copy is width x height x
    // bytesPerSample bytes of *layout, rows without gaps.
    //
    // Result: 1 when the entry holds a frame and it was copied (or, for a null buffer, the
    // outputs were filled); 0 when the entry holds no frame or capacity is below the
    // frame's bytes, and nothing is copied. Outputs (each may be null) are filled in every
    // case: frame number and the four header tags of the entry, and its layout (all zero
    // when the entry holds no frame).
    //
    // CopyFrame reads the newest entry, or entry 0 when first is set.
    virtual int CopyFrame(uint8_t *buffer, uint32_t capacity, int *frameNumber, int *tagA,
                          int *tagB, int *tagC, int *tagD, int first, int orientationFlag,
                          FrameLayout *layout);
    // GetFrame and GetFrameEx read the newest entry and mark it taken (WaitFrame answers 3
    // only for a later frame), whether or not the copy succeeded.
    virtual int GetFrame(uint8_t *buffer, uint32_t capacity, int orientationFlag,
                         FrameLayout *layout);
    virtual int GetFrameEx(uint8_t *buffer, uint32_t capacity, int *frameNumber, int *tagA,
                           int *tagB, int *tagC, int *tagD, int orientationFlag,
                           FrameLayout *layout);
    // Reads ring entry 0 (the frame of CaptureOne); -2 for a null buffer, else as above.
    virtual int CopyFirstFrame(uint8_t *buffer, uint32_t capacity, int orientationFlag,
                               FrameLayout *layout);

    // ---- Settings with logic of their own (CameraSettings.cpp) ----
    // [device lock], any thread, also while frames stream. SetBitMode rebuilds the buffers
    // (ApplyGeometry: stops a running transfer first). SetCaptureWindow changes the sensor
    // window at once and the buffers at the next start; frames already in the ring keep
    // their geometry. SetTriggerMode stops the transfer; for mode 1 on an IMX990/991 with a
    // new FPGA it starts a triggered transfer and waits up to 60 s for its frame with the
    // device lock released.
    virtual int SetBitMode(int mode);
    virtual int SetClockMode(int mode);
    virtual int GetClockMode(int *mode);
    virtual int SetCaptureWindow(int x, int y, int width, int height, int mode);
    virtual int GetCaptureWindow(int *x, int *y, int *width, int *height, int *mode);
    virtual int SetTriggerMode(int mode, int force);
    virtual int ResyncFrameCounter();
    virtual int SetExposureTime(unsigned tenthsMs);
    virtual int SetExposureTimeEx(double seconds);
    virtual int HasInternalCorrection();
    virtual int GetInternalCorrection();
    virtual int SetInternalCorrection(int on);
    virtual int IsCorrectionValueSupported();
    virtual int SetCorrectionValue(int value);
    virtual int GetCorrectionValue(int *value);
    virtual int GetCorrectionValueMax();

    // ---- Sensor forwards (SensorForwards.cpp) ----
    // [device lock], any thread, also while frames stream; the sensor's register sequences
    // block the caller up to about half a second (exposure, window, trigger, gain mode).
    virtual int SetMirrorH(int on);
    virtual int SetMirrorV(int on);
    virtual int GetMirrorH();  // C
    virtual int GetMirrorV();  // C
    virtual int GetMirrorHDefault();
    virtual int GetMirrorVDefault();
    virtual int IsMirrorVSupported();
    virtual int IsMirrorHSupported();
    virtual int GetTriggerMode(int *mode);
    virtual int GetWidthVariable();
    virtual int GetHeightVariable();
    virtual int GetSensorWidth();
    virtual int GetSensorHeight();
    virtual int GetDefaultWidth();
    virtual int GetDefaultHeight();
    virtual int GetDefaultX();
    virtual int GetDefaultY();
    virtual int SetGlobalGain(unsigned gain);
    virtual int GetGlobalGain();           // V
    virtual int GetGlobalGainMin();        // V
    virtual int GetGlobalGainMax();        // V
    virtual int GetGlobalGainDefault();    // V
    virtual int GetExposureTime();         // V
    virtual int GetExposureTimeMin();      // V
    virtual int GetExposureTimeMax();      // V
    virtual int GetExposureTimeDefault();  // V
    virtual int SetExposureLines(unsigned lines);
    virtual int GetExposureLines();         // V
    virtual int GetExposureLinesMin();      // V
    virtual int GetExposureLinesMax();      // V
    virtual int GetExposureLinesDefault();  // V
    virtual int IsExposureTimeExSupported();
    virtual int GetExposureTimeEx(double *seconds);
    virtual int GetExposureTimeExMin(double *seconds);      // F
    virtual int GetExposureTimeExMax(double *seconds);      // F
    virtual int GetExposureTimeExDefault(double *seconds);  // F
    virtual int GetChannelGainMin();                        // V
    virtual int GetChannelGainMax();                        // V
    virtual int GetChannelGainDefault();                    // V
    virtual int IsBlackLevelSupported();
    virtual int SetBlackLevel(unsigned level);
    virtual int GetBlackLevel();         // V
    virtual int GetBlackLevelMin();      // V
    virtual int GetBlackLevelMax();      // V
    virtual int GetBlackLevelDefault();  // V
    virtual int IsAuxModeSupported();
    virtual int GetAuxMode(int *mode);
    // Plain forward; every IMX99x head refuses it (0) and writes nothing.
    virtual int SetAuxMode(int mode);
    // Colour-channel gains (the session's setting ids 14 to 17): the setter is a plain
    // forward, the getter a V getter; their limits are GetChannelGainMin and
    // GetChannelGainMax. The IMX99x heads have none: 0.
    virtual int SetColorGain(sensors::ColorGainChannel channel, unsigned gain);
    virtual int GetColorGain(sensors::ColorGainChannel channel);  // V
    // Where Korvix_SetSamplingRate hands its value: plain forward; 0 (not supported) on the
    // IMX99x heads, which have one pixel clock.
    virtual int SetSamplingRate(int rate);
    virtual int HasGainMode();
    virtual int SetGainMode(int mode);
    virtual int GetGainMode();
    virtual int HasPeltier();
    virtual int GetPeltier();
    virtual int SetPeltier(int on);
    virtual int HasTemperature();
    virtual int GetTemperature(double *celsius);
    virtual int SetTriggerEdge(int edge);
    virtual int PrepareTrigger();
    virtual int HasTriggerEdge();
    virtual int IsGainStepSupported();
    virtual int GetGainStepMin();      // C
    virtual int GetGainStepMax();      // C
    virtual int GetGainStepDefault();  // C
    // These answer 1 without a sensor.
    virtual int CanOutput8Bit();
    virtual int CanOutput16Bit();
    virtual int CanOutputColor();
    virtual int HasFpgaControlBit();
    virtual int SetFpgaControlBit();

    // ---- Register and identity access (RegisterAccess.cpp) ----
    // [device lock], any thread, also while frames stream. The I2C word accesses first wait
    // up to 3 s for the sensor bus; WaitSensorBusFree blocks up to ms; SROM writes take a
    // 14 ms write cycle each.
    virtual int WriteSensorRegister(unsigned address, unsigned value);
    // The register value, with *ok = 1; on failure 0 and *ok left as it was.
    virtual int ReadSensorRegister(unsigned address, int *ok);
    virtual int WriteFpgaRegister(unsigned reg, unsigned value);
    // The register byte, with *ok = 1; on failure 0 with *ok = 0. ok may be null.
    virtual int ReadFpgaRegister(unsigned reg, int *ok);
    // 16-bit register of any device on the camera's I2C bus (7-bit device number).
    virtual int WriteI2cWord(unsigned device, unsigned reg, unsigned value);
    virtual int ReadI2cWord(unsigned device, unsigned reg, unsigned *value);
    // 1 once the sensor-bus busy bit (FPGA register 0x02 bit 1) is clear, 0 after ms or on
    // a failed read.
    virtual int WaitSensorBusFree(uint32_t ms);
    virtual int WriteSromByte(unsigned address, unsigned value);
    virtual int ReadSromByte(unsigned address, uint8_t *value);
    virtual int WriteSromId(unsigned value);
    virtual int ReadSromId(uint8_t *value);

    // ---- State read by the session (and by tests) ----
    float FrameRate() const { return frameRate.load(std::memory_order_relaxed); }
    double TransferRate() const { return transferRate.load(std::memory_order_relaxed); }
    int FrameBytes() const { return frameBytes.load(std::memory_order_acquire); }
    int BitMode() const { return bitMode.load(std::memory_order_acquire); }
    int TransferMode() const { return transferMode.load(std::memory_order_acquire); }
    int TransferFailed() const { return transferFailed.load(std::memory_order_acquire); }
    int CountedFrames() const { return countedFrames.load(std::memory_order_acquire); }
    int LastFrameCounter() const { return lastFrameCounter.load(std::memory_order_acquire); }
    uint32_t DataTimeout() const { return dataTimeout.load(std::memory_order_relaxed); }
    // The limit the data phases use: the fixed one, else DataTimeout().
    uint32_t DataTimeoutInForce() const {
        const uint32_t fixed = fixedDataTimeout.load(std::memory_order_relaxed);
        return fixed != 0 ? fixed : DataTimeout();
    }
    // The counters of the frame transfers since the last Open or reset; any thread.
    StreamCounts StreamStatisticsNow() const { return streamStatistics.Read(); }
    void ResetStreamStatistics() { streamStatistics.Reset(); }
    int GeometryDirty() const { return geometryDirty.load(std::memory_order_acquire); }
    int TriggerModeValue() const { return triggerMode.load(std::memory_order_relaxed); }
    bool TransferRunning() const { return running.load(std::memory_order_acquire) != 0; }
    const FrameRing &Ring() const { return ring; }
    const std::array<uint8_t, 64> &InfoBlock() const { return infoBlock; }
    // Borrowed; null when absent.
    controller::CKorCy3Cam *Controller() const { return controller.get(); }
    sensors::CSensorBase *Sensor() const { return sensor.get(); }

  protected:
    // The clock mode a request becomes on this link: 2 only on a SuperSpeed link (or when the
    // device cannot be asked), else 0.
    int ClockModeForLink(int mode);
    // Every frame buffer (the transfer buffer and each ring entry) comes from here: a zeroed
    // buffer, or null when memory runs out. Overridden by tests that need memory to run out.
    virtual std::unique_ptr<uint8_t[]> AllocateFrameBuffer(uint32_t bytes);
    // Called, when set, by a data-path claimant that is ending, after it has cleared running
    // and before it sets the thread-end event. Tests hold the claimant here to meet it
    // half-ended from StartTransfer and StopTransfer on other threads. Not a virtual function:
    // the transfer thread may still be ending while a derived destructor runs.
    std::function<void()> onDataPathEnding;

  private:
    using DeviceLock = platform::CriticalSectionLock;

    // Ends a claim of the data path (the thread's or CaptureOne's): running is cleared and
    // the thread-end event set, the last things the claimant does.
    void ReleaseDataPath();
    // FPGA ready wait of InitializeDevice: 1 when the ready flag came.
    int WaitFpgaReady();
    // Pulses the FPGA reset line (register 0x82 bit 0) high for 50 ms.
    void PulseFpgaReset();
    int BytesPerPixel() const;
    void OpenFrameEvent();
    void CloseFrameEvent();
    // Retry bookkeeping of TransferLoop after a failed header or data read: true when the
    // thread must give up.
    bool RecoverFromFailedRead(int &retries);
    void PublishFrame(const uint8_t *header, uint32_t startTick, uint64_t startUs);
    // Counts what one ReadFrameHeader of the acquisition thread met; returns its result.
    int CountedHeaderRead(controller::TransferRecord &record);
    // Where a frame read puts what it learns besides the pixels; any member may be null.
    struct FrameOutputs {
        int *frameNumber;
        int *tagA;
        int *tagB;
        int *tagC;
        int *tagD;
        FrameLayout *layout;
    };
    // The frame reads' common body; *copiedIndex (when given) receives the entry it read.
    int CopyFrameEntry(uint8_t *buffer, uint32_t capacity, const FrameOutputs &outputs,
                       bool first, int orientationFlag, int *copiedIndex);

    // Guards everything below that is not atomic, and the lifetime of the controller and
    // the sensor (see the class comment). Recursive: operations call each other.
    mutable platform::CriticalSection deviceLock;
    std::unique_ptr<controller::CKorCy3Cam> controller;
    std::array<uint8_t, 64> infoBlock{};  // bytes 24..25: firmware version word
    // Destination of each frame's data transfer; transferBufferSize bytes.
    std::unique_ptr<uint8_t[]> transferBuffer;
    uint32_t transferBufferSize = 0;
    std::atomic<int> transferMode{0};  // read by the acquisition thread
    std::atomic<int> productCode{-1};
    std::atomic<int> bitMode{0};       // 0: 8-bit frame data, 1: 16-bit
    std::atomic<int> triggerMode{-1};  // read by the acquisition thread
    // frameBuffers, frame numbers, tags, bufferCount, writeIndex, readMark.
    FrameRing ring;
    // The shape of the frames the transfer buffer receives, set by ApplyGeometry; frameBytes
    // is its byte count.
    FrameLayout frameLayout;
    std::atomic<int> frameBytes{0};
    // The sensor's orientation value (SensorParams orientation), kept here so that frame
    // reads never touch the sensor object.
    std::atomic<int> sensorOrientation{0};
    // Written by the acquisition thread.
    std::atomic<int> transferFailed{0};
    std::atomic<float> frameRate{0.0f};
    std::atomic<double> transferRate{0.0};
    std::atomic<int> lastFrameCounter{0};
    // Auto-reset; signalled per completed frame. frameEventOpen stands for the event's
    // existence: "closing" it signals it once (releasing a waiter) and "creating" it again
    // clears a signal nobody took.
    platform::Event frameEvent{platform::Event::ResetMode::Auto, false, "frame"};
    std::atomic<bool> frameEventOpen{false};
    std::atomic<int> geometryDirty{1};
    std::unique_ptr<sensors::CSensorBase> sensor;
    std::atomic<int> openDeviceNumber{-1};
    static constexpr uint32_t kInitialDataTimeoutMs = 5000;
    std::atomic<uint32_t> dataTimeout{kInitialDataTimeoutMs};
    std::atomic<uint32_t> fixedDataTimeout{0};  // 0: none fixed
    std::atomic<int> countedFrames{0};
    std::atomic<int> running{0};
    // Set while nobody uses the data path; reset when the thread starts or CaptureOne claims
    // the path, set again by ReleaseDataPath. Manual-reset, so that any number of waits
    // (StartTransfer's short one, StopTransfer's) see the end without taking it from each
    // other. One per device core, so cameras in one process never take each other's signal.
    platform::Event threadEndEvent{platform::Event::ResetMode::Manual, true, "thread end"};
    FrameRateMeter frameRateMeter;  // acquisition thread only
    StreamStatistics streamStatistics;
    // Declared last so that it is joined before anything it uses is destroyed.
    platform::WorkerThread threadHandle;
};

}  // namespace korvix::core
