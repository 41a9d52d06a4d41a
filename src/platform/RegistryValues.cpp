#include "platform/Registry.h"

namespace korvix::platform {
namespace {
constexpr int kTypeDword = 4;   // REG_DWORD
constexpr int kTypeBinary = 3;  // REG_BINARY
}  // namespace

// Registry paths use backslashes; stray separators at either end are dropped.
std::string RegistryKey::NormalisePath(const std::string &path) {
    size_t first = path.find_first_not_of('\\');
    if (first == std::string::npos) return {};
    size_t last = path.find_last_not_of('\\');
    return path.substr(first, last - first + 1);
}

bool RegistryKey::Exists(const std::string &path) {
    RegistryResult result;
    return Open(path, &result) != nullptr;
}

// DWORDs are stored little-endian, as the Windows registry keeps them.
bool RegistryKey::SetDword(const std::string &name, uint32_t value) {
    unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value >> 16),
                              static_cast<unsigned char>(value >> 24)};
    return Store(name, kTypeDword, bytes, sizeof bytes);
}

RegistryResult RegistryKey::GetDword(const std::string &name, uint32_t &value) {
    unsigned char bytes[4];
    RegistryResult result = Load(name, kTypeDword, bytes, sizeof bytes);
    if (result == RegistryResult::Ok) {
        value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    }
    return result;
}

bool RegistryKey::SetBinary(const std::string &name, const void *data, size_t size) {
    return Store(name, kTypeBinary, data, size);
}

RegistryResult RegistryKey::GetBinary(const std::string &name, void *data, size_t size) {
    return Load(name, kTypeBinary, data, size);
}

}  // namespace korvix::platform
