#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace korvix::platform {

// A named block of memory shared by every process of the user, with a lock that works
// across processes. The section is created zero-filled by its first holder and vanishes
// when its last holder (in any process) releases it or ends, crashed or not, so the next
// holder starts from zeros again. Names get the prefix from KORVIX_IPC_NAMESPACE, which
// lets parallel test runs use separate sections.
//
// Windows: a named file mapping backed by the paging file, and a named mutex (the
// section's name plus "-Lock") for the lock; a mutex left by a holder that ended while
// holding it counts as acquired. Linux: POSIX shared memory and file locks.
//
// The object is thread-safe for Lock/Unlock; Data() is guarded by the caller's Lock.
class SharedSection {
public:
    // Opens or creates `name` with `size` bytes of user data. `created` reports whether
    // this call made the section (no other holder existed). Null on failure.
    static std::unique_ptr<SharedSection> Open(const std::string &name, size_t size,
                                               bool *created = nullptr);
    ~SharedSection();
    SharedSection(const SharedSection &) = delete;
    SharedSection &operator=(const SharedSection &) = delete;

    void *Data() const { return data_; }
    size_t Size() const { return size_; }

    // Excludes every other holder, in this and other processes. Not recursive.
    void Lock();
    void Unlock();
    void lock() { Lock(); }
    void unlock() { Unlock(); }

    // The system name the section gets for `name` (with the namespace prefix).
    static std::string SystemName(const std::string &name);

private:
#if defined(_WIN32)
    SharedSection(void *mapping, void *mutex, std::string systemName, void *view, size_t size);

    void *mapping_;  // HANDLE of the file mapping
    void *mutex_;    // HANDLE of the named mutex
#else
    SharedSection(int fd, int presenceFd, std::string systemName, void *mapping, size_t size);

    int fd_;
    int presenceFd_;  // holds a shared lock while this holder lives
    std::mutex threadLock_;  // excludes the threads of this process that share this object
#endif
    std::string systemName_;
    void *data_;
    size_t size_;
};

}  // namespace korvix::platform
