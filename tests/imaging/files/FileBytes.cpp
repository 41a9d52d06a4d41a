#include "imaging/files/FileBytes.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace korvix::test {

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path &path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

uint32_t U32At(const std::vector<uint8_t> &bytes, size_t offset) {
    if (offset + 4 > bytes.size()) throw std::out_of_range("field past the end of the file");
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
           static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

uint16_t U16At(const std::vector<uint8_t> &bytes, size_t offset) {
    if (offset + 2 > bytes.size()) throw std::out_of_range("field past the end of the file");
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::string FourCcAt(const std::vector<uint8_t> &bytes, size_t offset) {
    if (offset + 4 > bytes.size()) throw std::out_of_range("field past the end of the file");
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                       bytes.begin() + static_cast<std::ptrdiff_t>(offset + 4));
}

int OpenFileCount() {
    std::error_code error;
    std::filesystem::directory_iterator entries("/proc/self/fd", error);
    if (error) return -1;
    return static_cast<int>(std::distance(entries, std::filesystem::directory_iterator()));
}

}  // namespace korvix::test
