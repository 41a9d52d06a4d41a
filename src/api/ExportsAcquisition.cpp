// Acquisition exports: thin forwards to the session.
#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "platform/TextConversion.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_Capture(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return session.Capture(); });
}

KORVIX_API int KORVIX_CALL Korvix_Close(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return session.Close(); });
}

KORVIX_API int KORVIX_CALL Korvix_Preview(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return session.Preview(); });
}

KORVIX_API int KORVIX_CALL Korvix_StartPreview(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return session.StartPreview(); });
}

KORVIX_API int KORVIX_CALL Korvix_StopPreview(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return session.StopPreview(); });
}

KORVIX_API int KORVIX_CALL Korvix_CallBackPreview(int handle, KorvixWindow frameWindow,
                                                  unsigned char *buffer, int size, int rowOrder) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return session.CallBackPreview(frameWindow, buffer, size, rowOrder);
    });
}

KORVIX_API int KORVIX_CALL Korvix_SnapShot(int handle, unsigned char *buffer, int size,
                                           int rowOrder) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return session.SnapShot(buffer, size, rowOrder); });
}

KORVIX_API int KORVIX_CALL Korvix_Trigger(int handle, KorvixWindow frameWindow,
                                          unsigned char *buffer, int size, int rowOrder) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return session.Trigger(frameWindow, buffer, size, rowOrder);
    });
}

KORVIX_API int KORVIX_CALL Korvix_GetImage(int handle, unsigned char *buffer, int size,
                                           int rowOrder) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return session.GetImage(buffer, size, rowOrder); });
}

KORVIX_API int KORVIX_CALL Korvix_SetColorMode(int handle, int bits) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.SetColorMode(bits); });
}

KORVIX_API int KORVIX_CALL Korvix_GetColorMode(int handle) {
    return CallSession(handle, -1, [](CKorvix &session) { return session.GetColorMode(); });
}

KORVIX_API int KORVIX_CALL Korvix_SetSubSample(int handle, int mode) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.SetSubSample(mode); });
}

KORVIX_API int KORVIX_CALL Korvix_GetSubSample(int handle) {
    return CallSession(handle, -1, [](CKorvix &session) { return session.GetSubSample(); });
}

KORVIX_API int KORVIX_CALL Korvix_SetWaitTime(int handle, int ms) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.SetWaitTime(ms); });
}

KORVIX_API int KORVIX_CALL Korvix_GetWaitTime(int handle) {
    return CallSession(handle, -1, [](CKorvix &session) { return session.GetWaitTime(); });
}

KORVIX_API int KORVIX_CALL Korvix_SetCaptureWindow(int handle, int width, int height) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return session.SetCaptureWindow(width, height); });
}

KORVIX_API int KORVIX_CALL Korvix_SetCaptureWindowEx(int handle, int hTotal, int hStart,
                                                     int hEffective, int vTotal, int vStart,
                                                     int vEffective) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return session.SetCaptureWindowEx(hTotal, hStart, hEffective, vTotal, vStart, vEffective);
    });
}

KORVIX_API int KORVIX_CALL Korvix_GetCaptureWindowEx(int handle, int *hTotal, int *hStart,
                                                     int *hEffective, int *vTotal, int *vStart,
                                                     int *vEffective) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return session.GetCaptureWindowEx(hTotal, hStart, hEffective, vTotal, vStart, vEffective);
    });
}

KORVIX_API int KORVIX_CALL Korvix_SetPreviewWindow(int handle, KorvixWindow parent, int left,
                                                   int top, int right, int bottom) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return session.SetPreviewWindow(parent, left, top, right, bottom);
    });
}

KORVIX_API int KORVIX_CALL Korvix_GetStatus(int handle) {
    return CallSession(handle, 0, [](CKorvix &) { return 0; });
}

KORVIX_API int KORVIX_CALL Korvix_LoadConfigFileA(int handle, const char *file) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.LoadConfigFile(file); });
}

KORVIX_API int KORVIX_CALL Korvix_LoadConfigFileW(int handle, const wchar_t *file) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        char narrow[1024];
        if (file == nullptr || korvix::platform::WideToNarrow(file, narrow, sizeof narrow) == 0) {
            session.PushError(CAMERR_FAILED);
            return 0;
        }
        return session.LoadConfigFile(narrow);
    });
}

}  // extern "C"
