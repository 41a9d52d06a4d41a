// Linux extension exports: the statistics of a session's frame transfers and the time
// limit of each frame's data transfer, read from the session's device core.
#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;
using korvix::core::CKorvixU3T2Base;

namespace {

int Fail(CKorvix &session, uint32_t code) {
    session.PushError(code);
    return 0;
}

int GetStreamStatistics(CKorvix &session, KorvixStreamStatistics *stats) {
    if (stats == nullptr) return Fail(session, CAMERR_PARAMETER);
    if (stats->size < static_cast<int32_t>(sizeof(KorvixStreamStatistics))) {
        return Fail(session, CAMERR_MEMORY);
    }
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Fail(session, CAMERR_NOT_READY);
    const korvix::core::StreamCounts counts = device->StreamStatisticsNow();
    stats->reserved = 0;
    stats->framesDelivered = counts.framesDelivered;
    stats->framesLost = counts.framesLost;
    stats->transferFailures = counts.transferFailures;
    stats->restartPulses = counts.restartPulses;
    stats->transferRateMBps = counts.transferRateMBps;
    return 1;
}

}  // namespace

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_GetStreamStatistics(int handle, KorvixStreamStatistics *stats) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return GetStreamStatistics(session, stats); });
}

KORVIX_API int KORVIX_CALL Korvix_ResetStreamStatistics(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) {
        CKorvixU3T2Base *device = session.Core();
        if (!device) return Fail(session, CAMERR_NOT_READY);
        device->ResetStreamStatistics();
        return 1;
    });
}

KORVIX_API int KORVIX_CALL Korvix_GetDataTimeout(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) {
        CKorvixU3T2Base *device = session.Core();
        if (!device) return Fail(session, CAMERR_NOT_READY);
        return static_cast<int>(device->DataTimeoutInForce());
    });
}

KORVIX_API int KORVIX_CALL Korvix_SetDataTimeout(int handle, int ms) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        if (ms < 0) return Fail(session, CAMERR_PARAMETER);
        CKorvixU3T2Base *device = session.Core();
        if (!device) return Fail(session, CAMERR_NOT_READY);
        device->FixDataTimeout(static_cast<uint32_t>(ms));
        return 1;
    });
}

}  // extern "C"
