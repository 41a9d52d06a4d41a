// Preparing an acquisition and the acquisition modes: capture, preview (with and without
// callback), trigger, snapshot, get-image and close.

#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/Clock.h"
#include "session/Korvix.h"
#include "session/pipeline/FramePipeline.h"

namespace korvix {
namespace {

constexpr uint32_t kTriggerTimeoutMs = 6000;
constexpr int kTransferContinuous = 0;
constexpr int kTransferSingleFrame = 1;

}  // namespace

bool CKorvix::AllocateImages(int colorIndex, int32_t width, int32_t height) {
    platform::CriticalSectionLock frames(frameLock);
    const bool sixteenBit = IsSixteenBitIndex(colorIndex);
    // The raw image of the transfer width (8-bit images get the gray palette), rgbImage24
    // for every index but 1 (the colour output, or the display reduction of the deeper
    // colour images and of gray mode 2), and the deeper colour output.
    if (sixteenBit) {
        if (images_.rawImage16->Create(width, height, 16) != 1) return false;
    } else if (images_.rawImage8->Create(width, height, 8) != 1) {
        return false;
    }
    if (colorIndex != 1 && images_.rgbImage24->Create(width, height, 24) != 1) return false;
    if (colorIndex == 3 && images_.rgbImage32->Create(width, height, 32) != 1) return false;
    if (colorIndex == 4 && images_.rgbImage48->Create(width, height, 48) != 1) return false;
    if (colorIndex == 5 && images_.rgbImage64->Create(width, height, 64) != 1) return false;
    return images_.workImage->CopyFormat(*images_.OutputImageOf(colorIndex)) == 1;
}

void CKorvix::WriteAcquisitionSettings() {
    core::CKorvixUSB3T2SimpleSdk &device = *core_;
    const CameraSettings camera = settings_.Camera();
    device.SetMirrorV(camera.mirrorV);
    device.SetMirrorH(camera.mirrorH);
    device.SetTriggerMode(0, 1);
    WriteGainsAndExposure(camera);
    device.SetGainMode(0);
    if (device.HasGainMode()) device.SetGainMode(camera.gainMode);
    if (device.IsBlackLevelSupported()) device.SetBlackLevel(static_cast<unsigned>(camera.blackLevel));
}

int CKorvix::Prepare() {
    if (deviceNumber_ < 0 || !core_->IsDevicePresent(deviceNumber_)) {
        PushError(CAMERR_OPEN);
        return 0;
    }
    const CaptureWindow window = settings_.Window();
    const CameraEntries entries = settings_.Entries();
    if (!CaptureWindowValid(window, entries.subSample)) {
        PushError(CAMERR_CAPTURE_WINDOW);
        return 0;
    }
    int32_t width = 0;
    int32_t height = 0;
    session::PreviewWindow::PreviewClientSize(window.width, window.height, entries.subSample, width,
                                              height);
    if (!AllocateImages(entries.colorIndex, width, height)) {
        PushError(CAMERR_MEMORY);
        return 0;
    }
    core_->SetBitMode(IsSixteenBitIndex(entries.colorIndex) ? 1 : 0);
    if (!core_->SetCaptureWindow(window.startX, window.startY, window.width, window.height,
                                 entries.subSample)) {
        PushError(CAMERR_CAPTURE_WINDOW);
        return 0;
    }
    WriteAcquisitionSettings();
    core_->ApplyGeometry();
    // How the upright frames turn the sensor's read-out, for the mask step's pairing.
    sensors::SensorParams params{};
    if (core_->CopyParams(&params) == 1) sensorOrientation_ = params.orientation;
    if (!preview_.PrepareDisplayImage(entries.colorIndex)) {
        PushError(CAMERR_MEMORY);
        return 0;
    }
    return 1;
}

int CKorvix::Capture() {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    platform::CriticalSectionLock control(controlLock_);
    const int mode = mode_.load();
    if (mode == 2) return 1;
    if (mode != 0) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    if (!Prepare()) return 0;
    mode_ = 2;
    return 1;
}

int CKorvix::StartPreview() {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    platform::CriticalSectionLock control(controlLock_);
    const int mode = mode_.load();
    if (mode == 1) return 1;
    if (mode != 0) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    if (!Prepare()) return 0;
    if (!core_->StartTransfer(kTransferContinuous)) {
        StopAcquisition();
        PushError(CAMERR_IO);
        return 0;
    }
    mode_ = 1;
    if (!StartWorker()) {
        StopAcquisition();
        PushError(CAMERR_THREAD);
        return 0;
    }
    return 1;
}

bool CKorvix::StartWorker() {
    frameRate_.Restart(platform::TickCount());
    runFlag_ = 1;
    worker_.Join();  // a worker that ended by itself (device lost) is collected first
    return worker_.Start([this] { RunWorker(); });
}

void CKorvix::StopAcquisition() {
    platform::CriticalSectionLock control(controlLock_);
    {
        platform::CriticalSectionLock transfer(transferLock_);
        runFlag_ = 0;
        if (mode_.exchange(0) != 0) core_->StopTransfer(1);
    }
    worker_.Join();
    StopRecording();
    // Once this returns the application gets no frame message of the acquisition any more
    // and may free its buffer.
    frameMessages_.WaitHandled();
}

int CKorvix::StopPreview() {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    StopAcquisition();
    return 1;
}

void CKorvix::StoreCallbackTarget(KorvixWindow frameWindow, uint8_t *buffer, int size,
                                  int rowOrder) {
    platform::CriticalSectionLock frames(frameLock);
    callback_ = CallbackTarget{frameWindow, buffer, size, rowOrder};
}

bool CKorvix::CreatePreviewWindowIfWanted() {
    if (!preview_.IsWanted()) return true;
    const CaptureWindow window = settings_.Window();
    if (preview_.CreatePreviewWindow(window.width, window.height, settings_.Entries().subSample) ==
            nullptr ||
        !preview_.GetDC()) {
        PushError(CAMERR_WINDOW);
        return false;
    }
    return true;
}

int CKorvix::Preview() {
    return CallBackPreview(nullptr, nullptr, 0, 0);
}

int CKorvix::CallBackPreview(KorvixWindow frameWindow, uint8_t *buffer, int size, int rowOrder) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    platform::CriticalSectionLock control(controlLock_);
    // A running preview keeps delivering, now to the new target.
    StoreCallbackTarget(frameWindow, buffer, size, rowOrder);
    if (!CreatePreviewWindowIfWanted()) return 0;
    if (!StartPreview()) {
        Close();
        PushError(CAMERR_FRAME);
        return 0;
    }
    return 1;
}

int CKorvix::Trigger(KorvixWindow frameWindow, uint8_t *buffer, int size, int rowOrder) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    platform::CriticalSectionLock control(controlLock_);
    // Never two workers on one session: a running trigger mode is refused like the others.
    if (mode_.load() != 0) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    StoreCallbackTarget(frameWindow, buffer, size, rowOrder);
    if (!CreatePreviewWindowIfWanted()) return 0;
    if (!Prepare()) {
        Close();
        return 0;
    }
    mode_ = 3;
    frameTimeout_ = kTriggerTimeoutMs;
    core_->SetDataTimeout(kTriggerTimeoutMs);
    core_->SetTriggerMode(1, 0);
    if (!StartWorker()) {
        Close();
        PushError(CAMERR_THREAD);
        return 0;
    }
    return 1;
}

int CKorvix::SnapShot(uint8_t *buffer, int size, int rowOrder) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    platform::CriticalSectionLock control(controlLock_);
    const int mode = mode_.load();
    if (mode == 1 || mode == 3) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    if (mode == 0 && !Prepare()) return 0;
    const bool keepTransfer = mode == 2;

    platform::CriticalSectionLock frames(frameLock);
    const int colorIndex = settings_.Entries().colorIndex;
    const KorvixWindow frameWindow = callback_.frameWindow;
    auto fail = [&](int code) {
        if (!keepTransfer) core_->StopTransfer(1);
        PushError(code);
        return 0;
    };
    if (!core_->StartTransfer(kTransferSingleFrame) || WaitForFrame(frameTimeout_, false) != 3) {
        return fail(CAMERR_FRAME);
    }
    if (!ReceiveFrame(colorIndex)) {
        PushError(CAMERR_FRAME);
        if (frameWindow != nullptr) frameMessages_.PostFailure(frameWindow, CAMERR_FRAME);
        if (!keepTransfer) core_->StopTransfer(1);
        return 0;
    }
    ShowInOpenDialogs(
        pipeline::ProcessFrame(images_, settings_, core_.get(), colorIndex, MaskSwitches()));
    haveFrame_ = 1;
    if (buffer != nullptr && size != 0 &&
        !CopyToCaller(*images_.OutputImageOf(colorIndex), buffer, size, rowOrder, frameWindow)) {
        return fail(CAMERR_MEMORY);
    }
    if (!keepTransfer) core_->StopTransfer(1);
    return 1;
}

bool CKorvix::CopyToCaller(const imaging::FrameImage &output, uint8_t *buffer, int size,
                           int rowOrder, KorvixWindow frameWindow) {
    if (size < 0 || static_cast<size_t>(size) < output.SizeBytes() || buffer == nullptr) {
        PushError(CAMERR_MEMORY);
        if (frameWindow != nullptr) frameMessages_.PostFailure(frameWindow, CAMERR_MEMORY);
        return false;
    }
    // Row order 0 asks for the last stored row first, as a bottom-up bitmap holds it.
    return output.CopyTo(buffer, static_cast<size_t>(size), rowOrder == 0) == 1;
}

int CKorvix::GetImage(uint8_t *buffer, int size, int rowOrder) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    platform::CriticalSectionLock frames(frameLock);
    const imaging::FrameImage *output = images_.OutputImageOf(settings_.Entries().colorIndex);
    if (output == nullptr) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    if (output->IsEmpty() || buffer == nullptr) {
        PushError(CAMERR_MEMORY);
        return 0;
    }
    if (!CopyToCaller(*output, buffer, size, rowOrder, callback_.frameWindow)) {
        PushError(CAMERR_MEMORY);
        return 0;
    }
    return 1;
}

int CKorvix::Close() {
    if (!core_) return 1;
    platform::CriticalSectionLock control(controlLock_);
    preview_.DestroyPreviewWindow();
    StopAcquisition();
    haveFrame_ = 0;
    core_->StopTransfer(1);
    preview_.UnregisterWindowClass();
    return 1;
}

}  // namespace korvix
