#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korvix::test {

// Reads a whole file; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path &path);

// Little-endian fields and four-character codes inside a file's bytes.
uint32_t U32At(const std::vector<uint8_t> &bytes, size_t offset);
uint16_t U16At(const std::vector<uint8_t> &bytes, size_t offset);
std::string FourCcAt(const std::vector<uint8_t> &bytes, size_t offset);

// How many files this process has open (entries of /proc/self/fd); -1 when unknown.
// A writer that fails must leave this unchanged.
int OpenFileCount();

}  // namespace korvix::test
