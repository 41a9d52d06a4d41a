#pragma once

#include <cstdint>

namespace korvix::imaging {

// Stores integers little-endian into a byte record, whatever the host's byte order, so
// that file headers are laid out byte for byte as the file formats define them.
inline void PutU16(uint8_t *out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

inline void PutU32(uint8_t *out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

inline void PutI32(uint8_t *out, int32_t value) {
    PutU32(out, static_cast<uint32_t>(value));
}

// Stores a four-character code ("RIFF", "BM\0\0" is not one: codes are exactly 4 bytes).
inline void PutFourCc(uint8_t *out, const char (&code)[5]) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(code[i]);
}

}  // namespace korvix::imaging
