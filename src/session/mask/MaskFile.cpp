#include "session/mask/MaskFile.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/files/LittleEndian.h"
#include "imaging/files/OutputFile.h"

namespace korvix::mask {

namespace {

// The references are copied to and from the file as they lie in memory.
static_assert(std::endian::native == std::endian::little,
              "16-bit references are stored little-endian as they are in memory");

constexpr char kMagic[16] = "VELSOR MASK1000";  // 15 characters and the zero byte
constexpr uint32_t kHeaderValues[6] = {kMaskWidth,  kMaskHeight,  kMaskBytes8,
                                       kMaskBytes8, kMaskBytes16, kMaskBytes16};

uint32_t GetU32(const uint8_t *in) {
    return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}

bool HasGeometry(const imaging::FrameImage *image, int bitCount) {
    return image != nullptr && !image->IsEmpty() && image->Width() == kMaskWidth &&
           image->Height() == kMaskHeight && image->BitCount() == bitCount &&
           image->SizeBytes() == size_t{kMaskHeight} * kMaskWidth * (bitCount / 8);
}

struct FileCloser {
    void operator()(std::FILE *stream) const { std::fclose(stream); }
};

}  // namespace

bool IsValidMaskFile(std::span<const uint8_t> file) {
    if (file.size() != kMaskFileSize) return false;
    if (std::memcmp(file.data(), kMagic, sizeof kMagic) != 0) return false;
    for (size_t i = 0; i < 6; ++i) {
        if (GetU32(file.data() + sizeof kMagic + 4 * i) != kHeaderValues[i]) return false;
    }
    return true;
}

bool StoreMaskFile(std::span<const uint8_t> file, const MaskReferences &references) {
    if (!IsValidMaskFile(file)) return false;
    imaging::FrameImage *const targets[4] = {references.dark8, references.bright8,
                                             references.dark16, references.bright16};
    constexpr int kBits[4] = {8, 8, 16, 16};
    for (int i = 0; i < 4; ++i) {
        if (!HasGeometry(targets[i], kBits[i])) return false;
    }
    const uint8_t *block = file.data() + kMaskHeaderSize;
    for (imaging::FrameImage *target : targets) {
        std::memcpy(target->Bits(), block, target->SizeBytes());
        block += target->SizeBytes();
    }
    return true;
}

bool ReadMaskFile(const char *fileName, std::vector<uint8_t> &scratch) {
    if (fileName == nullptr) return false;
    std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(fileName, "rb"));
    if (!stream || std::fseek(stream.get(), 0, SEEK_END) != 0) return false;
    const long length = std::ftell(stream.get());
    if (length < 0 || static_cast<unsigned long>(length) > kMaskFileSize) return false;
    std::rewind(stream.get());
    try {
        scratch.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc &) {
        return false;
    }
    return std::fread(scratch.data(), 1, scratch.size(), stream.get()) == scratch.size();
}

bool WriteMaskFile(const char *fileName, const MaskReferences &references) {
    const imaging::FrameImage *const sources[4] = {references.dark8, references.bright8,
                                                   references.dark16, references.bright16};
    for (const imaging::FrameImage *source : sources) {
        if (source == nullptr || source->IsEmpty()) return false;
    }
    uint8_t header[kMaskHeaderSize] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    imaging::PutU32(header + 16, static_cast<uint32_t>(references.dark8->Width()));
    imaging::PutU32(header + 20, static_cast<uint32_t>(references.dark8->Height()));
    for (int i = 0; i < 4; ++i) {
        imaging::PutU32(header + 24 + 4 * i, static_cast<uint32_t>(sources[i]->SizeBytes()));
    }

    imaging::OutputFile file;
    if (!file.Open(fileName)) return false;
    bool written = file.Write(header, sizeof header);
    for (const imaging::FrameImage *source : sources) {
        written = written && file.Write(source->Bits(), source->SizeBytes());
    }
    // Close flushes: a full disk shows up here at the latest.
    const bool closed = file.Close();
    return written && closed;
}

}  // namespace korvix::mask
