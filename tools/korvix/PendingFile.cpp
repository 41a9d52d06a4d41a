#include "PendingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "ToolErrors.h"

namespace korvix::tool {

PendingFile::PendingFile(std::filesystem::path finalPath) : finalPath_(std::move(finalPath)) {
    if (finalPath_.filename().empty()) {
        throw FileError("cannot write '" + finalPath_.string() + "': it names a directory");
    }
    const std::filesystem::path directory =
        finalPath_.has_parent_path() ? finalPath_.parent_path() : std::filesystem::path(".");
    // Hidden, beside the final file (so the rename stays on one file system), same extension.
    const std::string name = "." + finalPath_.stem().string() + ".partial-" +
                             std::to_string(getpid()) + finalPath_.extension().string();
    tempPath_ = (directory / name).string();
    const int fd = open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw FileError("cannot write '" + finalPath_.string() + "': " + std::strerror(errno));
    }
    close(fd);
}

PendingFile::~PendingFile() {
    if (!committed_) std::remove(tempPath_.c_str());
}

uintmax_t PendingFile::WrittenBytes() const {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(tempPath_, error);
    return error ? 0 : size;
}

void PendingFile::Commit() {
    if (WrittenBytes() == 0) {
        throw FileError("cannot write '" + finalPath_.string() + "': nothing was written");
    }
    if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
        throw FileError("cannot write '" + finalPath_.string() + "': " + std::strerror(errno));
    }
    committed_ = true;
}

}  // namespace korvix::tool
