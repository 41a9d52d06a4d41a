#pragma once

// What each platform supplies to RunDialog (DialogModule.cpp): the host that shows dialogs
// on screen. On Linux it is the GTK module loaded on first use (DialogModuleLoader.cpp);
// on Windows it is built into the library (win32/).

#include "dialogs/DialogModule.h"

namespace korvix::dialogs::detail {

// The host's entry; null when no host can be loaded (the next dialog tries again). Called
// under RunDialog's lock, one caller at a time.
DialogHostEntry LoadDialogHost();

}  // namespace korvix::dialogs::detail
