#pragma once

// Screenshots of dialogs for the documentation: when KORVIX_SCREENSHOT_DIR is set, a
// dialog on screen is saved there as <name>.bmp (what the screen shows of its window).

#include <windows.h>

#include <string>

namespace korvix::test {

void SaveDialogScreenshot(HWND window, const std::string &name);

}  // namespace korvix::test
