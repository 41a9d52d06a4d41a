#include "PngFile.h"

#include <zlib.h>

#include <array>
#include <fstream>
#include <string>

namespace korvix::test {

namespace {

void AppendBigEndian(std::string &out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

// One chunk: length, type, data, and the CRC of type and data.
void AppendChunk(std::string &out, const char (&type)[5], const std::string &data) {
    AppendBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t typeStart = out.size();
    out.append(type, 4);
    out += data;
    const auto *crcBytes = reinterpret_cast<const Bytef *>(out.data() + typeStart);
    AppendBigEndian(out,
                    static_cast<uint32_t>(crc32(0, crcBytes, static_cast<uInt>(4 + data.size()))));
}

}  // namespace

bool WritePng(const std::filesystem::path &path, int width, int height,
              const std::vector<uint32_t> &pixels) {
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return false;
    }
    // Each row: filter type 0 (none), then red, green, blue per pixel.
    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % static_cast<size_t>(width) == 0) raw.push_back('\0');
        raw.push_back(static_cast<char>(pixels[i] >> 16));
        raw.push_back(static_cast<char>(pixels[i] >> 8));
        raw.push_back(static_cast<char>(pixels[i]));
    }
    uLongf compressedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string compressed(compressedSize, '\0');
    if (compress2(reinterpret_cast<Bytef *>(compressed.data()), &compressedSize,
                  reinterpret_cast<const Bytef *>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return false;
    }
    compressed.resize(compressedSize);

    std::string header;
    AppendBigEndian(header, static_cast<uint32_t>(width));
    AppendBigEndian(header, static_cast<uint32_t>(height));
    header += std::string{8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, adaptive filters, no interlace
    std::string file = "\x89PNG\r\n\x1a\n";
    AppendChunk(file, "IHDR", header);
    AppendChunk(file, "IDAT", compressed);
    AppendChunk(file, "IEND", {});
    std::ofstream out(path, std::ios::binary);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace korvix::test
