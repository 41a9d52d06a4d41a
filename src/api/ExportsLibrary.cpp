// Handle and library exports: making and releasing sessions, the version and the error
// history.
#include <memory>

#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "api/SdkChain.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;
using korvix::SdkChain;

namespace {
constexpr int kDllVersion = 0x02160521;
}

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_Initialize(KorvixWindow notifyWindow) {
    try {
        int32_t handle = SdkChain().CreateSession();
        if (handle == 0) return 0;
        // A failing initialisation still hands out the handle: the reason is in the
        // session's error history and later calls fail one by one.
        CallSession(handle, 0, [&](CKorvix &session) { return session.Initialize(notifyWindow); });
        return handle;
    } catch (...) {
        return 0;
    }
}

KORVIX_API int KORVIX_CALL Korvix_Release(int handle) {
    try {
        std::shared_ptr<CKorvix> session;
        if (!SdkChain().Detach(handle, session)) return 0;
        // Calls still running on this session keep it alive; the last of them destroys it.
        session.reset();
        return 1;
    } catch (...) {
        return 0;
    }
}

KORVIX_API int KORVIX_CALL Korvix_GetDllVersion(void) { return kDllVersion; }

KORVIX_API int KORVIX_CALL Korvix_GetLastError(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return session.GetLastError(); });
}

}  // extern "C"
