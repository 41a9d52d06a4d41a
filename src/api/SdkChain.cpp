#include "api/SdkChain.h"

#include <cstdlib>
#include <new>

#include "platform/Clock.h"
#include "session/Korvix.h"

namespace korvix {

int32_t CSdkChain::CreateSession() {
    platform::CriticalSectionLock guard(lock_);
    // Computed in 32-bit arithmetic that wraps, as handles always have been.
    uint32_t value = platform::TickCount() + static_cast<uint32_t>(std::rand()) +
                     static_cast<uint32_t>(Count());
    while (value == 0 || Contains(static_cast<int32_t>(value))) ++value;
    const auto handle = static_cast<int32_t>(value);

    std::shared_ptr<CKorvix> session(new (std::nothrow) CKorvix);
    if (!session) return 0;
    Add(CSDKDATA{handle, std::move(session)});
    return handle;
}

std::shared_ptr<CKorvix> CSdkChain::Lookup(int32_t handle) {
    platform::CriticalSectionLock guard(lock_);
    if (!Find(handle)) return nullptr;
    return Cursor()->data.session;
}

bool CSdkChain::Detach(int32_t handle, std::shared_ptr<CKorvix> &session) {
    platform::CriticalSectionLock guard(lock_);
    if (!Find(handle)) return false;
    session = std::move(Cursor()->data.session);
    RemoveCurrent();
    return true;
}

int32_t CSdkChain::CurrentHandle() {
    platform::CriticalSectionLock guard(lock_);
    return Cursor() ? Cursor()->data.handle : 0;
}

int32_t CSdkChain::HandleCount() {
    platform::CriticalSectionLock guard(lock_);
    return Count();
}

CSdkChain &SdkChain() {
    static CSdkChain *chain = new CSdkChain;
    return *chain;
}

}  // namespace korvix
