#include "platform/SharedSection.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>

namespace korvix::platform {
namespace {

// A mapping and a mutex share one namespace of kernel object names, so the lock's name
// must differ from the section's.
std::string LockName(const std::string &systemName) { return systemName + "-Lock"; }

}  // namespace

std::string SharedSection::SystemName(const std::string &name) {
    std::string full;
    if (const char *prefix = std::getenv("KORVIX_IPC_NAMESPACE")) full += prefix;
    full += name;
    // A backslash would name a kernel object directory.
    for (char &c : full) {
        if (c == '\\') c = '_';
    }
    return full;
}

std::unique_ptr<SharedSection> SharedSection::Open(const std::string &name, size_t size,
                                                   bool *created) {
    const std::string systemName = SystemName(name);
    const uint64_t bytes = size;
    // The paging file backs the section: the system zero-fills it for its first holder and
    // discards it when the last handle closes, however its holder ended.
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                        static_cast<DWORD>(bytes >> 32), static_cast<DWORD>(bytes),
                                        systemName.c_str());
    if (mapping == nullptr) return nullptr;
    const bool fresh = GetLastError() != ERROR_ALREADY_EXISTS;
    // Fails when an existing section is smaller than `size`.
    void *view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (view == nullptr) {
        CloseHandle(mapping);
        return nullptr;
    }
    HANDLE mutex = CreateMutexA(nullptr, FALSE, LockName(systemName).c_str());
    if (mutex == nullptr) {
        UnmapViewOfFile(view);
        CloseHandle(mapping);
        return nullptr;
    }
    if (created) *created = fresh;
    return std::unique_ptr<SharedSection>(new SharedSection(mapping, mutex, systemName, view, size));
}

SharedSection::SharedSection(void *mapping, void *mutex, std::string systemName, void *view,
                             size_t size)
    : mapping_(mapping), mutex_(mutex), systemName_(std::move(systemName)), data_(view), size_(size) {}

SharedSection::~SharedSection() {
    UnmapViewOfFile(data_);
    CloseHandle(mutex_);
    CloseHandle(mapping_);
}

void SharedSection::Lock() {
    // WAIT_ABANDONED: the previous owner ended while holding the lock; the mutex is ours
    // all the same, and the section's content is whatever that owner left.
    WaitForSingleObject(static_cast<HANDLE>(mutex_), INFINITE);
}

void SharedSection::Unlock() { ReleaseMutex(static_cast<HANDLE>(mutex_)); }

}  // namespace korvix::platform
