#pragma once

#if !defined(_WIN32)
#include <mutex>
#endif

namespace korvix::platform {

// A recursive lock with the semantics of a Win32 critical section: the owning thread may
// enter it again, and must leave it as often as it entered. Linux builds it on
// std::recursive_mutex; Windows uses a CRITICAL_SECTION kept in opaque storage here, so
// that this header needs no system header.
class CriticalSection {
public:
#if defined(_WIN32)
    CriticalSection();
    ~CriticalSection();
    void Enter();
    bool TryEnter();
    void Leave();
#else
    CriticalSection() = default;
    void Enter() { mutex_.lock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    void Leave() { mutex_.unlock(); }
#endif
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;

    // BasicLockable, so std::lock_guard and std::unique_lock work too.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
#if defined(_WIN32)
    // Room for a CRITICAL_SECTION (40 bytes on 64-bit, 24 on 32-bit Windows); the
    // implementation checks that it fits.
    void *storage_[6];
#else
    std::recursive_mutex mutex_;
#endif
};

// Holds a critical section for the lifetime of the object.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection &section) : section_(section) { section_.Enter(); }
    ~CriticalSectionLock() { section_.Leave(); }
    CriticalSectionLock(const CriticalSectionLock &) = delete;
    CriticalSectionLock &operator=(const CriticalSectionLock &) = delete;

private:
    CriticalSection &section_;
};

}  // namespace korvix::platform
