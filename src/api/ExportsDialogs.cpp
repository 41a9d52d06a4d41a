// The settings-dialog exports: thin forwards to the session.
#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_SetCameraDlg(int handle, KorvixWindow parent) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.SetCameraDlg(parent); });
}

KORVIX_API int KORVIX_CALL Korvix_SetImageDlg(int handle, KorvixWindow parent) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.SetImageDlg(parent); });
}

KORVIX_API int KORVIX_CALL Korvix_SetAnalogDlg(int handle, KorvixWindow parent) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.SetAnalogDlg(parent); });
}

}  // extern "C"
