#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KorvixSdk_Tesslin.h"
#include "platform/CriticalSection.h"
#include "platform/WorkerThread.h"
#include "session/DeviceNotifications.h"
#include "session/ErrorHistory.h"
#include "session/FrameMessages.h"
#include "session/FrameTransfer.h"
#include "session/SessionImages.h"
#include "session/SessionSettings.h"
#include "session/mask/MaskReferences.h"
#include "session/preview/PreviewWindow.h"
#include "session/recording/FrameRecorder.h"
#include "session/settings/SettingsPersistence.h"

namespace korvix::core {
class CKorvixUSB3T2SimpleSdk;
}
namespace korvix::dialogs {
class AnalogDialog;
class DialogLogic;
class ImageDialog;
}  // namespace korvix::dialogs
namespace korvix::pipeline {
struct PipelineChanges;
}

namespace korvix {

// The session behind one camera handle. It owns the device core, the frame images, the
// preview window and the acquisition worker, caches every setting (SessionSettings) and
// records why its operations fail. Each concern lives in a file of its own:
//   Korvix.cpp                creation, initialisation, destruction, error reporting
//   DeviceNotifications.cpp   WM_DEVICECHANGE to the notify window on plug and unplug
//   SessionDevices.cpp        enumeration, device selection, names, camera info, identity
//   SessionAcquisition.cpp    Prepare and the acquisition modes
//   SessionCaptureSetup.cpp   colour mode, sub-sampling, wait time, capture window
//   SessionWorkers.cpp        the preview and trigger workers: one frame from read to message
//   mask/SessionMask.cpp              mask files and reference capture
//   recording/SessionRecording.cpp    image files and recording into AVI files
//   SessionDialogs.cpp        hosting the settings dialogs
//
// Acquisition modes (mode_):
//
//        +--Capture--> capture (2) --+
//        |                           |
//   idle (0) --StartPreview--> preview (1) --StopPreview / Close--> idle
//        |                           |
//        +--Trigger--> trigger (3) --+
//
// Capture and SnapShot are refused in preview and trigger mode, StartPreview in capture and
// trigger mode, Trigger in preview, capture and trigger mode; capture-window changes and
// device selection are refused while a worker (preview or trigger) runs. Colour mode and
// sub-sampling are stored and take effect at the next Prepare.
//
// Threads and locks, outermost first (docs/locking.md):
//   controlLock_  serialises the acquisition controls (mode changes, Prepare, SnapShot,
//                 window changes) of the application's threads; never taken by a worker.
//   frameLock     guards the frame images and the callback target; held by a worker from
//                 the frame read to the end of its copy or drawing, by SnapShot, GetImage
//                 and the configuration-file load.
//   maskLock      guards the mask references; taken inside frameLock.
// Leaf locks inside: the settings, the error history, the frame messages, the preview
// window's own lock. Fields shared with the worker without a lock are atomics.
class CKorvix {
public:
    static constexpr int kProductCode = 0x3260;  // the one camera model the session serves
    static constexpr int kSensorWidth = 1280;
    static constexpr int kSensorHeight = 1024;
    // Entries of the caller's name table of EnumDevice, and characters per entry.
    static constexpr int kNameTableEntries = 10;
    static constexpr int kNameLength = 256;

    CKorvix();
    virtual ~CKorvix();
    CKorvix(const CKorvix &) = delete;
    CKorvix &operator=(const CKorvix &) = delete;

    // Creates the device core and the images, seeds or reads the settings store, selects
    // the only attached camera if there is exactly one and loads its settings.
    // `notifyWindow` (may be null) receives WM_CAMERA_ERROR. 1, or 0 with CAMERR_MEMORY
    // when something could not be allocated (every later call then fails cleanly).
    int Initialize(KorvixWindow notifyWindow);

    // ---- Device selection and identity (SessionDevices.cpp) ----
    int EnumDevice(char (*names)[kNameLength]);
    int EnumDeviceW(wchar_t (*names)[kNameLength]);
    int SetDeviceNumber(int number);
    int GetDeviceName(int number, char *name, int size);
    int GetDeviceNameW(int number, wchar_t *name, int size);
    int GetCameraInfo(KorvixCameraInfo *info);
    int Width() const;
    int Height() const;
    int ReadSerialNumber(char *out, int size);
    int ReadSerialNumberW(wchar_t *out, int size);
    int ReadSromID(int address, int *ok);
    int WriteSromID(int address, int value);

    // ---- Acquisition (SessionAcquisition.cpp) ----
    int Capture();
    int Preview();
    int CallBackPreview(KorvixWindow frameWindow, uint8_t *buffer, int size, int rowOrder);
    int StartPreview();
    int StopPreview();
    int SnapShot(uint8_t *buffer, int size, int rowOrder);
    int Trigger(KorvixWindow frameWindow, uint8_t *buffer, int size, int rowOrder);
    int GetImage(uint8_t *buffer, int size, int rowOrder);
    int Close();

    // ---- Acquisition set-up (SessionCaptureSetup.cpp) ----
    int SetColorMode(int bits);
    int GetColorMode() const;
    int SetSubSample(int mode);
    int GetSubSample() const;
    int SetWaitTime(int ms);
    int GetWaitTime() const;
    int SetCaptureWindow(int width, int height);
    int SetCaptureWindowEx(int hTotal, int hStart, int hEffective, int vTotal, int vStart,
                           int vEffective);
    int GetCaptureWindowEx(int *hTotal, int *hStart, int *hEffective, int *vTotal, int *vStart,
                           int *vEffective) const;
    int SetPreviewWindow(KorvixWindow parent, int left, int top, int right, int bottom);
    int LoadConfigFile(const char *file);

    // ---- Defect mask (mask/SessionMask.cpp) ----
    int LoadMaskFile(const char *file);
    int SaveMaskFile(const char *file);
    int UpdateMaskData(int which);
    // The switches of the mask correction (setting 103) and the defect correction (102).
    void SetMaskFilter(int on) { maskFilter_ = on != 0 ? 1 : 0; }
    int MaskFilter() const { return maskFilter_.load(); }
    void SetDotFilter(int on) { dotFilter_ = on != 0 ? 1 : 0; }
    int DotFilter() const { return dotFilter_.load(); }

    // ---- Image files and recording (recording/SessionRecording.cpp) ----
    int SaveImage(const char *file, int fileType);
    int Record(const char *file, int durationMs, int showWindow);
    // Ends a running recording, its file closed like one that ran its course, and waits
    // for the recording worker. Harmless when none runs.
    void StopRecording();

    // ---- Settings dialogs (SessionDialogs.cpp) ----
    // Each runs its dialog modally on the calling thread and returns 1 once it closed; 0
    // with CAMERR_NOT_READY without an open device, with CAMERR_WINDOW when no dialog host
    // could show it. The image dialog restores the image settings unless it ends with OK;
    // the analog dialog puts gain, exposure and mirrors back on the device; the camera
    // dialog stops (or pauses) acquisition around it and reloads size and camera settings
    // after OK.
    int SetImageDlg(KorvixWindow parent);
    int SetAnalogDlg(KorvixWindow parent);
    int SetCameraDlg(KorvixWindow parent);

    // ---- Error reporting ----
    // Records `code` in the history and, when a notify window was given, posts
    // WM_CAMERA_ERROR with the code to it.
    void PushError(uint32_t code);
    // Announces `code` without recording it: posts WM_CAMERA_ERROR to the notify window
    // even when that is null (the message then reaches the handler with a null window).
    void PostError(uint32_t code);
    // Korvix_GetLastError: pops the newest code, 0 when none.
    int GetLastError() { return static_cast<int>(errors_.Pop()); }

    KorvixWindow NotifyWindow() const { return notifyWindow_; }
    // Borrowed; null before Initialize or when it failed.
    core::CKorvixUSB3T2SimpleSdk *Core() const { return core_.get(); }
    // The cached settings (the setting exports and tests reach them here).
    SessionSettings &Settings() { return settings_; }
    // The snapshot's wait for a frame in ms (for tests).
    uint32_t FrameTimeout() const { return frameTimeout_.load(); }
    // The configuration pairs last loaded (a copy, taken under frameLock).
    std::vector<persistence::ConfigPair> ConfigPairs();

private:
    // Where the callback modes deliver frames; guarded by frameLock.
    struct CallbackTarget {
        KorvixWindow frameWindow = nullptr;
        uint8_t *userBuffer = nullptr;
        int userBufferSize = 0;
        int rowOrder = 0;
    };

    // SessionDevices.cpp
    // Device selection's write-back of the cached camera settings.
    void WriteCameraSettingsToDevice();
    // The part both write-backs (selection and Prepare) share, in this order: global gain,
    // colour gains green1, red, blue, green2, then the exposure (in seconds where the device
    // takes a real exposure).
    void WriteGainsAndExposure(const CameraSettings &camera);
    int FormatDeviceName(int number, char *name, int size);

    // SessionAcquisition.cpp
    int Prepare();
    bool AllocateImages(int colorIndex, int32_t width, int32_t height);
    void WriteAcquisitionSettings();
    bool CreatePreviewWindowIfWanted();
    bool StartWorker();
    // Stops the worker and the transfer, back to idle; waits until the frame messages
    // already posted have been handled.
    void StopAcquisition();
    void StoreCallbackTarget(KorvixWindow frameWindow, uint8_t *buffer, int size, int rowOrder);
    // Copies the colour index's output image into a caller's buffer; on a short buffer
    // posts WM_CAMERA_FRAME with lParam 5 to `frameWindow` and records CAMERR_MEMORY.
    bool CopyToCaller(const imaging::FrameImage &output, uint8_t *buffer, int size, int rowOrder,
                      KorvixWindow frameWindow);

    // SessionCaptureSetup.cpp
    bool CaptureWindowValid(const CaptureWindow &window, int subSample) const;

    // SessionWorkers.cpp
    void RunWorker();
    void PreviewWorker();
    void TriggerWorker();
    // WaitFrame up to `ms` in short slices, so that with `endWhenStopped` a cleared run
    // flag ends the wait at once; a frame event whose frame was already taken is waited past.
    int WaitForFrame(uint32_t ms, bool endWhenStopped);
    // Reads the newest frame into the raw image of `colorIndex` and lays it out; false when
    // there is no frame of the image's geometry.
    bool ReceiveFrame(int colorIndex);
    KorvixFrameInfo MakeFrameInfo(int colorIndex, uint8_t *userBuffer, int32_t rate10) const;
    void DrawPreview(int colorIndex);
    // Copies the output image into the application's buffer, if one is set. False when the
    // frame is not to be announced: the copy failed, or the previous frame's handler may
    // still read the buffer and this frame was left out for the application.
    bool CopyToCallback(int colorIndex, KorvixWindow frameWindow);

    bool WorkerRunning() const;
    // SessionDialogs.cpp
    bool DeviceReadyForDialog();
    int RunSettingsDialog(dialogs::DialogLogic &dialog, KorvixWindow parent);
    // The thread that processed a frame: shows what the pipeline stored on its own (the
    // automatic exposure's gain or exposure, measured balance and gray values) in the open
    // dialogs.
    void ShowInOpenDialogs(const pipeline::PipelineChanges &changes);
    // recording/SessionRecording.cpp
    void RecordingWorker();
    // The pipeline's mask step: maskLock and the two correction switches.
    mask::MaskStepSwitches MaskSwitches() {
        return {&maskLock, maskFilter_ != 0, dotFilter_ != 0,
                mask::ReadoutTurn::OfOrientation(sensorOrientation_.load())};
    }

    std::unique_ptr<core::CKorvixUSB3T2SimpleSdk> core_;
    SessionImages images_;
    SessionSettings settings_;
    ErrorHistory errors_;
    session::PreviewWindow preview_{this};
    FrameMessages frameMessages_;
    DeviceNotifications deviceNotifications_;  // watches the core's controller
    FrameRateCounter frameRate_;  // worker only, apart from the restart before it starts

    platform::CriticalSection controlLock_;
    // Held around the trigger worker's run-flag check with its transfer start, and around
    // the stop's run-flag clear with its transfer stop: a worker never starts a transfer
    // after the stop has stopped it.
    platform::CriticalSection transferLock_;
    platform::CriticalSection frameLock;
    platform::CriticalSection maskLock;

    KorvixWindow notifyWindow_ = nullptr;
    int deviceNumber_ = -1;          // the selected device number; -1 while none
    bool settingsLoaded_ = false;    // set at the first selection: later switches save first
    CallbackTarget callback_;        // guarded by frameLock
    std::vector<persistence::ConfigPair> configPairs_;  // guarded by frameLock

    std::atomic<int> mode_{0};         // 0 idle, 1 preview, 2 capture, 3 trigger
    std::atomic<int> runFlag_{0};      // worker: 0 stop, 1 run, 2 paused
    std::atomic<int> newFrame_{0};     // 1 when a frame was converted since the recorder looked
    std::atomic<int> haveFrame_{0};    // 1 once a frame has been converted
    std::atomic<uint32_t> frameTimeout_{3000};  // snapshot wait; 6000 once Trigger was used
    std::atomic<int> maskFilter_{0};  // mask correction switch (setting 103)
    std::atomic<int> dotFilter_{0};   // defect correction switch (setting 102)
    std::atomic<int> sensorOrientation_{0};  // the selected sensor's, read at Prepare
    platform::WorkerThread worker_;  // started and joined under controlLock_
    std::atomic<int> maskBusy_{0};   // 1 while UpdateMaskData runs
    // The recording flag: set by Record before the recording worker starts, cleared by the
    // worker when the recording ends and by StopRecording.
    std::atomic<int> recording_{0};
    recording::FrameRecorder recorder_;    // opened by Record, then the recording worker's
    platform::WorkerThread recordWorker_;  // started and joined under controlLock_
    // The open settings dialogs, for updates from other threads. dialogLock_ is a leaf
    // lock: held only to look at or change these two pointers and to post to the dialog.
    std::mutex dialogLock_;
    dialogs::ImageDialog *imageDialog_ = nullptr;
    dialogs::AnalogDialog *analogDialog_ = nullptr;
};

}  // namespace korvix
