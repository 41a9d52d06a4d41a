#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "KorvixSdk_Tesslin.h"
#include "session/ErrorHistory.h"
#include "session/SessionSettings.h"

namespace korvix::core {
class CKorvixUSB3T2SimpleSdk;
}

namespace korvix {

// The session behind one camera handle. It owns the device core, records why its
// operations fail (the error history, announced to the application's notify window),
// and caches the camera's settings. Each concern lives in a file of its own:
//   Korvix.cpp            creation, initialisation, destruction, error reporting
//   SessionDevices.cpp    enumeration, device selection, names, camera information, identity
//
// Threads: the error reporting is thread-safe; the device-selection operations run on
// the application's threads and are refused while an acquisition worker runs.
class CKorvix {
public:
    // The product code of the one camera model the session serves.
    static constexpr int kProductCode = 0x3260;
    static constexpr int kSensorWidth = 1280;
    static constexpr int kSensorHeight = 1024;
    // Entries of the caller's name table of EnumDevice, and characters per entry.
    static constexpr int kNameTableEntries = 10;
    static constexpr int kNameLength = 256;

    CKorvix();
    virtual ~CKorvix();
    CKorvix(const CKorvix &) = delete;
    CKorvix &operator=(const CKorvix &) = delete;

    // Creates the device core, selects the only attached camera if there is exactly one.
    // `notifyWindow` (may be null) receives WM_CAMERA_ERROR. 1, or 0 with CAMERR_MEMORY
    // when the core could not be made (every later call then fails cleanly).
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

private:
    // Writes the cached camera settings to a newly opened device.
    void WriteCameraSettingsToDevice();
    // True while a preview or trigger worker runs on this session.
    bool WorkerRunning() const;
    // The narrow name of a device number into a 256-byte buffer; the GetDeviceName result.
    int FormatDeviceName(int number, char *name, int size);

    std::unique_ptr<core::CKorvixUSB3T2SimpleSdk> core_;
    SessionSettings settings_;
    ErrorHistory errors_;
    KorvixWindow notifyWindow_ = nullptr;
    int deviceNumber_ = -1;     // the selected device number; -1 while none
    bool settingsLoaded_ = false;  // set once a device was selected: later switches save first
    std::atomic<int> mode_{0};  // 0 idle, 1 preview, 2 capture, 3 trigger
};

}  // namespace korvix
