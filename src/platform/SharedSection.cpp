#include "platform/SharedSection.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace korvix::platform {
namespace {

// Bookkeeping in front of the user data: how many holders the section has in all
// processes. Guarded by flock on the section's file.
struct SectionHeader {
    uint32_t holders;
};
constexpr size_t kHeaderSize = 64;  // keeps the user data cache-line aligned

class FileLock {
public:
    explicit FileLock(int fd) : fd_(fd) {
        while (flock(fd_, LOCK_EX) != 0) {
        }
    }
    ~FileLock() { flock(fd_, LOCK_UN); }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

private:
    int fd_;
};

}  // namespace

std::string SharedSection::SystemName(const std::string &name) {
    std::string full = "/";
    if (const char *prefix = std::getenv("KORVIX_IPC_NAMESPACE")) full += prefix;
    full += name;
    // POSIX shared-memory names allow no further slashes.
    for (size_t i = 1; i < full.size(); ++i) {
        if (full[i] == '/') full[i] = '_';
    }
    return full;
}

std::unique_ptr<SharedSection> SharedSection::Open(const std::string &name, size_t size,
                                                   bool *created) {
    const std::string systemName = SystemName(name);
    const size_t mappedSize = kHeaderSize + size;
    // A releasing holder may unlink the name between our open and our lock; then the file
    // we hold is orphaned and we start again on the new one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = shm_open(systemName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return nullptr;
        bool fresh = false;
        void *mapping = MAP_FAILED;
        {
            FileLock guard(fd);
            struct stat status {};
            if (fstat(fd, &status) != 0) {
                close(fd);
                return nullptr;
            }
            if (status.st_nlink == 0) {
                close(fd);
                continue;
            }
            if (static_cast<size_t>(status.st_size) < mappedSize) {
                fresh = status.st_size == 0;
                if (ftruncate(fd, static_cast<off_t>(mappedSize)) != 0) {
                    close(fd);
                    return nullptr;
                }
            }
            mapping = mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (mapping == MAP_FAILED) {
                close(fd);
                return nullptr;
            }
            auto *header = static_cast<SectionHeader *>(mapping);
            fresh = fresh || header->holders == 0;
            ++header->holders;
        }
        if (created) *created = fresh;
        return std::unique_ptr<SharedSection>(
            new SharedSection(fd, systemName, mapping, mappedSize, size));
    }
    return nullptr;
}

SharedSection::SharedSection(int fd, std::string systemName, void *mapping, size_t mappedSize,
                             size_t size)
    : fd_(fd),
      systemName_(std::move(systemName)),
      mapping_(mapping),
      mappedSize_(mappedSize),
      data_(static_cast<unsigned char *>(mapping) + kHeaderSize),
      size_(size) {}

SharedSection::~SharedSection() {
    {
        FileLock guard(fd_);
        auto *header = static_cast<SectionHeader *>(mapping_);
        if (--header->holders == 0) shm_unlink(systemName_.c_str());
    }
    munmap(mapping_, mappedSize_);
    close(fd_);
}

void SharedSection::Lock() {
    threadLock_.lock();
    while (flock(fd_, LOCK_EX) != 0) {
    }
}

void SharedSection::Unlock() {
    flock(fd_, LOCK_UN);
    threadLock_.unlock();
}

}  // namespace korvix::platform
