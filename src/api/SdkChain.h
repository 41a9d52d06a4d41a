#pragma once

#include <cstdint>
#include <memory>

#include "api/Ring.h"
#include "platform/CriticalSection.h"

namespace korvix {

class CKorvix;

// What the registry keeps per handle. The session is shared: the registry holds one
// reference and every call in flight holds another, so Korvix_Release never frees a
// session another thread is still using; the last reference to go destroys it.
struct CSDKDATA {
    int32_t handle;
    std::shared_ptr<CKorvix> session;
};

// The process-wide handle registry. Every operation takes `lock` (the outermost lock of
// the library, held only for the registry walk, never during a session call).
//
// Thread-safe.
class CSdkChain : public CTRing<CSDKDATA> {
public:
    // Makes a handle and a new session and registers them; returns the handle, or 0 when
    // the session could not be allocated. The handle is the tick count plus rand() plus the
    // number of registered handles; a result of 0 or one already in use is moved on by 1
    // until it is neither.
    int32_t CreateSession();
    // The session of `handle`, or null; moves the cursor as Find does.
    std::shared_ptr<CKorvix> Lookup(int32_t handle);
    // Drops `handle` from the registry and hands its session to `session`; false when the
    // handle is unknown.
    bool Detach(int32_t handle, std::shared_ptr<CKorvix> &session);

    // For tests: the handle under the cursor (0 when empty) and the number of handles.
    int32_t CurrentHandle();
    int32_t HandleCount();

private:
    platform::CriticalSection lock_;  // guards the ring: nodes, cursor and count
};

// The registry. It lives until the process ends: sessions still registered then are not
// destroyed (an application releases every handle before it unloads the library).
CSdkChain &SdkChain();

}  // namespace korvix
