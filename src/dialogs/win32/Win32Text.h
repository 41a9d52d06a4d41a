#pragma once

// The dialogs' texts are UTF-8; Win32 controls take them as UTF-16, so they come out the
// same whatever the system's ANSI code page is.

#include <string>

namespace korvix::dialogs::win32 {

std::wstring Utf16(const std::string &utf8);
std::string Utf8(const std::wstring &utf16);

}  // namespace korvix::dialogs::win32
