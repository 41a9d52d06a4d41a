// Configuration-file loading: any file reads as its whole 8-byte pairs of little-endian
// signed 32-bit integers, a shorter tail ignored.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "session/settings/SettingsPersistence.h"

namespace {

// The file of one fuzzing process, removed when it ends.
struct TempFile {
    std::string path = [] {
        const char *dir = std::getenv("TMPDIR");
        return std::string(dir != nullptr ? dir : "/tmp") + "/korvix-fuzz-" +
               std::to_string(getpid()) + "-config.bin";
    }();
    ~TempFile() { std::remove(path.c_str()); }
};

int32_t LittleEndianAt(const uint8_t *bytes) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | bytes[i];
    return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const TempFile file;
    std::FILE *stream = std::fopen(file.path.c_str(), "wb");
    if (stream == nullptr) return 0;
    const bool written = size == 0 || std::fwrite(data, 1, size, stream) == size;
    if (std::fclose(stream) != 0 || !written) return 0;

    std::vector<korvix::persistence::ConfigPair> pairs(3);
    if (!korvix::persistence::ReadConfigFile(file.path, pairs)) std::abort();
    if (pairs.size() != size / 8) std::abort();
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (pairs[i].first != LittleEndianAt(data + 8 * i) ||
            pairs[i].second != LittleEndianAt(data + 8 * i + 4)) {
            std::abort();
        }
    }
    return 0;
}
