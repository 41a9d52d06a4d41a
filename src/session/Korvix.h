#pragma once

#include <cstdint>

#include "KorvixSdk_Tesslin.h"
#include "session/ErrorHistory.h"

namespace korvix {

// The session behind one camera handle. It records why its operations fail (the error
// history, announced to the application's notify window) and will own the device core,
// the frame images and the workers of the handle.
//
// Thread-safe for the error reporting; other operations are called from the
// application's threads as the public header describes.
class CKorvix {
public:
    CKorvix() = default;
    virtual ~CKorvix() = default;
    CKorvix(const CKorvix &) = delete;
    CKorvix &operator=(const CKorvix &) = delete;

    // Prepares the session for use; `notifyWindow` (may be null) receives WM_CAMERA_ERROR.
    int Initialize(KorvixWindow notifyWindow);

    // Records `code` in the history and, when a notify window was given, posts
    // WM_CAMERA_ERROR with the code to it.
    void PushError(uint32_t code);
    // Announces `code` without recording it: posts WM_CAMERA_ERROR to the notify window
    // even when that is null (the message then reaches the handler with a null window).
    void PostError(uint32_t code);
    // Korvix_GetLastError: pops the newest code, 0 when none.
    int GetLastError() { return static_cast<int>(errors_.Pop()); }

    KorvixWindow NotifyWindow() const { return notifyWindow_; }

private:
    ErrorHistory errors_;
    KorvixWindow notifyWindow_ = nullptr;
};

}  // namespace korvix
