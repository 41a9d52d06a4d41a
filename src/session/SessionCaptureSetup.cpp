// What the next acquisition will be: colour mode, sub-sampling, the preview worker's pause,
// the capture window and the preview window's placement.

#include "core/KorvixUSB3T2SimpleSdk.h"
#include "session/Korvix.h"

namespace korvix {
namespace {

// Sub-sampling modes the sensor has but the session does not offer.
bool SubSampleRefused(int subSample) {
    return subSample == 2 || subSample == 3 || subSample == 17 || subSample == 18 ||
           subSample == 19;
}

}  // namespace

bool CKorvix::CaptureWindowValid(const CaptureWindow &window, int subSample) const {
    const int64_t right = int64_t{window.startX} + window.width;
    const int64_t bottom = int64_t{window.startY} + window.height;
    return window.width >= 0 && window.height >= 0 && window.startX >= 0 && window.startY >= 0 &&
           window.width <= kSensorWidth && right <= kSensorWidth && window.height <= kSensorHeight &&
           bottom <= kSensorHeight && !SubSampleRefused(subSample);
}

int CKorvix::SetColorMode(int bits) {
    const int colorIndex = ColorIndexOfBits(bits);
    bool refused = colorIndex < 0;
    if (!refused && core_) {
        const bool eightBit = bits == 8 || bits == 32;
        refused = (eightBit && !core_->CanOutput8Bit()) || (bits >= 24 && !core_->CanOutputColor());
    }
    if (refused) {
        PushError(CAMERR_PARAMETER);
        return 0;
    }
    settings_.UpdateEntries([&](CameraEntries &entries) { entries.colorIndex = colorIndex; });
    return 1;
}

int CKorvix::GetColorMode() const {
    const int bits = BitsOfColorIndex(settings_.Entries().colorIndex);
    return bits == 0 ? -1 : bits;
}

int CKorvix::SetSubSample(int mode) {
    if (mode != 0 && mode != 1) return 0;
    settings_.UpdateEntries([&](CameraEntries &entries) { entries.subSample = mode; });
    return 1;
}

int CKorvix::GetSubSample() const { return settings_.Entries().subSample; }

int CKorvix::SetWaitTime(int ms) {
    if (ms < 0) return 0;
    settings_.UpdateEntries([&](CameraEntries &entries) { entries.waitTime = ms; });
    return 1;
}

int CKorvix::GetWaitTime() const { return settings_.Entries().waitTime; }

int CKorvix::SetCaptureWindowEx(int hTotal, int hStart, int hEffective, int vTotal, int vStart,
                                int vEffective) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    platform::CriticalSectionLock control(controlLock_);
    // A window changed under a running worker would corrupt its frames.
    if (WorkerRunning()) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    if ((!core_->GetWidthVariable() && hEffective != kSensorWidth) ||
        (!core_->GetHeightVariable() && vEffective != kSensorHeight)) {
        PushError(CAMERR_PARAMETER);
        return 0;
    }
    CaptureWindow window = settings_.Window();
    window.totalWidth = hTotal;
    window.startX = hStart;
    window.width = hEffective;
    window.totalHeight = vTotal;
    window.startY = vStart;
    window.height = vEffective;
    settings_.SetWindow(window);
    const int subSample = settings_.Entries().subSample;
    // The values stay stored either way; a window the device refuses is reported.
    if (!CaptureWindowValid(window, subSample) ||
        !core_->SetCaptureWindow(hStart, vStart, hEffective, vEffective, subSample)) {
        PushError(CAMERR_CAPTURE_WINDOW);
        return 0;
    }
    return 1;
}

int CKorvix::GetCaptureWindowEx(int *hTotal, int *hStart, int *hEffective, int *vTotal,
                                int *vStart, int *vEffective) const {
    const CaptureWindow window = settings_.Window();
    if (hTotal) *hTotal = window.totalWidth;
    if (hStart) *hStart = window.startX;
    if (hEffective) *hEffective = window.width;
    if (vTotal) *vTotal = window.totalHeight;
    if (vStart) *vStart = window.startY;
    if (vEffective) *vEffective = window.height;
    return 1;
}

int CKorvix::SetCaptureWindow(int width, int height) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    platform::CriticalSectionLock control(controlLock_);
    if (WorkerRunning()) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    CaptureWindow window = settings_.Window();
    if (!persistence::FindSizePreset(width, height, window)) {
        PushError(CAMERR_WINDOW);
        return 0;
    }
    const int subSample = settings_.Entries().subSample;
    if (!CaptureWindowValid(window, subSample)) {
        PushError(CAMERR_CAPTURE_WINDOW);
        window.totalWidth = window.width = kSensorWidth;
        window.totalHeight = window.height = kSensorHeight;
        window.startX = window.startY = 0;
    }
    settings_.SetWindow(window);
    core_->SetCaptureWindow(window.startX, window.startY, window.width, window.height, subSample);
    return 1;
}

int CKorvix::SetPreviewWindow(KorvixWindow parent, int left, int top, int right, int bottom) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    preview_.SetPreviewWindow(parent, left, top, right, bottom);
    return 1;
}

}  // namespace korvix
