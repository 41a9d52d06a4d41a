#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace korvix::imaging {

// A binary file opened for writing: an existing file is truncated, a missing one is
// created (the directory must exist). Closed when the object goes away; a half-written
// file is left in place. Thread-bound.
class OutputFile {
  public:
    // Opens `fileName`; false (and nothing created) when it is null or cannot be opened.
    bool Open(const char *fileName);
    bool IsOpen() const { return stream_ != nullptr; }

    // Each returns false when no file is open or the system refuses the operation.
    bool Write(const void *data, size_t size);
    // Seeks from the start of the file; offsets are header fields, far below 2 GiB.
    bool Seek(uint32_t offset);
    bool SeekToEnd();

    // Flushes and closes; false when a buffered write failed. Harmless when closed.
    bool Close();

    // The C stream, for libraries that write through one; null when closed.
    std::FILE *Stream() const { return stream_.get(); }

  private:
    struct StreamCloser {
        void operator()(std::FILE *stream) const { std::fclose(stream); }
    };
    std::unique_ptr<std::FILE, StreamCloser> stream_;
};

}  // namespace korvix::imaging
