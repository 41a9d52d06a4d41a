#include "platform/TextConversion.h"

#include <cstdint>

namespace korvix::platform {
namespace {

// Decodes one UTF-8 sequence starting at `p`; returns its length, 0 when malformed.
size_t DecodeUtf8(const unsigned char *p, char32_t &codePoint) {
    if (p[0] < 0x80) {
        codePoint = p[0];
        return 1;
    }
    size_t length;
    char32_t minimum;
    if ((p[0] & 0xE0) == 0xC0) {
        length = 2, codePoint = p[0] & 0x1F, minimum = 0x80;
    } else if ((p[0] & 0xF0) == 0xE0) {
        length = 3, codePoint = p[0] & 0x0F, minimum = 0x800;
    } else if ((p[0] & 0xF8) == 0xF0) {
        length = 4, codePoint = p[0] & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;  // also stops at the terminator
        codePoint = (codePoint << 6) | (p[i] & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

size_t EncodeUtf8(char32_t codePoint, char *out) {
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

}  // namespace

size_t NarrowToWide(const char *text, wchar_t *out, size_t capacity) {
    if (text == nullptr || out == nullptr) return 0;
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    size_t written = 0;
    for (;;) {
        if (written >= capacity) return 0;
        if (*p == 0) {
            out[written++] = L'\0';
            return written;
        }
        char32_t codePoint;
        size_t length = DecodeUtf8(p, codePoint);
        if (length == 0) return 0;
        out[written++] = static_cast<wchar_t>(codePoint);
        p += length;
    }
}

size_t WideToNarrow(const wchar_t *text, char *out, size_t capacity) {
    if (text == nullptr || out == nullptr) return 0;
    size_t written = 0;
    for (const wchar_t *p = text;; ++p) {
        auto codePoint = static_cast<char32_t>(*p);
        if (codePoint == 0) {
            if (written >= capacity) return 0;
            out[written++] = '\0';
            return written;
        }
        if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
        char encoded[4];
        size_t length = EncodeUtf8(codePoint, encoded);
        if (written + length > capacity) return 0;
        for (size_t i = 0; i < length; ++i) out[written++] = encoded[i];
    }
}

}  // namespace korvix::platform
