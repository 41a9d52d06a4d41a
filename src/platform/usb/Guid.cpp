#include "platform/usb/Guid.h"

#include <cstdio>

namespace korvix::platform::usb {

std::string FormatGuid(const Guid &g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.data1,
                  g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                  g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[pos]; false when any is not hex.
bool ReadHex(std::string_view text, size_t pos, int digits, uint32_t *value) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        int d = HexDigit(text[pos + i]);
        if (d < 0) return false;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    *value = v;
    return true;
}

}  // namespace

std::optional<Guid> ParseGuid(std::string_view text) {
    // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' ||
        text[14] != '-' || text[19] != '-' || text[24] != '-') {
        return std::nullopt;
    }
    Guid g;
    uint32_t v = 0;
    if (!ReadHex(text, 1, 8, &g.data1)) return std::nullopt;
    if (!ReadHex(text, 10, 4, &v)) return std::nullopt;
    g.data2 = static_cast<uint16_t>(v);
    if (!ReadHex(text, 15, 4, &v)) return std::nullopt;
    g.data3 = static_cast<uint16_t>(v);
    const size_t bytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, bytePositions[i], 2, &v)) return std::nullopt;
        g.data4[i] = static_cast<uint8_t>(v);
    }
    return g;
}

}  // namespace korvix::platform::usb
