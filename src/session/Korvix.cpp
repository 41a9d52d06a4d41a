#include "session/Korvix.h"

#include "platform/Messages.h"

namespace korvix {

int CKorvix::Initialize(KorvixWindow notifyWindow) {
    notifyWindow_ = notifyWindow;
    return 1;
}

void CKorvix::PushError(uint32_t code) {
    errors_.Push(code);
    if (notifyWindow_ != nullptr) PostError(code);
}

void CKorvix::PostError(uint32_t code) {
    platform::PostMessage(notifyWindow_, WM_CAMERA_ERROR, 0, static_cast<intptr_t>(code));
}

}  // namespace korvix
