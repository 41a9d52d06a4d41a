// The defect-mask operations of the session: mask files and reference capture.

#include "session/Korvix.h"
#include "session/mask/MaskReferences.h"

namespace korvix {

int CKorvix::LoadMaskFile(const char *file) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    if (!mask::LoadMaskReferences(file, images_, maskLock)) {
        PushError(CAMERR_MASK_FILE);
        return 0;
    }
    return 1;
}

int CKorvix::SaveMaskFile(const char *file) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    if (!mask::SaveMaskReferences(file, images_, maskLock)) {
        PushError(CAMERR_MASK_FILE);
        return 0;
    }
    return 1;
}

int CKorvix::UpdateMaskData(int which) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    maskBusy_ = 1;
    bool known = false;
    {
        // Under frameLock the reference is never taken from a frame being processed.
        platform::CriticalSectionLock frames(frameLock);
        known = mask::UpdateMaskReference(images_, settings_.Entries().colorIndex, which, maskLock);
    }
    maskBusy_ = 0;
    if (!known) {
        PushError(CAMERR_FAILED);
        return 0;
    }
    return 1;
}

}  // namespace korvix
