// The configuration file of LoadConfigFile: pairs of little-endian signed 32-bit integers.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "session/settings/SettingsPersistence.h"

namespace korvix::persistence {

namespace {

constexpr size_t kPairBytes = 8;

int32_t LittleEndianInt(const unsigned char *bytes) {
    const uint32_t value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                           uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    return static_cast<int32_t>(value);
}

}  // namespace

bool ReadConfigFile(const std::string &path, std::vector<ConfigPair> &pairs) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    if (file.bad()) return false;
    std::vector<ConfigPair> read;
    read.reserve(bytes.size() / kPairBytes);
    for (size_t offset = 0; offset + kPairBytes <= bytes.size(); offset += kPairBytes) {
        read.push_back({LittleEndianInt(&bytes[offset]), LittleEndianInt(&bytes[offset + 4])});
    }
    pairs = std::move(read);
    return true;
}

}  // namespace korvix::persistence
