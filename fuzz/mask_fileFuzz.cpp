// Mask-file loading: reads a file from disk and stores it only when it is complete and
// its header holds the fixed values.
//
// Each input is loaded twice: as a file of its own (the reader on short and arbitrary
// files, none of which may be stored), and in memory as a variation of a valid file: two
// bytes (signed, little-endian) shorten or lengthen it, the rest is laid over its start.
// So the fuzzer explores the header fields and lengths around the exact size, which
// random files of random length would never reach. A file that is stored must write back
// byte for byte.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "session/mask/MaskFile.h"

namespace {

using korvix::imaging::FrameImage;
using namespace korvix::mask;

struct References {
    FrameImage dark8, bright8, dark16, bright16;
    References() {
        dark8.Create(kMaskWidth, kMaskHeight, 8);
        bright8.Create(kMaskWidth, kMaskHeight, 8);
        dark16.Create(kMaskWidth, kMaskHeight, 16);
        bright16.Create(kMaskWidth, kMaskHeight, 16);
    }
    MaskReferences View() { return {&dark8, &bright8, &dark16, &bright16}; }
};

// The two files of one fuzzing process, removed when it ends.
struct TempFiles {
    std::string input = PathOf("input.msk");
    std::string output = PathOf("output.msk");
    ~TempFiles() {
        std::remove(input.c_str());
        std::remove(output.c_str());
    }
    static std::string PathOf(const char *name) {
        const char *dir = std::getenv("TMPDIR");
        return std::string(dir != nullptr ? dir : "/tmp") + "/korvix-fuzz-" +
               std::to_string(getpid()) + "-" + name;
    }
};

// A valid file of neutral references, written by the writer under test.
std::vector<uint8_t> ValidFile(References &references, const std::string &path) {
    std::vector<uint8_t> file;
    if (!WriteMaskFile(path.c_str(), references.View()) || !ReadMaskFile(path.c_str(), file) ||
        !IsValidMaskFile(file)) {
        std::abort();
    }
    return file;
}

bool WriteWhole(const std::string &path, const uint8_t *data, size_t size) {
    std::FILE *stream = std::fopen(path.c_str(), "wb");
    if (stream == nullptr) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, stream) == size;
    return std::fclose(stream) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static References references;
    static const TempFiles files;
    static const std::vector<uint8_t> valid = ValidFile(references, files.input);
    // The candidate file: the valid file with room for the longest extension; the bytes an
    // input overlays are restored from `valid` afterwards.
    static std::vector<uint8_t> candidate = [] {
        std::vector<uint8_t> bytes = valid;
        bytes.resize(valid.size() + INT16_MAX);
        return bytes;
    }();

    // The raw input as a file of its own: the reader on short and arbitrary files.
    std::vector<uint8_t> scratch;
    if (WriteWhole(files.input, data, size) && ReadMaskFile(files.input.c_str(), scratch)) {
        if (scratch.size() != size || StoreMaskFile(scratch, references.View())) std::abort();
    }
    if (size < 2) return 0;

    const auto lengthChange = static_cast<int16_t>(data[0] | data[1] << 8);
    const size_t overlay = std::min(size - 2, valid.size());
    std::memcpy(candidate.data(), data + 2, overlay);
    const std::span<const uint8_t> file(candidate.data(), valid.size() + lengthChange);
    const bool stored = StoreMaskFile(file, references.View());
    if (stored != IsValidMaskFile(file)) std::abort();
    if (stored) {
        // What was stored writes back byte for byte.
        std::vector<uint8_t> written;
        if (!WriteMaskFile(files.output.c_str(), references.View()) ||
            !ReadMaskFile(files.output.c_str(), written) ||
            !std::equal(written.begin(), written.end(), file.begin(), file.end())) {
            std::abort();
        }
    }
    std::memcpy(candidate.data(), valid.data(), overlay);
    return 0;
}
