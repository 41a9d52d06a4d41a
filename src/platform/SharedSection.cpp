#include "platform/SharedSection.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace korvix::platform {
namespace {

// Every holder keeps a shared lock on a second file, the presence file, for as long as it
// holds the section. The system drops a process's locks when it ends, however it ends, so a
// presence file that can be locked exclusively has no holder left: a count kept in the
// section would stay raised by a process that crashed, and the section would outlive all
// its holders with stale contents.
std::string PresenceName(const std::string &systemName) { return systemName + ".holders"; }

// The presence file of `systemName`, opened; -1 on failure.
int OpenPresence(const std::string &systemName) {
    return shm_open(PresenceName(systemName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

// Whether any holder but the caller's own closed ones has the presence file locked.
bool OthersPresent(int presenceFd) {
    if (flock(presenceFd, LOCK_EX | LOCK_NB) != 0) return true;
    flock(presenceFd, LOCK_UN);
    return false;
}

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
    // A releasing holder may unlink the name between our open and our lock; then the file
    // we hold is orphaned and we start again on the new one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = shm_open(systemName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return nullptr;
        int presenceFd = -1;
        void *mapping = MAP_FAILED;
        bool fresh = false;
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
            presenceFd = OpenPresence(systemName);
            if (presenceFd < 0 || (static_cast<size_t>(status.st_size) < size &&
                                   ftruncate(fd, static_cast<off_t>(size)) != 0)) {
                if (presenceFd >= 0) close(presenceFd);
                close(fd);
                return nullptr;
            }
            mapping = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (mapping == MAP_FAILED) {
                close(presenceFd);
                close(fd);
                return nullptr;
            }
            // No holder left (none ever, or all of them ended without releasing): the
            // section starts from zeros, as a newly made one does.
            fresh = !OthersPresent(presenceFd);
            if (fresh) std::memset(mapping, 0, size);
            flock(presenceFd, LOCK_SH);
        }
        if (created) *created = fresh;
        return std::unique_ptr<SharedSection>(
            new SharedSection(fd, presenceFd, systemName, mapping, size));
    }
    return nullptr;
}

SharedSection::SharedSection(int fd, int presenceFd, std::string systemName, void *mapping,
                             size_t size)
    : fd_(fd),
      presenceFd_(presenceFd),
      systemName_(std::move(systemName)),
      data_(mapping),
      size_(size) {}

SharedSection::~SharedSection() {
    {
        FileLock guard(fd_);
        close(presenceFd_);  // drops this holder's presence
        const int check = OpenPresence(systemName_);
        if (check >= 0 && !OthersPresent(check)) {
            shm_unlink(systemName_.c_str());
            shm_unlink(PresenceName(systemName_).c_str());
        }
        if (check >= 0) close(check);
    }
    munmap(data_, size_);
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
