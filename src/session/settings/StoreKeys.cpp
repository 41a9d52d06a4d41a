#include "session/settings/StoreKeys.h"

#include <cstdio>

#include "session/settings/SettingsPersistence.h"

namespace korvix::persistence {

namespace detail {

std::string NumberedKey(const std::string &parent, const char *name, int number) {
    char text[32];
    std::snprintf(text, sizeof text, "%s_%02d", name, number);
    return parent + "\\" + text;
}

std::unique_ptr<platform::RegistryKey> OpenKey(const std::string &path) {
    return platform::RegistryKey::Open(path);
}

bool ReadInt(platform::RegistryKey &key, const char *name, int32_t &value) {
    uint32_t stored = 0;
    if (key.GetDword(name, stored) != platform::RegistryResult::Ok) return false;
    value = static_cast<int32_t>(stored);
    return true;
}

void WriteInt(platform::RegistryKey &key, const char *name, int32_t value) {
    key.SetDword(name, static_cast<uint32_t>(value));
}

}  // namespace detail

std::string CameraKeyPath(int deviceNumber) {
    return detail::NumberedKey(kProductKey, "Camera", deviceNumber);
}

}  // namespace korvix::persistence
