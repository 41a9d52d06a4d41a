#include "platform/TextConversion.h"

#include <windows.h>

#include <climits>

namespace korvix::platform {
namespace {

// The conversion functions count in int; a larger buffer is simply used up to INT_MAX.
int CapacityAsInt(size_t capacity) {
    return capacity > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(capacity);
}

}  // namespace

size_t NarrowToWide(const char *text, wchar_t *out, size_t capacity) {
    if (text == nullptr || out == nullptr || capacity == 0) return 0;
    const int written = MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text, -1, out,
                                            CapacityAsInt(capacity));
    return written > 0 ? static_cast<size_t>(written) : 0;
}

size_t WideToNarrow(const wchar_t *text, char *out, size_t capacity) {
    if (text == nullptr || out == nullptr || capacity == 0) return 0;
    const int room = CapacityAsInt(capacity);
    // A character the code page lacks would otherwise come out as the default character
    // ('?') or a look-alike, and a file name would silently name another file.
    BOOL usedDefault = FALSE;
    int written = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, room,
                                      nullptr, &usedDefault);
    if (written == 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
        // A UTF-8 thread code page takes no default character; it reports what it cannot
        // encode (lone surrogates) as an error instead.
        usedDefault = FALSE;
        written = WideCharToMultiByte(CP_THREAD_ACP, WC_ERR_INVALID_CHARS, text, -1, out, room,
                                      nullptr, nullptr);
    }
    if (written <= 0 || usedDefault) return 0;
    return static_cast<size_t>(written);
}

}  // namespace korvix::platform
