#pragma once

// The settings a session caches: image settings (filters, colour balance, gray correction),
// camera settings (gains, exposure, mirrors, ...), the capture window and the per-camera
// entries. They are written to the camera when a device is selected or an acquisition is
// prepared, saved per camera in the settings store, and read once per frame by the
// processing pipeline.
//
// Who writes what:
// - application threads (exports, settings load, dialogs): every field;
// - the acquisition worker (frame pipeline, under frameLock): the automatic exposure writes
//   the global gain, the four colour gains, the exposure and exposureSeconds; the automatic
//   balance writes the three balance values and clears the automatic-balance flags; the
//   gray one-shot measurement writes the gray gains and offsets and counts its counter down.
//
// All access goes through SessionSettings, whose leaf lock makes every copy and update
// atomic. The pipeline copies a block out once per frame (a few dozen integers) and
// writes back only the fields it changes, inside an update, so a value an application
// thread stores meanwhile is never overwritten by a stale copy.

#include <cstdint>
#include <mutex>

namespace korvix {

// Image and gray-filter settings (filter ids 1 to 12 and 19 to 28).
struct ImageSettings {
    int32_t brightness = 0;  // -255..255, 0 neutral
    int32_t contrast = 0;    // -127..127, 0 neutral
    int32_t hue = 0;         // -360..360 degrees
    int32_t saturation = 0;  // -255..255
    int32_t sharpness = 0;   // 0..30, 0 neutral
    int32_t balanceRed = 0;  // colour balance in percent, 0..400 (100 = unity)
    int32_t balanceGreen = 0;
    int32_t balanceBlue = 0;
    int32_t gamma = 0;      // percent, 0..200, 100 neutral
    int32_t bayerMode = 0;  // Bayer phase of the sensor, 0..3
    int32_t grayMode = 0;   // 0 off, 1 per-site gain and offset, 2 through colour to gray
    // Per-site gray gains (128 = unity) and offsets, indexed R, G1, G2, B
    // (imaging::GraySite).
    int32_t grayGain[4] = {0, 0, 0, 0};
    int32_t grayOffset[4] = {0, 0, 0, 0};
    // Automatic balance: the flag itself, and the two flags that mark a one-shot balance
    // (all three are cleared after the one measurement).
    int32_t autoBalance = 0;
    int32_t autoBalanceOnceA = 0;
    int32_t autoBalanceOnceB = 0;
    // Gray one-shot measurements still to run: a positive count is counted down per frame,
    // a negative value measures every frame, 0 none.
    int32_t grayOneShot = 0;
};

// Camera settings as last written to (or read from) the device.
struct CameraSettings {
    int32_t globalGain = 0;
    int32_t colorGainGreen1 = 0;
    int32_t colorGainRed = 0;
    int32_t colorGainBlue = 0;
    int32_t colorGainGreen2 = 0;
    int32_t exposure = 0;  // device units
    int32_t mirrorV = 0;
    int32_t mirrorH = 0;
    int32_t autoExposureMode = 0;  // 0 off, 1 exposure, 2 gain
    int32_t blackLevel = 0;
    int32_t cooler = 0;
    int32_t auxSwitch = 0;
    int32_t gainMode = 0;
    double exposureSeconds = 0.0;  // for devices that take a real exposure
};

// The capture window and the buffer count of its size preset.
struct CaptureWindow {
    int32_t totalWidth = 1280;
    int32_t totalHeight = 1024;
    int32_t width = 1280;
    int32_t height = 1024;
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t bufferCount = 4;  // stored and restored with the preset only
};

// The per-camera entries of the settings store.
struct CameraEntries {
    int32_t colorIndex = 0;  // 0..5 for 8, 16, 24, 32, 48, 64 bits per pixel
    int32_t subSample = 0;   // 0 or 1
    int32_t waitTime = 10;   // preview worker pause, ms
    int32_t clock = 0;       // kept only
};

// The four blocks behind one leaf lock. Copies and updates may be called from any
// thread; an update's callable runs under the lock and must not call back into this
// object.
class SessionSettings {
public:
    SessionSettings() = default;
    SessionSettings(const SessionSettings &) = delete;
    SessionSettings &operator=(const SessionSettings &) = delete;

    ImageSettings Image() const { return Read(image_); }
    CameraSettings Camera() const { return Read(camera_); }
    CaptureWindow Window() const { return Read(window_); }
    CameraEntries Entries() const { return Read(entries_); }

    void SetImage(const ImageSettings &value) { Write(image_, value); }
    void SetCamera(const CameraSettings &value) { Write(camera_, value); }
    void SetWindow(const CaptureWindow &value) { Write(window_, value); }
    void SetEntries(const CameraEntries &value) { Write(entries_, value); }

    // Runs `change(block &)` under the lock: a read-modify-write of single fields.
    template <class Change> void UpdateImage(Change &&change) { Update(image_, change); }
    template <class Change> void UpdateCamera(Change &&change) { Update(camera_, change); }
    template <class Change> void UpdateWindow(Change &&change) { Update(window_, change); }
    template <class Change> void UpdateEntries(Change &&change) { Update(entries_, change); }

private:
    template <class Block> Block Read(const Block &block) const {
        std::lock_guard<std::mutex> hold(lock_);
        return block;
    }
    template <class Block> void Write(Block &block, const Block &value) {
        std::lock_guard<std::mutex> hold(lock_);
        block = value;
    }
    template <class Block, class Change> void Update(Block &block, Change &change) {
        std::lock_guard<std::mutex> hold(lock_);
        change(block);
    }

    mutable std::mutex lock_;
    ImageSettings image_;
    CameraSettings camera_;
    CaptureWindow window_;
    CameraEntries entries_;
};

}  // namespace korvix
