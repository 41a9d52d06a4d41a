// The Linux library's message handler: how window messages reach the application where no
// window system delivers them (the Windows DLL posts them to real windows instead).
#include "KorvixSdk_Tesslin.h"
#include "platform/Messages.h"

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_SetMessageHandler(KorvixMessageHandler handler, void *context) {
    try {
        korvix::platform::SetMessageHandler(handler, context);
    } catch (...) {
        return 0;
    }
    return 1;
}

}  // extern "C"
