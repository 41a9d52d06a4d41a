#include "session/Korvix.h"

#include <new>

#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/Messages.h"

namespace korvix {

CKorvix::CKorvix() = default;

CKorvix::~CKorvix() {
    deviceNumber_ = -1;
    // The core closes the device and stops its acquisition thread as it goes.
    core_.reset();
}

int CKorvix::Initialize(KorvixWindow notifyWindow) {
    core_.reset();
    notifyWindow_ = notifyWindow;
    try {
        core_ = std::make_unique<core::CKorvixUSB3T2SimpleSdk>();
    } catch (const std::bad_alloc &) {
        // Without a core every later call answers CAMERR_NOT_READY instead of faulting.
        core_.reset();
        PushError(CAMERR_MEMORY);
        return 0;
    }
    core_->SetProductCode(kProductCode);
    core_->CreateController(notifyWindow, nullptr);
    if (core_->CountDevices(kProductCode) == 1) SetDeviceNumber(0);
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

}  // namespace korvix
