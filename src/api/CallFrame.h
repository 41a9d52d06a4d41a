#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include "api/SdkChain.h"
#include "session/Korvix.h"

namespace korvix {

// The frame of every export that takes a handle: find the session, run `body` on it and
// return its result; an unknown handle returns `noSession` and records nothing. Nothing
// thrown inside gets past the C boundary: an allocation failure is recorded as
// CAMERR_MEMORY, anything else as CAMERR_FAILED, and the call returns `noSession`.
template <typename Result, typename Body>
Result CallSession(int32_t handle, Result noSession, Body &&body) noexcept {
    std::shared_ptr<CKorvix> session;
    try {
        session = SdkChain().Lookup(handle);
        if (!session) return noSession;
        return body(*session);
    } catch (const std::bad_alloc &) {
        if (session) session->PushError(CAMERR_MEMORY);
    } catch (...) {
        if (session) session->PushError(CAMERR_FAILED);
    }
    return noSession;
}

}  // namespace korvix
