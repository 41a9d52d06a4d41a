#pragma once

// Small helpers over the settings store shared by the persistence files (internal).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Registry.h"

namespace korvix::persistence::detail {

// "<parent>\<name>_%02d" of a number (a negative number keeps its sign: "Camera_-1").
std::string NumberedKey(const std::string &parent, const char *name, int number);

// Opens an existing key (null when it is missing or the store fails).
std::unique_ptr<platform::RegistryKey> OpenKey(const std::string &path);

// Reads a DWORD value as a signed 32-bit integer; false when it cannot be read.
bool ReadInt(platform::RegistryKey &key, const char *name, int32_t &value);
void WriteInt(platform::RegistryKey &key, const char *name, int32_t value);

}  // namespace korvix::persistence::detail
