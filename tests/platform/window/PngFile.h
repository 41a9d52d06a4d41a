#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace korvix::test {

// Writes width x height 0xRRGGBB pixels (row 0 at the top) as an 8-bit RGB PNG. False on
// failure. Needs only zlib, so it is the same on every platform.
bool WritePng(const std::filesystem::path &path, int width, int height,
              const std::vector<uint32_t> &pixels);

}  // namespace korvix::test
