// Image-file, defect-mask and recording exports: thin forwards to the session.
#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "platform/TextConversion.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;

namespace {

// Runs `operation` with the narrow form of a wide file name; a name that is missing or
// does not convert into 1024 bytes records CAMERR_FAILED and returns 0.
template <typename Operation>
int WithNarrowName(CKorvix &session, const wchar_t *file, Operation &&operation) {
    char narrow[1024];
    if (file == nullptr || korvix::platform::WideToNarrow(file, narrow, sizeof narrow) == 0) {
        session.PushError(CAMERR_FAILED);
        return 0;
    }
    return operation(narrow);
}

}  // namespace

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_SaveImage(int handle, const char *file, int fileType) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return session.SaveImage(file, fileType); });
}

KORVIX_API int KORVIX_CALL Korvix_SaveImageW(int handle, const wchar_t *file, int fileType) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return WithNarrowName(session, file,
                              [&](const char *name) { return session.SaveImage(name, fileType); });
    });
}

KORVIX_API int KORVIX_CALL Korvix_LoadMaskFile(int handle, const char *file) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.LoadMaskFile(file); });
}

KORVIX_API int KORVIX_CALL Korvix_LoadMaskFileW(int handle, const wchar_t *file) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return WithNarrowName(session, file,
                              [&](const char *name) { return session.LoadMaskFile(name); });
    });
}

KORVIX_API int KORVIX_CALL Korvix_SaveMaskFile(int handle, const char *file) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.SaveMaskFile(file); });
}

KORVIX_API int KORVIX_CALL Korvix_SaveMaskFileW(int handle, const wchar_t *file) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return WithNarrowName(session, file,
                              [&](const char *name) { return session.SaveMaskFile(name); });
    });
}

KORVIX_API int KORVIX_CALL Korvix_UpdateMaskData(int handle, int which) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.UpdateMaskData(which); });
}

KORVIX_API int KORVIX_CALL Korvix_Record(int handle, const char *file, int durationMs,
                                         int showWindow) {
    return CallSession(
        handle, 0, [&](CKorvix &session) { return session.Record(file, durationMs, showWindow); });
}

KORVIX_API int KORVIX_CALL Korvix_RecordW(int handle, const wchar_t *file, int durationMs,
                                          int showWindow) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return WithNarrowName(session, file, [&](const char *name) {
            return session.Record(name, durationMs, showWindow);
        });
    });
}

}  // extern "C"
