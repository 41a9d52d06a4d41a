#include "imaging/files/OutputFile.h"

namespace korvix::imaging {

bool OutputFile::Open(const char *fileName) {
    Close();
    if (fileName == nullptr || fileName[0] == '\0') return false;
    stream_.reset(std::fopen(fileName, "wb"));
    return IsOpen();
}

bool OutputFile::Write(const void *data, size_t size) {
    if (!IsOpen()) return false;
    if (size == 0) return true;
    return data != nullptr && std::fwrite(data, 1, size, stream_.get()) == size;
}

bool OutputFile::Seek(uint32_t offset) {
    return IsOpen() && std::fseek(stream_.get(), static_cast<long>(offset), SEEK_SET) == 0;
}

bool OutputFile::SeekToEnd() {
    return IsOpen() && std::fseek(stream_.get(), 0, SEEK_END) == 0;
}

bool OutputFile::Close() {
    if (!IsOpen()) return true;
    std::FILE *stream = stream_.release();
    const bool flushed = std::fflush(stream) == 0;
    return std::fclose(stream) == 0 && flushed;
}

}  // namespace korvix::imaging
