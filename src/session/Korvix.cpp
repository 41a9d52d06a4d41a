#include "session/Korvix.h"

#include <algorithm>
#include <new>

#include "controller/KorCy3Cam.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/Messages.h"

namespace korvix {
namespace {

constexpr uint8_t kBright8 = 255;
constexpr uint16_t kBright16 = 4095;

// Sets every sample of a 16-bit image to `value`.
void Fill16(imaging::FrameImage &image, uint16_t value) {
    for (int32_t row = 0; row < image.Height(); ++row) {
        auto *samples = reinterpret_cast<uint16_t *>(image.Bits() + int64_t{row} * image.Pitch());
        for (int32_t column = 0; column < image.Width(); ++column) samples[column] = value;
    }
}

// The mask references and maps at full sensor size, neutral until references are loaded:
// dark references 0, bright references full scale, maps empty (new images are zeroed).
bool CreateNeutralMask(SessionImages &images) {
    constexpr int32_t w = CKorvix::kSensorWidth;
    constexpr int32_t h = CKorvix::kSensorHeight;
    for (imaging::FrameImage *image : {images.darkRef8.get(), images.brightRef8.get(),
                                       images.hotMap8.get(), images.deadMap8.get(),
                                       images.defectMap8.get()}) {
        if (image->Create(w, h, 8) != 1) return false;
    }
    for (imaging::FrameImage *image : {images.darkRef16.get(), images.brightRef16.get(),
                                       images.hotMap16.get(), images.deadMap16.get(),
                                       images.defectMap16.get()}) {
        if (image->Create(w, h, 16) != 1) return false;
    }
    std::fill_n(images.brightRef8->Bits(), images.brightRef8->SizeBytes(), kBright8);
    Fill16(*images.brightRef16, kBright16);
    return true;
}

}  // namespace

CKorvix::CKorvix() = default;

CKorvix::~CKorvix() {
    deviceNumber_ = -1;
    if (core_) persistence::SaveSettingsGroups(settings_, core_->GetOpenDeviceNumber());
    Close();
    deviceNotifications_.Stop();
    // No handler may still read a frame record of this session once it is gone.
    frameMessages_.WaitHandled();
    core_.reset();
}

int CKorvix::Initialize(KorvixWindow notifyWindow) {
    core_.reset();
    notifyWindow_ = notifyWindow;
    bool allocated = images_.CreateAll();
    try {
        core_ = std::make_unique<core::CKorvixUSB3T2SimpleSdk>();
    } catch (const std::bad_alloc &) {
        allocated = false;
    }
    if (allocated) allocated = CreateNeutralMask(images_);
    if (!allocated) {
        // Without a core every later call answers CAMERR_NOT_READY instead of touching an
        // image that is not there.
        core_.reset();
        PushError(CAMERR_MEMORY);
        return 0;
    }

    persistence::LoadSizeSettings(settings_, deviceNumber_, core_.get());
    core_->SetProductCode(kProductCode);
    core_->CreateController(notifyWindow, nullptr);
    if (notifyWindow != nullptr && core_->Controller() != nullptr) {
        deviceNotifications_.Start(*core_->Controller(), notifyWindow);
    }
    if (core_->CountDevices(kProductCode) == 1) SetDeviceNumber(0);
    persistence::LoadSettingsGroups(settings_, deviceNumber_, core_.get());
    persistence::LoadCameraSettings(settings_, deviceNumber_, core_.get());
    return 1;
}

void CKorvix::PushError(uint32_t code) {
    errors_.Push(code);
    if (notifyWindow_ != nullptr) PostError(code);
}

void CKorvix::PostError(uint32_t code) {
    platform::PostMessage(notifyWindow_, WM_CAMERA_ERROR, 0, static_cast<intptr_t>(code));
}

bool CKorvix::WorkerRunning() const {
    const int mode = mode_.load(std::memory_order_acquire);
    return mode == 1 || mode == 3;
}

int CKorvix::LoadConfigFile(const char *file) {
    if (file == nullptr) return 0;
    std::vector<persistence::ConfigPair> pairs;
    if (!persistence::ReadConfigFile(file, pairs)) return 0;
    platform::CriticalSectionLock frames(frameLock);
    configPairs_ = std::move(pairs);
    return 1;
}

std::vector<persistence::ConfigPair> CKorvix::ConfigPairs() {
    platform::CriticalSectionLock frames(frameLock);
    return configPairs_;
}

}  // namespace korvix
