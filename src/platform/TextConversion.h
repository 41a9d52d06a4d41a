#pragma once

#include <cstddef>

namespace korvix::platform {

// Conversion between the narrow text of the library (the thread code page: on Windows
// CP_THREAD_ACP, on Linux UTF-8) and wide text (wchar_t: UTF-16 on Windows, UTF-32 on
// Linux), with the contract of MultiByteToWideChar / WideCharToMultiByte: both read a
// zero-terminated input and return the number of characters written including the
// terminator, or 0 when the input is null, not valid text, has no form in the other
// encoding (a wide character missing from the code page), or does not fit `capacity`
// (nothing useful is written then).

size_t NarrowToWide(const char *text, wchar_t *out, size_t capacity);
size_t WideToNarrow(const wchar_t *text, char *out, size_t capacity);

}  // namespace korvix::platform
