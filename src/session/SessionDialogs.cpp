// Hosting the settings dialogs: what the session does around each one (copies and
// restores, pausing acquisition, reloading settings) and the automatic exposure's updates
// of an open analog dialog.
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "dialogs/AnalogDialog.h"
#include "dialogs/CameraDialog.h"
#include "dialogs/DialogModule.h"
#include "dialogs/ImageDialog.h"
#include "session/Korvix.h"
#include "session/pipeline/FramePipeline.h"

namespace korvix {

namespace {

constexpr int kDialogOk = 1;

}  // namespace

bool CKorvix::DeviceReadyForDialog() {
    if (!core_ || core_->GetOpenDeviceNumber() < 0) {
        PushError(CAMERR_NOT_READY);
        return false;
    }
    return true;
}

// The dialog's result, or 0 with CAMERR_WINDOW when no host could show it.
int CKorvix::RunSettingsDialog(dialogs::DialogLogic &dialog, KorvixWindow parent) {
    const int result = dialogs::RunDialog(dialog, parent);
    if (result == dialogs::kDialogHostUnavailable) {
        PushError(CAMERR_WINDOW);
        return 0;
    }
    return result;
}

int CKorvix::SetImageDlg(KorvixWindow parent) {
    if (!DeviceReadyForDialog()) return 0;
    const ImageSettings before = settings_.Image();
    const int colorIndex = settings_.Entries().colorIndex;
    dialogs::ImageDialog dialog(settings_, colorIndex == 0 || colorIndex == 1);
    {
        std::lock_guard<std::mutex> hold(dialogLock_);
        imageDialog_ = &dialog;
    }
    const int result = RunSettingsDialog(dialog, parent);
    if (result != kDialogOk) settings_.SetImage(before);
    {
        std::lock_guard<std::mutex> hold(dialogLock_);
        imageDialog_ = nullptr;
    }
    return result == 0 ? 0 : 1;
}

int CKorvix::SetAnalogDlg(KorvixWindow parent) {
    if (!DeviceReadyForDialog()) return 0;
    core::CKorvixU3T2Base &device = *core_;
    const bool exposureInSeconds = device.IsExposureTimeExSupported() != 0;
    double seconds = 0.0;
    const bool haveSeconds = exposureInSeconds && device.GetExposureTimeEx(&seconds) != 0;
    settings_.UpdateCamera([&](CameraSettings &camera) {
        camera.globalGain = device.GetGlobalGain();
        camera.colorGainGreen1 = device.GetColorGain(sensors::ColorGainChannel::Green1);
        camera.colorGainRed = device.GetColorGain(sensors::ColorGainChannel::Red);
        camera.colorGainBlue = device.GetColorGain(sensors::ColorGainChannel::Blue);
        camera.colorGainGreen2 = device.GetColorGain(sensors::ColorGainChannel::Green2);
        camera.exposure = device.GetExposureTime();
        if (haveSeconds) camera.exposureSeconds = seconds;
        camera.mirrorV = device.GetMirrorV();
        camera.mirrorH = device.GetMirrorH();
    });
    const CameraSettings before = settings_.Camera();
    const int32_t bayerBefore = settings_.Image().bayerMode;

    dialogs::AnalogDialog dialog(settings_, device);
    {
        std::lock_guard<std::mutex> hold(dialogLock_);
        analogDialog_ = &dialog;
    }
    const int result = RunSettingsDialog(dialog, parent);
    {
        std::lock_guard<std::mutex> hold(dialogLock_);
        analogDialog_ = nullptr;
    }
    if (result != kDialogOk) {
        device.SetGlobalGain(static_cast<unsigned>(before.globalGain));
        device.SetColorGain(sensors::ColorGainChannel::Green1,
                            static_cast<unsigned>(before.colorGainGreen1));
        device.SetColorGain(sensors::ColorGainChannel::Red,
                            static_cast<unsigned>(before.colorGainRed));
        device.SetColorGain(sensors::ColorGainChannel::Blue,
                            static_cast<unsigned>(before.colorGainBlue));
        device.SetColorGain(sensors::ColorGainChannel::Green2,
                            static_cast<unsigned>(before.colorGainGreen2));
        if (exposureInSeconds) {
            device.SetExposureTimeEx(before.exposureSeconds);
        } else {
            device.SetExposureTime(static_cast<unsigned>(before.exposure));
        }
        device.SetMirrorV(before.mirrorV);
        device.SetMirrorH(before.mirrorH);
        // Black level, cooler and gain mode stay as the dialog set them on the device, so
        // the cache keeps those values too rather than claim the old ones.
        settings_.UpdateCamera([&before](CameraSettings &camera) {
            CameraSettings restored = before;
            restored.blackLevel = camera.blackLevel;
            restored.cooler = camera.cooler;
            restored.gainMode = camera.gainMode;
            camera = restored;
        });
        settings_.UpdateImage(
            [bayerBefore](ImageSettings &image) { image.bayerMode = bayerBefore; });
    }
    return result == 0 ? 0 : 1;
}

int CKorvix::SetCameraDlg(KorvixWindow parent) {
    if (!DeviceReadyForDialog()) return 0;
    core::CKorvixU3T2Base &device = *core_;
    const int mode = mode_.load();
    if (mode == 1 || mode == 2) {
        StopAcquisition();
    } else if (mode == 3) {
        runFlag_ = 2;  // the trigger worker waits while the dialog is open
    }

    const int deviceNumber = device.GetOpenDeviceNumber();
    dialogs::CameraDialog dialog({persistence::CameraKeyPath(deviceNumber),
                                  device.GetWidthVariable() != 0, device.GetHeightVariable() != 0,
                                  device.CanOutput8Bit() != 0, device.CanOutput16Bit() != 0,
                                  device.CanOutputColor() != 0});
    const int result = RunSettingsDialog(dialog, parent);
    if (result == kDialogOk) {
        persistence::LoadSizeSettings(settings_, deviceNumber, core_.get());
        persistence::LoadCameraSettings(settings_, deviceNumber, core_.get());
    }

    if (mode == 1) {
        StartPreview();
    } else if (mode == 2) {
        Capture();
    } else if (mode == 3) {
        // Resumed only if still paused: a trigger acquisition stopped meanwhile stays stopped.
        int paused = 2;
        runFlag_.compare_exchange_strong(paused, 1);
    }
    return result == 0 ? 0 : 1;
}

void CKorvix::ShowInOpenDialogs(const pipeline::PipelineChanges &changes) {
    if (changes.autoExposureMode == 0 && !changes.imageMeasured) return;
    std::lock_guard<std::mutex> hold(dialogLock_);
    if (analogDialog_ != nullptr && changes.autoExposureMode == 2) {
        analogDialog_->ShowGlobalGain(changes.autoExposureValue);
    }
    if (analogDialog_ != nullptr && changes.autoExposureMode == 1) {
        analogDialog_->ShowExposure(changes.autoExposureValue);
    }
    if (imageDialog_ != nullptr && changes.imageMeasured) imageDialog_->Refresh();
}

}  // namespace korvix
