// Functions of the camera family that this camera does not offer. They fail the same way
// every time, so applications written for other models get a clear answer.
#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;

namespace {

// Announced to the application, not recorded in the history.
int AnnounceNotSupported(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) {
        session.PostError(CAMERR_NOT_SUPPORTED);
        return 0;
    });
}

int RecordNotSupported(int handle, int result) {
    return CallSession(handle, 0, [result](CKorvix &session) {
        session.PushError(CAMERR_NOT_SUPPORTED);
        return result;
    });
}

}  // namespace

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_Fps(int handle) { return AnnounceNotSupported(handle); }
KORVIX_API int KORVIX_CALL Korvix_GetHalfClock(int handle) { return AnnounceNotSupported(handle); }
KORVIX_API int KORVIX_CALL Korvix_SetHalfClock(int handle) { return AnnounceNotSupported(handle); }
KORVIX_API int KORVIX_CALL Korvix_SetCrossbar(int handle) { return AnnounceNotSupported(handle); }
KORVIX_API int KORVIX_CALL Korvix_ReceiveText(int handle) { return RecordNotSupported(handle, 0); }
KORVIX_API int KORVIX_CALL Korvix_SendText(int handle) { return RecordNotSupported(handle, 0); }
KORVIX_API int KORVIX_CALL Korvix_GetConfigFilter(int handle) { return RecordNotSupported(handle, -1); }
KORVIX_API int KORVIX_CALL Korvix_SetConfigFilter(int handle) { return RecordNotSupported(handle, -1); }

}  // extern "C"
